// The picture of a plot file, read back by an XML parser, and the whole command.
#include "tools/trussplot/svg_writer.h"

#include <expat.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/trussplot/command_line.h"
#include "tools/trussplot/labels.h"
#include "tools/trussplot/summary.h"
#include "tools/trussplot/tests/golden_plot_files.h"

namespace trussplot {
namespace {

// What an XML parser saw of a document: whether it is well formed, the count of elements of each
// class (also as "element.class"), the texts of the text and title elements, all and of each
// class, each after a space, the ends of the lines of each class, the longest text element, the
// boxes of the labels (member number boxes, node numbers and values) and of the nodes' dots.
struct Xml {
  bool wellFormed = false;
  std::map<std::string, int> count;
  std::string all;
  std::map<std::string, std::string> text;
  std::map<std::string, std::vector<std::array<double, 4>>> lines;
  std::vector<Box> labels, dots;
  std::size_t longestText = 0;
  std::optional<std::string> textClass;        // the class of the text or title element open
  std::string current;                         // and its text so far
  std::optional<std::array<double, 3>> label;  // x, y and size of the label open
};

bool IsText(const std::string& element) { return element == "text" || element == "title"; }

Xml ParseXml(const std::string& document) {
  Xml xml;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &xml);
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        auto& s = *static_cast<Xml*>(data);
        std::map<std::string, std::string> a;
        for (int i = 0; attributes[i]; i += 2) a[attributes[i]] = attributes[i + 1];
        const std::string element = name, cls = a["class"];
        const auto n = [&](const char* key) { return std::stod(a[key]); };
        if (!cls.empty()) ++s.count[cls], ++s.count[element + "." + cls];
        if (element == "line" && !cls.empty()) s.lines[cls].push_back({n("x1"), n("y1"), n("x2"), n("y2")});
        if (cls == "member-box") s.labels.push_back({n("x"), n("y"), n("x") + n("width"), n("y") + n("height")});
        if (cls == "node") s.dots.push_back({n("cx") - 2, n("cy") - 2, n("cx") + 2, n("cy") + 2});
        if (cls == "node-number" || cls.ends_with("value")) s.label = {n("x"), n("y"), n("font-size")};
        if (IsText(element)) s.textClass = cls, s.current.clear();
      },
      [](void* data, const XML_Char* name) {
        auto& s = *static_cast<Xml*>(data);
        if (!IsText(name)) return;
        s.all += ' ' + s.current, s.text[*s.textClass] += ' ' + s.current;
        s.longestText = std::max(s.longestText, s.current.size());
        if (s.label) s.labels.push_back(TextBox({(*s.label)[0], (*s.label)[1]}, s.current, (*s.label)[2]));
        s.label.reset(), s.textClass.reset();
      });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
    auto& s = *static_cast<Xml*>(data);
    if (s.textClass) s.current.append(text, static_cast<std::size_t>(length));
  });
  xml.wellFormed = XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return xml;
}

// A box shrunk by the rounding of the coordinates written.
Box Inner(const Box& b) { return {b.left + 0.02, b.top + 0.02, b.right - 0.02, b.bottom - 0.02}; }

double Distance(double x, double y, const Box& b) {
  return std::hypot(x - (b.left + b.right) / 2.0, y - (b.top + b.bottom) / 2.0);
}

// Every example in every view, and in the default one, with and without values: well formed, one
// element per member in each shape, a number for every node (one label for the nodes on one
// point) and every member not seen end on, a value for every member number, load and reaction
// part; no label covers another or a node's dot; every arrow ends at a node; no line of text too
// long for the page; every label on the page.
TEST(WriteSvgTest, EachExampleIsWellFormedAndItsLabelsCoverNothing) {
  for (const char* name : golden::kExamples) {
    const PlotFile file = golden::Parsed(name);
    for (std::optional<View> view : {std::optional<View>(), {View::kIso}, {View::kXY}, {View::kXZ}, {View::kYZ}}) {
      for (const bool values : {false, true}) {
        Xml svg = ParseXml(WriteSvg(file, {view, {}, {}, values}));
        SCOPED_TRACE(std::string(name) + " " + (view ? ViewWord(*view) : "default").data() + (values ? " values" : ""));
        ASSERT_TRUE(svg.wellFormed);
        EXPECT_EQ(svg.count["line.member undeformed"], *file.NELE);
        EXPECT_EQ(svg.count["line.member deformed"], *file.NELE);
        const auto seen = [](const auto& l) { return std::hypot(l[2] - l[0], l[3] - l[1]) >= 1.0; };  // not end on
        EXPECT_EQ(svg.count["text.member-number"], std::ranges::count_if(svg.lines["member undeformed"], seen));
        EXPECT_EQ(svg.count["text.node-number"] + std::ranges::count(svg.text["node-number"], ','), *file.NNODE);
        EXPECT_EQ(svg.count["text.node-number"], svg.count["circle.node"]);
        EXPECT_EQ(svg.count["text.member-value"], values ? svg.count["text.member-number"] : 0);
        EXPECT_EQ(svg.count["text.load-value"], values ? svg.count["line.load"] + svg.count["g.load"] : 0);
        EXPECT_EQ(svg.count["text.reaction-value"], values ? svg.count["line.reaction"] + svg.count["g.reaction"] : 0);
        for (std::size_t i = 0; i < svg.labels.size(); ++i) {
          for (std::size_t j = i + 1; j < svg.labels.size(); ++j) {
            EXPECT_FALSE(Inner(svg.labels[i]).Overlaps(svg.labels[j])) << "labels " << i << ", " << j;
          }
          EXPECT_TRUE(svg.labels[i].left >= 0.0 && svg.labels[i].right <= kPageWidth) << "label " << i;
          for (const Box& dot : svg.dots) EXPECT_FALSE(Inner(svg.labels[i]).Overlaps(dot)) << "label " << i;
        }
        for (const char* kind : {"load", "reaction"}) {
          for (const auto& l : svg.lines[kind]) {
            const auto head = [&](const Box& b) { return Distance(l[2], l[3], b); };
            const Box& dot = *std::ranges::min_element(svg.dots, {}, head);
            EXPECT_LE(head(dot), 15.5) << kind << " head";
            EXPECT_GT(Distance(l[0], l[1], dot), head(dot)) << kind << " tail";
          }
        }
        EXPECT_EQ(svg.count["early-end"], 0);
        EXPECT_LE(svg.longestText, 110u);
      }
    }
  }
}

