#include "tools/trussplot/plot_file.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/trussplot/tests/golden_plot_files.h"

namespace trussplot {
namespace {

TEST(ParsePlotFileTest, TellsWhereAFileStops) {
  const std::string ends[] = {"empty", "after title", "after counts", "in nodes", "beyond node count", "in members",
                              "after model", "in displacements", "in stresses", "complete"};
  for (const golden::Row& row : golden::Rows("early_ends.txt")) {
    const PlotFile file = ParsePlotFile(row.PlotText());
    const std::string description = DescribeEnd(file), where = row.where + ": " + description;
    EXPECT_EQ(ends[static_cast<int>(file.end)], row.fields[4]) << where;
    EXPECT_EQ(file.nodes.size(), static_cast<std::size_t>(row.Number(5))) << where;
    EXPECT_EQ(file.members.size(), static_cast<std::size_t>(row.Number(6))) << where;
    EXPECT_TRUE(row.fields[7] == "-" ? description.empty() : description.find(row.fields[7]) != std::string::npos)
        << where;
  }
  // LF line ends, the last one missing, and empty lines after the end are read as a complete file.
  std::string lineFeeds = golden::Text("two_bar");
  std::erase(lineFeeds, '\r');
  lineFeeds.pop_back();
  EXPECT_EQ(ParsePlotFile(lineFeeds).members[1].stress, -83.333) << "the last record without its line end";
  EXPECT_EQ(ParsePlotFile(golden::Text("two_bar") + "\r\n\n").end, FileEnd::kComplete) << "empty lines at the end";
}

TEST(ParsePlotFileTest, NamesTheLineAndColumnOfTextThatIsNotAPlotFile) {
  for (const golden::Row& row : golden::Rows("parse_errors.txt")) {
    try {
      ParsePlotFile(row.PlotText());
      ADD_FAILURE() << row.where << ": no error";
    } catch (const PlotFileError& error) {
      EXPECT_EQ(error.line(), row.Number(4)) << row.where << ": " << error.what();
      EXPECT_EQ(error.column(), row.Number(5)) << row.where << ": " << error.what();
      EXPECT_NE(std::string(error.what()).find(row.fields[6]), std::string::npos)
          << row.where << ": " << error.what();
    }
  }
}

}  // namespace
}  // namespace trussplot
