#include "tools/trussplot/svg_writer.h"

#include <expat.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <array>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/trussplot/command_line.h"
#include "tools/trussplot/tests/golden_plot_files.h"

namespace trussplot {
namespace {

// What an XML parser saw of a document: whether it is well formed, the count of elements of each
// class (also as "element.class"), the words of the text and title elements inside each class,
// the lines that have a class, and the longest text element.
struct XmlSummary {
  bool wellFormed = false;
  std::map<std::string, int> classes;
  std::map<std::string, std::string> texts;
  std::vector<std::pair<std::string, std::array<double, 4>>> lines;
  std::vector<std::string> open;
  int inText = 0;
  std::size_t textLength = 0, longestText = 0;

  int Count(const std::string& name) const { return classes.count(name) ? classes.at(name) : 0; }
  std::string Text(const std::string& cls) const { return texts.count(cls) ? texts.at(cls) : ""; }
  std::vector<std::array<double, 4>> Lines(const std::string& cls) const {
    std::vector<std::array<double, 4>> found;
    for (const auto& [c, ends] : lines) {
      if (c == cls) found.push_back(ends);
    }
    return found;
  }
};

XmlSummary ParseXml(const std::string& document) {
  XmlSummary summary;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &summary);
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* s = static_cast<XmlSummary*>(data);
        std::map<std::string, std::string> a;
        for (int i = 0; attributes[i]; i += 2) a[attributes[i]] = attributes[i + 1];
        const std::string element = name, cls = a["class"];
        if (!cls.empty()) ++s->classes[cls], ++s->classes[element + "." + cls];
        if (element == "line" && !cls.empty()) {
          s->lines.push_back({cls, {std::stod(a["x1"]), std::stod(a["y1"]), std::stod(a["x2"]), std::stod(a["y2"])}});
        }
        s->open.push_back(cls);
        if (element != "text" && element != "title") return;
        ++s->inText;
        s->textLength = 0;
        for (const std::string& c : s->open) {
          if (!c.empty()) s->texts[c] += ' ';
        }
      },
      [](void* data, const XML_Char* name) {
        auto* s = static_cast<XmlSummary*>(data);
        s->open.pop_back();
        if (std::string(name) == "text" || std::string(name) == "title") --s->inText;
      });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
    auto* s = static_cast<XmlSummary*>(data);
    if (s->inText == 0) return;
    s->textLength += static_cast<std::size_t>(length);
    s->longestText = std::max(s->longestText, s->textLength);
    for (const std::string& c : s->open) {
      if (!c.empty()) s->texts[c].append(text, static_cast<std::size_t>(length));
    }
  });
  summary.wellFormed = XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return summary;
}

XmlSummary Picture(const PlotFile& file, std::optional<View> view = {}, std::optional<double> scale = {}) {
  return ParseXml(WriteSvg(file, {view, scale}));
}

// Every example in every view, and in the default one: well formed, one element per member in each
// shape, numbers for every node and member, no line of text too long for the page.
TEST(WriteSvgTest, EachExampleIsWellFormedWithOneMemberElementPerMember) {
  for (const char* name : golden::kExamples) {
    const PlotFile file = ParsePlotFile(golden::Text(name));
    for (std::optional<View> view : {std::optional<View>(), {View::kIso}, {View::kXY}, {View::kXZ}, {View::kYZ}}) {
      const XmlSummary svg = Picture(file, view);
      const std::string where = std::string(name) + " " + (view ? ViewWord(*view) : "default").data();
      ASSERT_TRUE(svg.wellFormed) << where;
      EXPECT_EQ(svg.Count("line.member undeformed"), *file.NELE) << where;
      EXPECT_EQ(svg.Count("line.member deformed"), *file.NELE) << where;
      EXPECT_EQ(svg.Count("text.member-number"), *file.NELE) << where;
      EXPECT_EQ(svg.Count("text.node-number"), *file.NNODE) << where;
      EXPECT_EQ(svg.Count("early-end"), 0) << where;
      EXPECT_LE(svg.longestText, 110u) << where;
    }
  }
}