// What is drawn of a file seen by default or as asked, and what is said of what is missing.
TEST(WriteSvgTest, DrawsWhatTheFileHoldsAsSeenAndSaysWhatIsMissing) {
  const char* counted[] = {"support", "reaction", "line.load", "g.load", "line.member undeformed",
                           "line.member deformed"};
  for (const golden::Row& row : golden::Rows("picture.txt")) {
    std::istringstream options(row.fields[4]);  // "-" is read as the plot file's name, not used here
    const std::vector<std::string> arguments{std::istream_iterator<std::string>(options), {}};
    const std::string document = WriteSvg(ParsePlotFile(row.PlotText()), ParseCommandLine(arguments).picture);
    Xml svg = ParseXml(document);
    ASSERT_TRUE(svg.wellFormed) << row.where;
    for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(svg.count[counted[k]], row.Number(5 + k)) << row.where << counted[k];
    for (std::size_t k = 11; k < row.fields.size(); ++k) {
      const std::string& words = row.fields[k];
      EXPECT_TRUE(document.find(words) != std::string::npos || svg.all.find(words) != std::string::npos)
          << row.where << ": " << words;
    }
  }
  EXPECT_EQ(StressColour(20.0, 10.0), StressColour(10.0, 10.0)) << "beyond the range takes the end colour";
  EXPECT_NE(StressColour(5.0, 10.0), StressColour(-5.0, 10.0));
}

// The built command in a scratch folder: what it writes where, its exit codes and messages, and
// what is left of the outputs it was given: a picture it could not replace (under a file-size
// limit) byte for byte, and the folder, FIFO, device and links it refused. It runs in the folder.
TEST(RunTrussPlotTest, WritesWhatIsAskedOrSaysWhyNot) {
  const std::string folder = testing::TempDir() + "trussplot-" + std::to_string(::getpid());
  std::filesystem::create_directories(folder + "/sub");
  std::ofstream(folder + "/TRUSS.GRP", std::ios::binary) << golden::Text("two_bar");
  std::ofstream(folder + "/keep.svg", std::ios::binary) << std::string(3000, 'k');
  std::filesystem::create_symlink("sub", folder + "/dirlink");
  std::ofstream(folder + "/linked.svg", std::ios::binary) << "old";
  std::filesystem::create_symlink("linked.svg", folder + "/filelink");
  ASSERT_EQ(::mkfifo((folder + "/fifo").c_str(), 0600), 0);
  std::ofstream(folder + "/big.grp", std::ios::binary) << std::string(16u << 20, '\0');  // the largest file read
  for (const golden::Row& row : golden::Rows("command.txt")) {
    const std::string limit = row.fields.size() > 4 ? row.fields[4] : "unlimited";
    const std::string command = "cd " + folder + "; ulimit -f " + limit + "; trap '' XFSZ; exec " TRUSSPLOT_BINARY
                                " " + (row.fields[3] == "-" ? "" : row.fields[3]) + " >out 2>errors";
    const int status = std::system(command.c_str());
    const std::string out = golden::ReadBytes(folder + "/out"), errors = golden::ReadBytes(folder + "/errors");
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, row.Number(0)) << row.where << errors;
    for (const auto& [text, expected] : {std::pair{out, row.fields[1]}, {errors, row.fields[2]}}) {
      EXPECT_TRUE(expected == "-" ? text.empty() : text.find(expected) != std::string::npos)
          << row.where << ": " << text;
    }
  }
  EXPECT_EQ(golden::ReadBytes(folder + "/p.svg"), WriteSummary(golden::Parsed("two_bar")));
  EXPECT_FALSE(std::filesystem::exists(folder + "/bad.svg")) << "a failed run writes no file";
  EXPECT_EQ(golden::ReadBytes(folder + "/keep.svg"), std::string(3000, 'k'));
  EXPECT_TRUE(std::filesystem::is_symlink(folder + "/dirlink") && std::filesystem::is_directory(folder + "/sub"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder + "/filelink")) << "written through, the link stays";
  EXPECT_TRUE(golden::ReadBytes(folder + "/linked.svg").starts_with("<?xml"));
  EXPECT_TRUE(std::filesystem::is_fifo(folder + "/fifo") && std::filesystem::is_character_file("/dev/full"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 12) << "no new file is left behind";
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace trussplot
