#include "tools/trussplot/plot_file.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tools/trussplot/tests/golden_plot_files.h"

namespace trussplot {
namespace {

using golden::Join;

// The two-bar truss: the apex moves 0.003472 down and both bars carry a compressive stress of
// 83.333.
std::vector<std::string> TwoBarLines() { return golden::Lines("two_bar"); }
std::string TwoBarText() { return golden::Text("two_bar"); }

TEST(ParsePlotFileTest, ReadsEveryFieldOfTheTwoBarFile) {
  const PlotFile file = ParsePlotFile(TwoBarText());
  EXPECT_EQ(file.title, "TWO-BAR TRUSS: APEX LOAD OF 1000 DOWN, BARS 5 LONG AT 3-4-5 SLOPE");
  EXPECT_EQ(file.NELE, 2);
  EXPECT_EQ(file.NNODE, 3);
  EXPECT_EQ(file.end, FileEnd::kComplete);
  ASSERT_EQ(file.nodes.size(), 3u);
  ASSERT_EQ(file.members.size(), 2u);
  const PlotNode& apex = file.nodes[1];
  EXPECT_EQ(apex.K, 2);
  EXPECT_EQ(apex.IFIX[0], 0);
  EXPECT_EQ(apex.IFIX[2], 1);
  EXPECT_EQ(apex.coordinate[0], 4.0);
  EXPECT_EQ(apex.coordinate[1], 3.0);
  EXPECT_EQ(apex.load[1], -1000.0);
  ASSERT_TRUE(apex.hasDisplacement);
  EXPECT_EQ(apex.displacement[1], -0.3472E-02);
  EXPECT_EQ(apex.displacement[0], 0.0);
  EXPECT_EQ(file.nodes[2].IFIX[1], 1);
  EXPECT_EQ(file.nodes[2].coordinate[0], 8.0);
  const PlotMember& second = file.members[1];
  EXPECT_EQ(second.K, 2);
  EXPECT_EQ(second.NODE[0], 2);
  EXPECT_EQ(second.NODE[1], 3);
  EXPECT_EQ(second.E, 200000.0);
  EXPECT_EQ(second.A, 10.0);
  ASSERT_TRUE(second.hasStress);
  EXPECT_EQ(second.stress, -83.333);
  EXPECT_EQ(DescribeEnd(file), "");
}

// Every example's plot file reads complete; the first and last records of each section are
// checked against the example's data.
TEST(ParsePlotFileTest, ReadsEveryExamplesPlotFile) {
  struct Case {
    const char* example;
    std::string_view titleStart;
    int NELE, NNODE;
    std::array<double, 3> lastNodeXC;    // coordinates of the last node
    std::array<double, 3> lastNodeLoad;  // loads x, y, z of the last node
    std::array<int, 2> lastMemberNODE;   // end nodes of the last member
    double firstA;                       // area of member 1
    double lastStress;                   // stress of the last member
  };
  const Case cases[] = {
      {"two_bar", "TWO-BAR TRUSS", 2, 3, {8, 0, 0}, {0, 0, 0}, {2, 3}, 10.0, -83.333},
      {"tripod", "TRIPOD", 3, 4, {0, 0, 4}, {300, 600, -2000}, {3, 4}, 10.0, -50.0},
      {"tetrahedron", "TETRAHEDRON", 6, 4, {3, 2, 4}, {500, 0, -3000}, {3, 4}, 8.0, -125.0},
      {"tower", "SPACE TOWER", 50, 20, {-2, 2, 20}, {0, 10, -200}, {10, 20}, 0.004, 4899.9},
      {"bridge", "BRIDGE", 48, 18, {21, 4, 5}, {0, 0, 0}, {14, 9}, 0.006, -32465.0},
  };
  for (const Case& c : cases) {
    const PlotFile file = ParsePlotFile(golden::Text(c.example));
    EXPECT_EQ(file.end, FileEnd::kComplete) << c.example << ": " << DescribeEnd(file);
    EXPECT_EQ(file.title.substr(0, c.titleStart.size()), c.titleStart) << c.example;
    EXPECT_EQ(file.NELE, c.NELE) << c.example;
    EXPECT_EQ(file.NNODE, c.NNODE) << c.example;
    ASSERT_EQ(file.nodes.size(), static_cast<std::size_t>(c.NNODE)) << c.example;
    ASSERT_EQ(file.members.size(), static_cast<std::size_t>(c.NELE)) << c.example;
    for (const PlotNode& node : file.nodes) {
      EXPECT_TRUE(node.hasDisplacement) << c.example << " node " << node.K;
      for (int j = 0; j < 3; ++j) {
        EXPECT_TRUE(node.coordinate[j] && node.load[j] && node.displacement[j] && node.IFIX[j])
            << c.example << " node " << node.K << " direction " << j;
      }
    }
    for (const PlotMember& member : file.members) {
      EXPECT_TRUE(member.hasStress && member.stress && member.E && member.A && member.NODE[0] && member.NODE[1])
          << c.example << " member " << member.K;
    }
    const PlotNode& lastNode = file.nodes.back();
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(lastNode.coordinate[j], c.lastNodeXC[j]) << c.example << " direction " << j;
      EXPECT_EQ(lastNode.load[j], c.lastNodeLoad[j]) << c.example << " direction " << j;
    }
    EXPECT_EQ(file.members.back().NODE[0], c.lastMemberNODE[0]) << c.example;
    EXPECT_EQ(file.members.back().NODE[1], c.lastMemberNODE[1]) << c.example;
    EXPECT_EQ(file.members.front().A, c.firstA) << c.example;
    EXPECT_EQ(file.members.back().stress, c.lastStress) << c.example;
  }
}

TEST(ParsePlotFileTest, AcceptsLineFeedsAndAMissingLastLineEnd) {
  std::string text = Join(TwoBarLines(), "\n");
  text.pop_back();
  const PlotFile file = ParsePlotFile(text);
  EXPECT_EQ(file.end, FileEnd::kComplete);
  EXPECT_EQ(file.members[0].stress, -83.333);
  EXPECT_EQ(ParsePlotFile(TwoBarText() + "\r\n\n").end, FileEnd::kComplete) << "empty lines after the end";
}

// A run that stops early leaves the first records of the file; each prefix of the two-bar file
// is such a file.
TEST(ParsePlotFileTest, TellsWhereAnEarlyEndedFileStops) {
  struct Case {
    std::size_t lines;
    FileEnd end;
    std::size_t nodes;
    std::size_t members;
    std::string description;
  };
  const Case cases[] = {
      {1, FileEnd::kAfterTitle, 0, 0, "The file ends after its title"},
      {2, FileEnd::kAfterCounts, 0, 0, "(NELE = 2, NNODE = 3)"},
      {4, FileEnd::kInNodes, 2, 0, "2 of the 3 node records"},
      {5, FileEnd::kInMembers, 3, 0, "0 of the 2 member records"},
      {6, FileEnd::kInMembers, 3, 1, "1 of the 2 member records"},
      {7, FileEnd::kAfterModel, 3, 2, "before writing results"},
      {9, FileEnd::kInDisplacements, 3, 2, "2 of the 3 displacement records"},
      {10, FileEnd::kInStresses, 3, 2, "0 of the 2 stress records"},
      {11, FileEnd::kInStresses, 3, 2, "1 of the 2 stress records"},
  };
  for (const Case& c : cases) {
    const std::vector<std::string> all = TwoBarLines();
    const std::vector<std::string> prefix(all.begin(), all.begin() + c.lines);
    const PlotFile file = ParsePlotFile(Join(prefix));
    EXPECT_EQ(file.end, c.end) << "first " << c.lines << " records";
    EXPECT_EQ(file.nodes.size(), c.nodes) << "first " << c.lines << " records";
    EXPECT_EQ(file.members.size(), c.members) << "first " << c.lines << " records";
    EXPECT_NE(DescribeEnd(file).find(c.description), std::string::npos)
        << "first " << c.lines << " records: " << DescribeEnd(file);
    EXPECT_EQ(HasDisplacements(file), c.end == FileEnd::kInStresses) << "first " << c.lines << " records";
  }
}

TEST(ParsePlotFileTest, NodeRecordsPastTheNodeCountEndTheFile) {
  std::vector<std::string> lines = TwoBarLines();
  lines[1] = "   2   2";
  lines.resize(5);
  const PlotFile file = ParsePlotFile(Join(lines));
  EXPECT_EQ(file.end, FileEnd::kBeyondNodeCount);
  EXPECT_EQ(file.nodes.size(), 3u);
  EXPECT_NE(DescribeEnd(file).find("(NNODE = 2) to node 3"), std::string::npos) << DescribeEnd(file);
}

// Member records numbered above NELE make section 4 longer; sections 2 and 6 follow NELE.
TEST(ParsePlotFileTest, KeepsMemberRecordsNumberedAboveTheMemberCount) {
  std::vector<std::string> lines = TwoBarLines();
  lines[1] = "   1   3";
  lines.pop_back();
  PlotFile file = ParsePlotFile(Join(lines));
  EXPECT_EQ(file.end, FileEnd::kComplete);
  ASSERT_EQ(file.members.size(), 2u);
  EXPECT_TRUE(file.members[0].hasStress);
  EXPECT_FALSE(file.members[1].hasStress);
  EXPECT_TRUE(IsAnalysedMember(file, 0));
  EXPECT_FALSE(IsAnalysedMember(file, 1));

  lines[1] = "   0   3";
  lines.pop_back();
  file = ParsePlotFile(Join(lines));
  EXPECT_EQ(file.end, FileEnd::kComplete) << "NELE = 0: no stress record";
  EXPECT_EQ(file.members.size(), 2u);
}

TEST(ParsePlotFileTest, TakesAsterisksAndTextsOfNonFiniteValuesAsMissing) {
  std::vector<std::string> lines = TwoBarLines();
  lines[3] = "  2 * 0 1  .4000E+01 -.1250E+02  .0000E+00 1#INF..... -.1000E+04  .0000E+00";
  lines[6] = "  2  2 **       .2000E+06       .1000E+02";
  lines[11] = "   2 ***************";
  const PlotFile file = ParsePlotFile(Join(lines));
  EXPECT_EQ(file.end, FileEnd::kComplete);
  EXPECT_FALSE(file.nodes[1].IFIX[0].has_value());
  EXPECT_EQ(file.nodes[1].IFIX[1], 0);
  EXPECT_EQ(file.nodes[1].coordinate[1], -12.5);
  EXPECT_FALSE(file.nodes[1].load[0].has_value());
  EXPECT_EQ(file.nodes[1].load[1], -1000.0);
  EXPECT_EQ(file.members[1].NODE[0], 2);
  EXPECT_FALSE(file.members[1].NODE[1].has_value());
  EXPECT_TRUE(file.members[1].hasStress);
  EXPECT_FALSE(file.members[1].stress.has_value());
}

TEST(ParsePlotFileTest, NamesTheLineAndColumnOfTextThatIsNotAPlotFile) {
  struct Case {
    std::string what;
    std::size_t line;  // 0-based record of the two-bar file to replace; kAppend to add one
    std::string record;
    int expectedLine;
    int expectedColumn;
    std::string problem;
  };
  constexpr std::size_t kAppend = 99;
  const Case cases[] = {
      {"title without its blank", 0, "TWO-BAR", 1, 1, "not blank"},
      {"title past column 81", 0, " " + std::string(80, 'T') + "XY", 1, 82, "past column 81"},
      {"letter in a count", 1, "   2   x", 2, 8, "the node count (columns 6-8 of a counts record) is not a number"},
      {"separator not blank", 2, "  1x1 1 1  .0000E+00  .0000E+00  .0000E+00  .0000E+00  .0000E+00  .0000E+00", 3, 4,
       "column 4 of a node record must be blank"},
      {"record cut short", 2, "  1 1 1 1  .0000E+00  .0000E+00  .0000E+00", 3, 43, "ends at column 42"},
      {"text after the last field", 3,
       "  2 0 0 1  .4000E+01  .3000E+01  .0000E+00  .0000E+00 -.1000E+04  .0000E+00  X", 4, 78, "text after"},
      {"stray character in a number", 3,
       "  2 0 0 1  .40x0E+01  .3000E+01  .0000E+00  .0000E+00 -.1000E+04  .0000E+00", 4, 15,
       "the x coordinate (columns 11-20 of a node record) holds the unexpected character 'x'"},
      {"node out of order", 3, "  3 0 0 1  .4000E+01  .3000E+01  .0000E+00  .0000E+00 -.1000E+04  .0000E+00", 4, 2,
       "node record numbered 3 where number 2 was expected"},
      {"member record among the nodes", 4, "  1  1  2       .2000E+06       .1000E+02", 5, 1,
       "expected node record 3 of 3, found a record of 41 columns like a member record"},
      {"blank modulus", 5, "  1  1  2                       .1000E+02", 6, 11, "the modulus (columns 11-25"},
      {"partial asterisks", 6, "  2  2 *3       .2000E+06       .1000E+02", 7, 8, "is not a number"},
      {"stress record past NELE", kAppend, "   3     -.83333E+02", 13, 1, "more stress records than the member count"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = TwoBarLines();
    if (c.line == kAppend) {
      lines.push_back(c.record);
    } else {
      lines[c.line] = c.record;
    }
    try {
      ParsePlotFile(Join(lines));
      ADD_FAILURE() << c.what << ": no error";
    } catch (const PlotFileError& error) {
      EXPECT_EQ(error.line(), c.expectedLine) << c.what << ": " << error.what();
      EXPECT_EQ(error.column(), c.expectedColumn) << c.what << ": " << error.what();
      EXPECT_NE(std::string(error.what()).find(c.problem), std::string::npos)
          << c.what << "\n  expected to contain: " << c.problem << "\n  actual: " << error.what();
    }
  }
}

TEST(ParsePlotFileTest, RefusesAnEmptyFileAndRecordsAfterANodeError) {
  try {
    ParsePlotFile("");
    ADD_FAILURE() << "empty file accepted";
  } catch (const PlotFileError& error) {
    EXPECT_STREQ(error.what(), "line 1, column 1: the file is empty; a plot file begins with its title record");
  }
  std::vector<std::string> lines = TwoBarLines();
  lines[1] = "   2   2";
  lines.resize(6);
  try {
    ParsePlotFile(Join(lines));
    ADD_FAILURE() << "member record after node records past NNODE accepted";
  } catch (const PlotFileError& error) {
    EXPECT_EQ(error.line(), 6);
    EXPECT_EQ(error.column(), 1);
  }
}

}  // namespace
}  // namespace trussplot