// What is drawn of each example seen as the picture sees it by default (the two-bar truss in its
// plane, the others in iso) or as asked. A load seen end on is a circle ("g.load").
TEST(WriteSvgTest, DrawsSupportsReactionsAndLoadsAsSeen) {
  const struct {
    const char* example;
    std::optional<View> view;
    int supports, reactions, loadArrows, loadsEndOn;
    std::string header;
  } cases[] = {
      {"two_bar", {}, 4, 4, 1, 0, "Plan view: x to the right, y up. The model lies in this plane."},
      {"two_bar", View::kIso, 7, 4, 1, 0, "Isometric view"},   // the z fixities are supports again
      {"two_bar", View::kXZ, 7, 2, 0, 1, "Elevation"},         // y reactions along the line of sight
      {"tetrahedron", {}, 6, 6, 2, 0, "Isometric view"},       // 3 + 2 + 1 fixities
      {"tetrahedron", View::kXY, 6, 3, 1, 1, "Plan view"},    // node 4's (500, 0, -3000) nearly end on
      {"bridge", {}, 7, 6, 4, 0, "Isometric view"},            // node 1's x reaction is round-off
  };
  for (const auto& c : cases) {
    const std::string document = WriteSvg(ParsePlotFile(golden::Text(c.example)), {c.view, {}});
    const XmlSummary svg = ParseXml(document);
    const std::string where = std::string(c.example) + " " + (c.view ? ViewWord(*c.view) : "default").data();
    EXPECT_EQ(svg.Count("support"), c.supports) << where;
    EXPECT_EQ(svg.Count("line.reaction"), c.reactions) << where;
    EXPECT_EQ(svg.Count("line.load"), c.loadArrows) << where;
    EXPECT_EQ(svg.Count("g.load"), c.loadsEndOn) << where;
    EXPECT_NE(document.find(c.header), std::string::npos) << where;
  }
  EXPECT_NE(Picture(ParsePlotFile(golden::Text("two_bar"))).Text("reactions").find("reaction at node 1, y: 500"),
            std::string::npos);
}

// Stresses colour the members; a zero-force member (exactly zero, or round-off below a millionth
// of the largest stress) is grey, solid and says so.
TEST(WriteSvgTest, StressesColourTheMembersAndRoundOffIsZeroForce) {
  const XmlSummary twoBar = Picture(ParsePlotFile(golden::Text("two_bar")));
  EXPECT_EQ(twoBar.Text("colour-bar-value"), " 83.33 41.67 0 -41.67 -83.33");
  EXPECT_NE(twoBar.Text("member deformed").find("member 1: stress -83.33 (compression)"), std::string::npos);
  const std::string noise = golden::WithRecord("bridge", 2 + 18 + 48 + 18 + 30, "  31     -.10000E-03");
  const std::string document = WriteSvg(ParsePlotFile(noise), {});
  EXPECT_NE(document.find("stroke=\"" + StressColour(0.0, 1.0) + "\" stroke-width=\"2.00\"><title>member 31: "
                          "stress -0.0001 (zero force)"),
            std::string::npos);
  EXPECT_EQ(StressColour(20.0, 10.0), StressColour(10.0, 10.0)) << "beyond the range takes the end colour";
  EXPECT_NE(StressColour(5.0, 10.0), StressColour(-5.0, 10.0));
}

// A run that stopped early: the undeformed model of what is there, and a note of what is missing.
TEST(WriteSvgTest, EarlyEndedFileGivesTheUndeformedModelAndSaysSo) {
  const struct {
    const char* example;
    std::size_t records;
    int undeformed, deformed;
    std::string words;
  } cases[] = {
      {"two_bar", 7, 2, 0, "before writing results (a failed solution or an error in the analysis). "
                           "Only the undeformed model is shown."},
      {"two_bar", 11, 2, 2, "after 1 of the 2 stress records. Members without a stress record are drawn dotted."},
      {"tower", 14, 0, 0, "after 12 of the 20 node records: the run stopped on a node error."},
      {"bridge", 2, 0, 0, "(NELE = 48, NNODE = 18): the run stopped before any node was written."},
  };
  for (const auto& c : cases) {
    const XmlSummary svg = Picture(golden::FirstRecords(c.example, c.records));
    ASSERT_TRUE(svg.wellFormed) << c.example << " " << c.records;
    EXPECT_EQ(svg.Count("line.member undeformed"), c.undeformed) << c.example << " " << c.records;
    EXPECT_EQ(svg.Count("line.member deformed"), c.deformed) << c.example << " " << c.records;
    EXPECT_EQ(svg.Count("reaction"), 0) << "reactions need every stress";
    EXPECT_NE(svg.Text("early-end").find(c.words), std::string::npos) << svg.Text("early-end");
  }
  EXPECT_NE(Picture(golden::FirstRecords("two_bar", 11)).Text("member deformed").find("member 2: no stress record"),
            std::string::npos);
}

