#include "tools/trussplot/svg_writer.h"

#include <expat.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/trussplot/command_line.h"
#include "tools/trussplot/plot_file.h"
#include "tools/trussplot/tests/golden_plot_files.h"

namespace trussplot {
namespace {

using golden::ReadBytes;

// A line of the picture: its class and end points.
struct XmlLine {
  std::string cls;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// What an XML parser saw of a document: whether it is well formed, how many elements of each
// class it holds (also counted as "element.class"), the words of the text and title elements
// inside each class, the content of every text element, and the lines that have a class.
struct XmlSummary {
  bool wellFormed = false;
  std::string error;
  std::map<std::string, int> classes;
  std::map<std::string, std::string> texts;  // class: its text and title contents, blank-separated
  std::vector<std::string> textElements;     // the content of each text element
  std::vector<XmlLine> lines;
  std::vector<std::string> open;             // class of each open element ("" for none)
  int inText = 0;                            // depth of open text and title elements
  bool inTextElement = false;                // inside a text element

  int Count(const std::string& name) const {
    const auto found = classes.find(name);
    return found == classes.end() ? 0 : found->second;
  }
  std::string Text(const std::string& cls) const {
    const auto found = texts.find(cls);
    return found == texts.end() ? std::string() : found->second;
  }
  std::vector<XmlLine> Lines(const std::string& cls) const {
    std::vector<XmlLine> found;
    for (const XmlLine& line : lines) {
      if (line.cls == cls) found.push_back(line);
    }
    return found;
  }
};

void StartElement(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* s = static_cast<XmlSummary*>(data);
  std::map<std::string, std::string> values;
  for (int i = 0; attributes[i]; i += 2) values[attributes[i]] = attributes[i + 1];
  const std::string cls = values["class"];
  const std::string element = name;
  if (!cls.empty()) {
    ++s->classes[cls];
    ++s->classes[element + "." + cls];
  }
  if (element == "line" && !cls.empty()) {
    s->lines.push_back({cls, std::stod(values["x1"]), std::stod(values["y1"]), std::stod(values["x2"]),
                        std::stod(values["y2"])});
  }
  if (element == "text" || element == "title") {
    ++s->inText;
    if (element == "text") {
      s->textElements.emplace_back();
      s->inTextElement = true;
    }
    for (const std::string& c : s->open) {
      if (!c.empty() && !s->texts[c].empty()) s->texts[c] += ' ';
    }
    if (!cls.empty() && !s->texts[cls].empty()) s->texts[cls] += ' ';
  }
  s->open.push_back(cls);
}

void EndElement(void* data, const XML_Char* name) {
  auto* s = static_cast<XmlSummary*>(data);
  s->open.pop_back();
  const std::string element = name;
  if (element == "text" || element == "title") --s->inText;
  if (element == "text") s->inTextElement = false;
}

void CharacterData(void* data, const XML_Char* text, int length) {
  auto* s = static_cast<XmlSummary*>(data);
  if (s->inText == 0) return;
  const std::string piece(text, static_cast<std::size_t>(length));
  if (s->inTextElement) s->textElements.back() += piece;
  for (const std::string& c : s->open) {
    if (!c.empty()) s->texts[c] += piece;
  }
}

XmlSummary ParseXml(const std::string& document) {
  XmlSummary summary;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &summary);
  XML_SetElementHandler(parser, StartElement, EndElement);
  XML_SetCharacterDataHandler(parser, CharacterData);
  summary.wellFormed = XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK;
  if (!summary.wellFormed) {
    summary.error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                    std::to_string(XML_GetCurrentLineNumber(parser));
  }
  XML_ParserFree(parser);
  return summary;
}

PlotFile FirstRecords(const char* example, std::size_t count) {
  std::vector<std::string> lines = golden::Lines(example);
  lines.resize(count);
  return ParsePlotFile(golden::Join(lines));
}

// Every example's plot file, as the program wrote it (its bytes checked against the rules). A
// line of text longer than 110 characters does not fit the page in the common fonts.
TEST(WriteSvgTest, EachExampleIsWellFormedWithOneMemberElementPerShape) {
  for (const char* name : golden::kExamples) {
    const std::string grp = golden::Text(name);
    ASSERT_FALSE(grp.empty()) << name;
    const PlotFile file = ParsePlotFile(grp);
    ASSERT_EQ(file.end, FileEnd::kComplete) << name;
    for (View view : {View::kIso, View::kXY, View::kXZ, View::kYZ}) {
      const XmlSummary svg = ParseXml(WriteSvg(file, {view, {}}));
      ASSERT_TRUE(svg.wellFormed) << name << " " << ViewWord(view) << ": " << svg.error;
      EXPECT_EQ(svg.Count("line.member undeformed"), *file.NELE) << name << " " << ViewWord(view);
      EXPECT_EQ(svg.Count("line.member deformed"), *file.NELE) << name << " " << ViewWord(view);
      EXPECT_EQ(svg.Count("early-end"), 0) << name;
      EXPECT_EQ(svg.Count("text.node-number"), *file.NNODE) << name;
      for (const std::string& text : svg.textElements) {
        EXPECT_LE(text.size(), 110u) << name << " " << ViewWord(view) << ": " << text;
      }
    }
  }
}

// A run that stopped early leaves the first records of its plot file: the picture shows the
// undeformed model of what is there and says what is missing and why.
TEST(WriteSvgTest, EarlyEndedFileGivesTheUndeformedModelAndSaysSo) {
  struct Case {
    const char* example;
    std::size_t records;
    int undeformed;     // member elements of the undeformed shape
    int deformed;       // member elements of the deformed shape
    std::string words;  // in the note at the top
  };
  const Case cases[] = {
      {"two_bar", 7, 2, 0, "before writing results (a failed solution or an error in the analysis). "
                           "Only the undeformed model is shown."},
      {"two_bar", 9, 2, 0, "after 2 of the 3 displacement records. Only the undeformed model is shown."},
      {"two_bar", 11, 2, 2, "after 1 of the 2 stress records. Members without a stress record are drawn dotted."},
      // 12 of the 20 nodes: no member is there to draw, but the nodes are.
      {"tower", 14, 0, 0, "after 12 of the 20 node records: the run stopped on a node error."},
      {"tower", 22 + 30, 30, 0, "after 30 of the 50 member records: the run stopped while reading the members."},
      {"bridge", 2, 0, 0, "(NELE = 48, NNODE = 18): the run stopped before any node was written."},
  };
  for (const Case& c : cases) {
    const std::string where = std::string(c.example) + ", first " + std::to_string(c.records) + " records";
    const XmlSummary svg = ParseXml(WriteSvg(FirstRecords(c.example, c.records), {}));
    ASSERT_TRUE(svg.wellFormed) << where << ": " << svg.error;
    EXPECT_EQ(svg.Count("line.member undeformed"), c.undeformed) << where;
    EXPECT_EQ(svg.Count("line.member deformed"), c.deformed) << where;
    EXPECT_EQ(svg.Count("early-end"), 1) << where;
    EXPECT_NE(svg.Text("early-end").find(c.words), std::string::npos)
        << where << "\n  expected to contain: " << c.words << "\n  actual: " << svg.Text("early-end");
    if (c.deformed == 0) {
      EXPECT_EQ(svg.Text("legend").find("deformed: tension"), std::string::npos) << where;
    }
  }
  const XmlSummary stresses = ParseXml(WriteSvg(FirstRecords("two_bar", 11), {}));
  const std::vector<XmlLine> deformed = stresses.Lines("member deformed");
  ASSERT_EQ(deformed.size(), 2u);
  EXPECT_EQ(stresses.Count("line.member deformed"), 2);
  EXPECT_NE(stresses.Text("member deformed").find("member 2: no stress record"), std::string::npos)
      << stresses.Text("member deformed");
}

// The magnification moves each node by scale x displacement in model units; the supports of the
// two-bar truss (nodes 1 and 3, 8 apart along x) give the picture units of one model unit.
TEST(WriteSvgTest, DeformedShapeMovesTheNodesByTheMagnifiedDisplacements) {
  struct Case {
    std::optional<double> scale;
    double apexDrop;  // model units
    std::string sentence;
  };
  const Case cases[] = {
      {std::nullopt, 200 * 0.3472E-02,
       "Displacements magnified 200 times, so that the largest is about a tenth of the structure's size."},
      {50.0, 50 * 0.3472E-02, "Displacements magnified 50 times (as asked)."},
      {0.5, 0.5 * 0.3472E-02, "Displacements magnified 0.5 times (as asked)."},
  };
  for (const Case& c : cases) {
    const std::string document = WriteSvg(ParsePlotFile(golden::Text("two_bar")), {View::kXY, c.scale});
    const XmlSummary svg = ParseXml(document);
    const std::vector<XmlLine> before = svg.Lines("member undeformed");
    const std::vector<XmlLine> after = svg.Lines("member deformed");
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(after.size(), 2u);
    const double unit = (before[1].x2 - before[0].x1) / 8.0;
    // Member 1 runs from node 1 to node 2 (the apex), member 2 from the apex to node 3.
    EXPECT_NEAR(after[0].x1, before[0].x1, 0.01) << "node 1 is fixed";
    EXPECT_NEAR(after[1].x2, before[1].x2, 0.01) << "node 3 is fixed";
    EXPECT_NEAR(after[0].x2, before[0].x2, 0.01) << "the apex does not move along x";
    EXPECT_NEAR(after[0].y2 - before[0].y2, c.apexDrop * unit, 0.02) << "picture y points down";
    EXPECT_NE(document.find(c.sentence), std::string::npos) << c.sentence;
  }
}

// The colour bar runs from the largest stress magnitude through zero to its negative, in plain
// decimals of four significant digits with trailing zeros dropped.
TEST(WriteSvgTest, ColourBarGivesTheStressRange) {
  struct Case {
    const char* example;
    std::string values;
  };
  const Case cases[] = {
      {"two_bar", "83.33 41.67 0 -41.67 -83.33"},  // both bars -83.333
      {"tripod", "100 50 0 -50 -100"},             // -100, -100, -50
  };
  for (const Case& c : cases) {
    const XmlSummary svg = ParseXml(WriteSvg(ParsePlotFile(golden::Text(c.example)), {}));
    EXPECT_EQ(svg.Text("colour-bar-value"), c.values) << c.example;
  }
}

// Loads are arrows scaled to the largest load; a load seen end on is a circle (a dot: towards
// the viewer, a cross: away), however small or large it is.
TEST(WriteSvgTest, LoadsAreArrowsUnlessSeenEndOn) {
  struct Case {
    const char* example;
    View view;
    int arrows;
    int endOn;
  };
  const Case cases[] = {
      {"two_bar", View::kXY, 1, 0},      // (0, -1000, 0)
      {"two_bar", View::kXZ, 0, 1},      // along the line of sight
      {"tetrahedron", View::kIso, 2, 0},  // node 3's 200 along x stays an arrow beside node 4's 3041
      // node 4's (500, 0, -3000) lies within 10 degrees of the line of sight: 500 / 3041 < 0.2
      {"tetrahedron", View::kXY, 1, 1},
      {"tripod", View::kYZ, 1, 0},
  };
  for (const Case& c : cases) {
    const XmlSummary svg = ParseXml(WriteSvg(ParsePlotFile(golden::Text(c.example)), {c.view, {}}));
    EXPECT_EQ(svg.Count("line.load"), c.arrows) << c.example << " " << ViewWord(c.view);
    EXPECT_EQ(svg.Count("g.load"), c.endOn) << c.example << " " << ViewWord(c.view);
  }
}

TEST(WriteSvgTest, TitleWithMarkupAndNonUtf8BytesStaysWellFormed) {
  std::vector<std::string> lines = golden::Lines("two_bar");
  lines[0] = " <A&B> \"BAR\" \xE9\xFF \xC3\xA9 ]]>";
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  const XmlSummary svg = ParseXml(WriteSvg(ParsePlotFile(text), {}));
  EXPECT_TRUE(svg.wellFormed) << svg.error;
}

TEST(StressColourTest, DivergesFromGreyAtZero) {
  EXPECT_EQ(StressColour(0.0, 10.0), StressColour(0.0, 0.0));
  EXPECT_NE(StressColour(5.0, 10.0), StressColour(-5.0, 10.0));
  EXPECT_EQ(StressColour(20.0, 10.0), StressColour(10.0, 10.0)) << "beyond the range takes the end colour";
  EXPECT_EQ(StressColour(-20.0, 10.0), StressColour(-10.0, 10.0));
}

// The whole command in a scratch folder.
class RunTrussPlotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/trussplot-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  int Run(std::vector<std::string> arguments) {
    out_.str("");
    errors_.str("");
    return RunTrussPlot(arguments, out_, errors_);
  }
  std::string Path(const char* name) const { return (folder_ / name).string(); }
  void Write(const char* name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }

  std::filesystem::path folder_;
  std::ostringstream out_, errors_;
};

TEST_F(RunTrussPlotTest, WritesThePictureToTheOutputFile) {
  Write("TRUSS.GRP", golden::Text("two_bar"));
  EXPECT_EQ(Run({"--view", "xy", "--scale", "50", "--out", Path("p.svg"), Path("TRUSS.GRP")}), kExitSuccess)
      << errors_.str();
  const std::string svg = ReadBytes(Path("p.svg"));
  EXPECT_TRUE(ParseXml(svg).wellFormed);
  EXPECT_NE(svg.find("magnified 50 times (as asked)"), std::string::npos);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(Run({"--view", "xy", "--scale", "50", Path("TRUSS.GRP")}), kExitSuccess);
  EXPECT_EQ(out_.str(), svg) << "standard output by default";
}

// Files a user may give by mistake: the input data, the printed report, a plot file with a
// damaged record. Each ends with exit code 2 and a message naming the line and column, and the
// --out file is neither created nor truncated.
TEST_F(RunTrussPlotTest, TextThatIsNotAPlotFileNamesLineAndColumnAndWritesNothing) {
  std::vector<std::string> damaged = golden::Lines("two_bar");
  damaged[3][13] = 'x';
  std::vector<std::string> shortCounts = golden::Lines("two_bar");
  shortCounts[1] = " 2 3";
  struct Case {
    std::string what;
    std::string bytes;
    std::string where;
  };
  const Case cases[] = {
      {"input data", ReadBytes(std::filesystem::path(TRUSS_SOURCE_DIR) / "examples/two_bar.dat"),
       "line 1, column 1: column 1 of the title record is not blank"},
      {"report", ReadBytes(std::filesystem::path(TRUSS_SOURCE_DIR) / "tests/e2e/golden/two_bar.report"),
       "line 1, column 1:"},
      {"stray letter in a coordinate", golden::Join(damaged), "line 4, column 14:"},
      {"counts in list form", golden::Join(shortCounts), "line 2, column 3:"},  // the blank inside "2 3"
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.bytes.empty()) << c.what;
    Write("BAD.GRP", c.bytes);
    Write("old.svg", "keep me");
    std::filesystem::remove(Path("new.svg"));
    EXPECT_EQ(Run({"--out", Path("new.svg"), Path("BAD.GRP")}), kExitBadInput) << c.what;
    EXPECT_NE(errors_.str().find(c.where), std::string::npos)
        << c.what << "\n  expected to contain: " << c.where << "\n  actual: " << errors_.str();
    EXPECT_FALSE(std::filesystem::exists(Path("new.svg"))) << c.what;
    EXPECT_EQ(Run({"--out", Path("old.svg"), Path("BAD.GRP")}), kExitBadInput) << c.what;
    EXPECT_EQ(ReadBytes(Path("old.svg")), "keep me") << c.what;
    EXPECT_EQ(out_.str(), "") << c.what;
  }
}

TEST_F(RunTrussPlotTest, UsageErrorsAndHelp) {
  struct Case {
    std::vector<std::string> arguments;
    int code;
  };
  const Case cases[] = {
      {{"--help"}, kExitSuccess},
      {{"--view", "top"}, kExitBadInput},
      {{"--view"}, kExitBadInput},
      {{"--scale", "-1"}, kExitBadInput},
      {{"--scale", "abc"}, kExitBadInput},
      {{"--colour"}, kExitBadInput},
      {{"a.grp", "b.grp"}, kExitBadInput},
      {{Path("missing.grp")}, kExitIoFailure},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.arguments) shown += a + " ";
    EXPECT_EQ(Run(c.arguments), c.code) << shown << errors_.str();
    if (c.code != kExitSuccess) {
      EXPECT_NE(errors_.str(), "") << shown;
    }
  }
  Run({"--help"});
  EXPECT_NE(out_.str().find("--view"), std::string::npos);
}

}  // namespace
}  // namespace trussplot
