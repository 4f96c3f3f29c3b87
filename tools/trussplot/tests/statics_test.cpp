// The views and scales, the equilibrium worked out from a plot file, and its summary.
#include "tools/trussplot/statics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tools/trussplot/summary.h"
#include "tools/trussplot/svg_text.h"
#include "tools/trussplot/tests/golden_plot_files.h"

namespace trussplot {
namespace {

// The numeric rules of the views, the automatic scale and zero force, one case a line.
TEST(RulesTest, EachCaseOfTheRulesFile) {
  for (const golden::Row& row : golden::Rows("rules.txt")) {
    const std::string& rule = row.fields[0];
    const auto number = [&](std::size_t k) { return std::stod(row.fields[k]); };
    if (rule == "scale") {
      EXPECT_DOUBLE_EQ(AutomaticScale(number(1), number(2)), number(3)) << row.where;
    } else if (rule == "zero force") {
      EXPECT_EQ(IsZeroForce(number(1), number(2)), row.fields[3] == "yes") << row.where;
    } else if (rule == "width") {
      EXPECT_NEAR(TextWidth(row.fields[1], number(2), row.fields[3] == "bold"), number(4), 1e-9) << row.where;
    } else {
      const Viewpoint view(ParseView(rule.substr(0, rule.find(' '))).value(),
                           rule.size() > 3 ? ParseAxis(rule.substr(rule.size() - 1)).value() : 2);
      const Vec3 point{number(1), number(2), number(3)};
      EXPECT_NEAR(Project(view, point).x, number(4), 1e-12) << row.where;
      EXPECT_NEAR(Project(view, point).y, number(5), 1e-12) << row.where;
      EXPECT_NEAR(TowardViewer(view, point), number(6), 1e-12) << row.where;
      EXPECT_EQ(ViewWord(view.view), rule.substr(0, rule.find(' ')));
    }
  }
  EXPECT_EQ(StructureSize(std::vector<Vec3>{{1, 1, -2}, {1.5, 0, 10}}), 12.0);
}

// Loads and reactions balance within 1e-4 of the largest load, and no free node is out of balance
// by more than the stresses' five digits allow. Only the two-bar truss lies in a plane.
TEST(StaticsTest, EveryExampleIsInEquilibriumAndSeenInItsPlane) {
  for (const char* name : golden::kExamples) {
    const PlotFile file = golden::Parsed(name);
    const Statics s = ComputeStatics(file);
    ASSERT_TRUE(s.forcesKnown) << name;
    double largestLoad = 0.0;
    for (const PlotNode& node : file.nodes) largestLoad = std::max(largestLoad, Length(*AllOf(node.load)));
    for (std::size_t j = 0; j < 3; ++j) {
      EXPECT_LE(std::fabs(s.loadSum[j] + s.reactionSum[j]), 1e-4 * largestLoad) << name << " direction " << j;
    }
    EXPECT_LE(s.largestImbalance, 1e-4 * s.largestForce) << name;
    EXPECT_EQ(CommonPlane(file), name == std::string("two_bar") ? std::optional(View::kXY) : std::nullopt) << name;
  }
}

// The summary of a complete file and of files that ended early: each section says what it can,
// the forces and reactions of the two-bar truss as worked out by hand.
TEST(SummaryTest, GivesWhatTheFileHoldsAndNamesWhatIsMissing) {
  for (const golden::Row& row : golden::Rows("summary.txt")) {
    const PlotFile file = ParsePlotFile(row.PlotText());
    std::string text = "\n";
    text += row.fields[4] == "json" ? WriteSummaryJson(file) : WriteSummary(file);
    for (std::size_t k = 5; k < row.fields.size(); ++k) {
      EXPECT_NE(text.find("\n" + row.fields[k] + "\n"), std::string::npos) << row.where << ": " << row.fields[k]
                                                                             << text;
    }
  }
}

}  // namespace
}  // namespace trussplot