// Each node moves by scale x displacement; the supports of the two-bar truss (nodes 1 and 3, 8
// apart along x) give the picture units of one model unit. Picture y points down.
TEST(WriteSvgTest, DeformedShapeMovesTheNodesByTheMagnifiedDisplacements) {
  const struct {
    std::optional<double> scale;
    double apexDrop;
    std::string sentence;
  } cases[] = {
      {{}, 200 * 0.3472E-02, "magnified 200 times, so that the largest is about a tenth of the structure's size."},
      {0.5, 0.5 * 0.3472E-02, "Displacements magnified 0.5 times (as asked)."},
  };
  for (const auto& c : cases) {
    const std::string document = WriteSvg(ParsePlotFile(golden::Text("two_bar")), {{}, c.scale});
    const XmlSummary svg = ParseXml(document);
    const auto before = svg.Lines("member undeformed");
    const auto after = svg.Lines("member deformed");
    ASSERT_EQ(after.size(), 2u);
    const double unit = (before[1][2] - before[0][0]) / 8.0;
    EXPECT_NEAR(after[0][0], before[0][0], 0.01) << "node 1 is fixed";
    EXPECT_NEAR(after[0][2], before[0][2], 0.01) << "the apex does not move along x";
    EXPECT_NEAR(after[0][3] - before[0][3], c.apexDrop * unit, 0.02);
    EXPECT_NE(document.find(c.sentence), std::string::npos) << c.sentence;
  }
  std::vector<std::string> lines = golden::Lines("two_bar");
  lines[0] = " <A&B> \"BAR\" \xE9\xFF \xC3\xA9 ]]>";
  EXPECT_TRUE(Picture(ParsePlotFile(golden::Join(lines))).wellFormed) << "a title with markup and Latin-1 bytes";
}

// The whole command in a scratch folder: what it writes where, and its exit codes and messages.
class RunTrussPlotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/trussplot-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Path(const char* name) const { return (folder_ / name).string(); }

  std::filesystem::path folder_;
};

TEST_F(RunTrussPlotTest, WritesWhatIsAskedOrSaysWhyNot) {
  std::ofstream(Path("TRUSS.GRP"), std::ios::binary) << golden::Text("two_bar");
  std::ofstream(Path("report.txt"), std::ios::binary)
      << golden::ReadBytes(std::filesystem::path(TRUSS_SOURCE_DIR) / "tests/e2e/golden/two_bar.report");
  const std::string input = Path("TRUSS.GRP");
  const struct {
    std::vector<std::string> arguments;
    int code;
    std::string out, errors;  // contained in standard output and standard error
  } cases[] = {
      {{"--scale", "50", input}, kExitSuccess, "magnified 50 times (as asked)", ""},
      {{"--summary", input}, kExitSuccess, "\nReactions (force of the support on the structure)\n", ""},
      {{"--json", input}, kExitSuccess, "\"reactions\": [", ""},
      {{"--out", Path("p.svg"), "--summary", input}, kExitSuccess, "", ""},
      {{"--help"}, kExitSuccess, "--summary", ""},
      {{Path("none/TRUSS.GRP")}, kExitIoFailure, "",
       "none/TRUSS.GRP: the file does not exist; a run of truss in the folder " + Path("none") + " writes it"},
      {{"--out", Path("bad.svg"), Path("report.txt")}, kExitBadInput, "", "report.txt: line 1, column 1:"},
      {{"--view", "top"}, kExitBadInput, "", "--view takes iso, xy, xz or yz"},
      {{"--scale", "-1"}, kExitBadInput, "", "--scale needs a positive number"},
      {{"--colour"}, kExitBadInput, "", "unknown option"},
      {{"a.grp", "b.grp"}, kExitBadInput, "", "only one plot file"},
  };
  for (const auto& c : cases) {
    std::ostringstream out, errors;
    EXPECT_EQ(RunTrussPlot(c.arguments, out, errors), c.code) << c.arguments[0] << errors.str();
    EXPECT_NE(out.str().find(c.out), std::string::npos) << c.arguments[0] << ": " << out.str();
    EXPECT_NE(errors.str().find(c.errors), std::string::npos) << c.arguments[0] << ": " << errors.str();
  }
  EXPECT_NE(golden::ReadBytes(Path("p.svg")).find("Largest displacement: -0.003472 at node 2"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Path("bad.svg"))) << "a failed run writes no file";
}

}  // namespace
}  // namespace trussplot
