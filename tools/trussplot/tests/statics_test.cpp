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

// By hand: each bar of the two-bar truss carries 1000 / 2 / (3/5) = 833.33 in compression; each
// support takes 500 up and 4/5 x 833.33 = 666.67 inwards.
TEST(StaticsTest, TwoBarMatchesTheHandSolution) {
  const Statics s = ComputeStatics(ParsePlotFile(golden::Text("two_bar")));
  ASSERT_TRUE(s.forcesKnown);
  ASSERT_EQ(s.members.size(), 2u);
  for (const MemberResult& m : s.members) {
    EXPECT_NEAR(*m.force, -833.33, 0.01) << m.K;
    EXPECT_EQ(*m.length, 5.0) << m.K;
  }
  const struct {
    int node, axis;
    double value;
  } expected[] = {{1, 0, 666.67}, {1, 1, 500.0}, {3, 0, -666.67}, {3, 1, 500.0}};
  ASSERT_EQ(s.reactions.size(), 4u) << "the z fixities of a plane truss carry nothing and are not listed";
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(s.reactions[i].node, expected[i].node);
    EXPECT_EQ(s.reactions[i].axis, expected[i].axis);
    EXPECT_NEAR(s.reactions[i].value, expected[i].value, 0.01) << i;
  }
  EXPECT_EQ(s.omittedAxis, 2);
  EXPECT_EQ(s.displacementNode, 2);
  EXPECT_EQ(s.displacementAxis, 1);
}

// The loads and reactions balance within 1e-4 of the largest load; no free node is out of balance
// by more than the stresses' five digits allow.
TEST(StaticsTest, EveryExampleIsInEquilibrium) {
  for (const char* name : golden::kExamples) {
    const PlotFile file = ParsePlotFile(golden::Text(name));
    const Statics s = ComputeStatics(file);
    ASSERT_TRUE(s.forcesKnown) << name;
    double largestLoad = 0.0;
    for (const PlotNode& node : file.nodes) largestLoad = std::max(largestLoad, Length(*AllOf(node.load)));
    for (std::size_t j = 0; j < 3; ++j) {
      EXPECT_LE(std::fabs(s.loadSum[j] + s.reactionSum[j]), 1e-4 * largestLoad) << name << " direction " << j;
    }
    EXPECT_LE(s.largestImbalance, 1e-4 * s.largestForce) << name;
  }
}

// A plane model is seen in its plane, with its second axis up; a space truss keeps the iso view.
TEST(StaticsTest, PlaneModelsAreSeenInTheirPlane) {
  const auto plane = [](std::vector<Vec3> points) {
    PlotFile file;
    for (const Vec3& p : points) {
      file.nodes.emplace_back().coordinate = {p[0], p[1], p[2]};
    }
    return CommonPlane(file);
  };
  EXPECT_EQ(plane({{0, 0, 1}, {4, 3, 1}, {8, 0, 1}}), View::kXY);
  EXPECT_EQ(plane({{0, 2, 0}, {4, 2, 3}, {8, 2, 0}}), View::kXZ);
  EXPECT_EQ(plane({{5, 0, 0}, {5, 4, 3}, {5, 8, 0}}), View::kYZ);
  EXPECT_EQ(plane({{0, 0, 0}, {4, 3, 0}, {8, 0, 1}}), std::nullopt);
  EXPECT_EQ(CommonPlane(ParsePlotFile(golden::Text("two_bar"))), View::kXY);
  for (const char* name : {"tripod", "tetrahedron", "tower", "bridge"}) {
    EXPECT_EQ(CommonPlane(ParsePlotFile(golden::Text(name))), std::nullopt) << name;
  }
}

TEST(StaticsTest, ZeroForceIsExactZeroOrBelowAMillionthOfTheLargest) {
  EXPECT_TRUE(IsZeroForce(0.0, 0.0));
  EXPECT_TRUE(IsZeroForce(-0.0001, 38403.0));
  EXPECT_TRUE(IsZeroForce(0.99e-4, 100.0));
  EXPECT_FALSE(IsZeroForce(1.01e-4, 100.0));
  EXPECT_FALSE(IsZeroForce(-1e-30, 0.0));
}

// The summary of a complete file and of files that ended early: each section says what it can.
TEST(SummaryTest, GivesWhatTheFileHoldsAndNamesWhatIsMissing) {
  const PlotFile twoBar = ParsePlotFile(golden::Text("two_bar"));
  const PlotFile bridge = ParsePlotFile(golden::Text("bridge"));
  const struct {
    std::string text;
    std::vector<std::string> lines;  // each a whole line of the text
  } cases[] = {
      {WriteSummary(twoBar),
       {"TWO-BAR TRUSS: APEX LOAD OF 1000 DOWN, BARS 5 LONG AT 3-4-5 SLOPE", "     1  x                  666.66",
        "     3  y                     500",
        "  The model lies in a plane: its z reactions are all zero and not listed.",
        "  y                   -1000              1000          -0.004",
        "       2  2-3               5        833.33 C       -83.333",
        "Largest displacement: -0.003472 at node 2, direction y",
        "Largest |stress|: member 1 (-83.333), member 2 (-83.333)"}},
      {WriteSummary(bridge),
       {"     1  x                       0", "      31  1-10              5             0               0",
        "Largest |stress|: member 18 (38403), member 17 (38005), member 6 (-36903)"}},
      {WriteSummary(golden::FirstRecords("two_bar", 7)),
       {"Not available: reactions and equilibrium (they need every member's stress).",
        "Not available: the displacements.", "       1  1-2               5             -               -"}},
      {WriteSummaryJson(twoBar),
       {"    {\"member\": 2, \"nodes\": [2, 3], \"length\": 5, \"force\": -833.3299999999999, \"kind\": \"C\", "
        "\"stress\": -83.333}",
        "  \"reactionsNotListed\": \"z\","}},
      {WriteSummaryJson(golden::FirstRecords("two_bar", 7)),
       {"  \"reactions\": null,", "  \"largestDisplacement\": null,"}},
  };
  for (const auto& c : cases) {
    for (const std::string& line : c.lines) {
      EXPECT_NE(("\n" + c.text).find("\n" + line + "\n"), std::string::npos) << line << "\nin:\n" << c.text;
    }
  }
}

}  // namespace
}  // namespace trussplot
