#include "tools/trussplot/plot_file.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/trussplot/tests/golden_plot_files.h"

namespace trussplot {
namespace {

using golden::FirstRecords;
using golden::WithRecord;

// A run that stops early leaves the first records of the file; so does one that stops on a node
// numbering error (node records past NNODE). Member records numbered above NELE are kept; LF line
// ends, the last one missing, and empty lines after the end are read as a complete file.
TEST(ParsePlotFileTest, TellsWhereAFileStops) {
  std::string lineFeeds = golden::Join(golden::Lines("two_bar"), "\n");
  lineFeeds.pop_back();
  const struct {
    PlotFile file;
    FileEnd end;
    std::size_t nodes, members;
    std::string description;
  } cases[] = {
      {FirstRecords("two_bar", 1), FileEnd::kAfterTitle, 0, 0, "The file ends after its title"},
      {FirstRecords("two_bar", 2), FileEnd::kAfterCounts, 0, 0, "(NELE = 2, NNODE = 3)"},
      {FirstRecords("two_bar", 4), FileEnd::kInNodes, 2, 0, "2 of the 3 node records"},
      {FirstRecords("two_bar", 6), FileEnd::kInMembers, 3, 1, "1 of the 2 member records"},
      {FirstRecords("two_bar", 7), FileEnd::kAfterModel, 3, 2, "before writing results"},
      {FirstRecords("two_bar", 9), FileEnd::kInDisplacements, 3, 2, "2 of the 3 displacement records"},
      {FirstRecords("two_bar", 11), FileEnd::kInStresses, 3, 2, "1 of the 2 stress records"},
      {ParsePlotFile(WithRecord("two_bar", 1, "   2   2", 5)), FileEnd::kBeyondNodeCount, 3, 0, "(NNODE = 2) to node 3"},
      {ParsePlotFile(WithRecord("two_bar", 1, "   1   3", 11)), FileEnd::kComplete, 3, 2, ""},
      {ParsePlotFile(lineFeeds), FileEnd::kComplete, 3, 2, ""},
      {ParsePlotFile(golden::Text("two_bar") + "\r\n\n"), FileEnd::kComplete, 3, 2, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.file.end, c.end) << c.description;
    EXPECT_EQ(c.file.nodes.size(), c.nodes) << c.description;
    EXPECT_EQ(c.file.members.size(), c.members) << c.description;
    EXPECT_NE(DescribeEnd(c.file).find(c.description), std::string::npos) << DescribeEnd(c.file);
  }
  EXPECT_FALSE(IsAnalysedMember(cases[8].file, 1));
  EXPECT_EQ(cases[9].file.members[1].stress, -83.333) << "the last record without its line end";
}

TEST(ParsePlotFileTest, TakesAsterisksAndTextsOfNonFiniteValuesAsMissing) {
  std::vector<std::string> lines = golden::Lines("two_bar");
  lines[3] = "  2 * 0 1  .4000E+01 -.1250E+02  .0000E+00 1#INF..... -.1000E+04  .0000E+00";
  lines[6] = "  2  2 **       .2000E+06       .1000E+02";
  lines[11] = "   2 ***************";
  const PlotFile file = ParsePlotFile(golden::Join(lines));
  EXPECT_EQ(file.end, FileEnd::kComplete);
  EXPECT_FALSE(file.nodes[1].IFIX[0].has_value());
  EXPECT_EQ(file.nodes[1].coordinate[1], -12.5);
  EXPECT_FALSE(file.nodes[1].load[0].has_value());
  EXPECT_FALSE(file.members[1].NODE[1].has_value());
  EXPECT_TRUE(file.members[1].hasStress && !file.members[1].stress);
}

TEST(ParsePlotFileTest, NamesTheLineAndColumnOfTextThatIsNotAPlotFile) {
  for (const golden::Row& row : golden::Rows("parse_errors.txt")) {
    try {
      ParsePlotFile(row.PlotText());
      ADD_FAILURE() << "parse_errors.txt:" << row.line << ": no error";
    } catch (const PlotFileError& error) {
      EXPECT_EQ(error.line(), row.Number(4)) << "parse_errors.txt:" << row.line << ": " << error.what();
      EXPECT_EQ(error.column(), row.Number(5)) << "parse_errors.txt:" << row.line << ": " << error.what();
      EXPECT_NE(std::string(error.what()).find(row.fields[6]), std::string::npos)
          << "parse_errors.txt:" << row.line << ": " << error.what();
    }
  }
}

}  // namespace
}  // namespace trussplot
