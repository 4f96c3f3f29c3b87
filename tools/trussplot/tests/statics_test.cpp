// The views, the forces and reactions worked out from a plot file, and its summary.
#include "tools/trussplot/statics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tools/trussplot/summary.h"
#include "tools/trussplot/tests/golden_plot_files.h"

namespace trussplot {
namespace {

TEST(ProjectTest, EachViewPlacesTheAxesAsItsDescriptionSays) {
  const double r2 = std::sqrt(0.5), r6 = 1.0 / std::sqrt(6.0), r3 = 1.0 / std::sqrt(3.0);
  const struct {
    View view;
    Vec3 point;
    double x, y, toward;
  } cases[] = {
      {View::kXY, {1, 2, 3}, 1, 2, 3},     {View::kXZ, {1, 2, 3}, 1, 3, -2},
      {View::kYZ, {1, 2, 3}, 2, 3, 1},     {View::kIso, {1, 0, 0}, r2, -r6, r3},
      {View::kIso, {0, 1, 0}, r2, r6, -r3}, {View::kIso, {0, 0, 1}, 0, 2 * r6, r3},
  };
  for (const auto& c : cases) {
    const Point2 p = Project(c.view, c.point);
    EXPECT_NEAR(p.x, c.x, 1e-12) << ViewWord(c.view) << " " << c.point[0] << c.point[1] << c.point[2];
    EXPECT_NEAR(p.y, c.y, 1e-12) << ViewWord(c.view) << " " << c.point[0] << c.point[1] << c.point[2];
    EXPECT_NEAR(TowardViewer(c.view, c.point), c.toward, 1e-12) << ViewWord(c.view);
    EXPECT_EQ(ParseView(ViewWord(c.view)), c.view);
  }
  for (const char* word : {"", "ISO", "zx", "iso "}) EXPECT_FALSE(ParseView(word).has_value()) << word;
}

// The largest extent along an axis; the factor 0.1 x size / largest rounded down to 1, 1.5, 2, 3, 5
// or 7.5 times a power of ten.
TEST(AutomaticScaleTest, RoundsTheTenthRuleDownToAStep) {
  EXPECT_EQ(StructureSize(std::vector<Vec3>{{1, 1, -2}, {1.5, 0, 10}}), 12.0);
  EXPECT_EQ(StructureSize(std::vector<Vec3>{}), 0.0);
  const double cases[][3] = {
      {8.0, 0.3472E-02, 200.0},  // two-bar: raw 230.4
      {5.0, 0.25, 2.0},          // raw exactly on a step
      {10.0, 0.1, 10.0},         // raw exactly 10: the next power
      {10.0, 0.134, 5.0},        // raw 7.46: below 7.5
      {1.0, 0.0201, 3.0},        // raw 4.975
      {1.0, 0.7, 0.1},           // raw 0.142...
      {0.0, 1.0, 1.0},           // no size
      {10.0, 0.0, 1.0},          // nothing moves
      {1e300, 1e-300, 1.0},      // raw overflows
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(AutomaticScale(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

// By hand: each bar of the two-bar truss carries 1000 / 2 / (3/5) = 833.33 in compression; each
// support takes 500 up and 4/5 x 833.33 = 666.67 inwards. The z fixities of a plane truss carry
// nothing and are not listed.
TEST(StaticsTest, TwoBarMatchesTheHandSolution) {
  const Statics s = ComputeStatics(golden::Parsed("two_bar"));
  ASSERT_TRUE(s.forcesKnown);
  ASSERT_EQ(s.members.size(), 2u);
  for (const MemberResult& m : s.members) {
    EXPECT_NEAR(*m.force, -833.33, 0.01) << m.K;
    EXPECT_EQ(*m.length, 5.0) << m.K;
  }
  const Reaction expected[] = {{1, 0, 666.67}, {1, 1, 500.0}, {3, 0, -666.67}, {3, 1, 500.0}};
  ASSERT_EQ(s.reactions.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(s.reactions[i].node, expected[i].node);
    EXPECT_EQ(s.reactions[i].axis, expected[i].axis);
    EXPECT_NEAR(s.reactions[i].value, expected[i].value, 0.01) << i;
  }
}

// Loads and reactions balance within 1e-4 of the largest load, and no free node is out of balance
// by more than the stresses' five digits allow. A plane model is seen in its plane, with its
// second axis up; a space truss keeps the iso view.
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
  const struct {
    std::vector<Vec3> points;
    std::optional<View> view;
  } planes[] = {{{{0, 2, 0}, {4, 2, 3}, {8, 2, 0}}, View::kXZ},
                {{{5, 0, 0}, {5, 4, 3}, {5, 8, 0}}, View::kYZ},
                {{{0, 0, 0}, {4, 3, 0}, {8, 0, 1}}, std::nullopt}};
  for (const auto& c : planes) {
    PlotFile file;
    for (const Vec3& p : c.points) file.nodes.emplace_back().coordinate = {p[0], p[1], p[2]};
    EXPECT_EQ(CommonPlane(file), c.view);
  }
}

TEST(StaticsTest, ZeroForceIsExactZeroOrBelowAMillionthOfTheLargest) {
  const double cases[][3] = {{0.0, 0.0, 1}, {-0.0001, 38403.0, 1}, {0.99e-4, 100.0, 1}, {1.01e-4, 100.0, 0},
                             {-1e-30, 0.0, 0}};
  for (const auto& c : cases) EXPECT_EQ(IsZeroForce(c[0], c[1]), c[2] != 0) << c[0] << " of " << c[1];
}

// The summary of a complete file and of files that ended early: each section says what it can.
TEST(SummaryTest, GivesWhatTheFileHoldsAndNamesWhatIsMissing) {
  const std::vector<golden::Row> rows = golden::Rows("summary.txt");
  ASSERT_FALSE(rows.empty());
  for (const golden::Row& row : rows) {
    const PlotFile file = ParsePlotFile(row.PlotText());
    const std::string text = "\n" + (row.fields[4] == "json" ? WriteSummaryJson(file) : WriteSummary(file));
    EXPECT_NE(text.find("\n" + row.fields[5] + "\n"), std::string::npos) << "summary.txt:" << row.line << text;
  }
}

}  // namespace
}  // namespace trussplot
