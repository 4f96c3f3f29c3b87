#include "tools/trussplot/projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace trussplot {
namespace {

TEST(ProjectTest, EachViewPlacesTheAxesAsItsDescriptionSays) {
  struct Case {
    View view;
    Vec3 point;
    double x, y, toward;
  };
  const double r2 = std::sqrt(0.5);
  const double r6 = 1.0 / std::sqrt(6.0);
  const double r3 = 1.0 / std::sqrt(3.0);
  const Case cases[] = {
      {View::kXY, {1, 2, 3}, 1, 2, 3},
      {View::kXZ, {1, 2, 3}, 1, 3, -2},
      {View::kYZ, {1, 2, 3}, 2, 3, 1},
      // x goes right and down, y right and up, z straight up; (1, -1, 1) points at the viewer.
      {View::kIso, {1, 0, 0}, r2, -r6, r3},
      {View::kIso, {0, 1, 0}, r2, r6, -r3},
      {View::kIso, {0, 0, 1}, 0, 2 * r6, r3},
      {View::kIso, {1, 1, 1}, 2 * r2, 2 * r6, r3},
  };
  for (const Case& c : cases) {
    const Point2 p = Project(c.view, c.point);
    const char* word = ViewWord(c.view).data();
    EXPECT_NEAR(p.x, c.x, 1e-12) << word << " (" << c.point[0] << "," << c.point[1] << "," << c.point[2] << ")";
    EXPECT_NEAR(p.y, c.y, 1e-12) << word << " (" << c.point[0] << "," << c.point[1] << "," << c.point[2] << ")";
    EXPECT_NEAR(TowardViewer(c.view, c.point), c.toward, 1e-12) << word;
  }
}

TEST(ProjectTest, ViewWordsRoundTripAndOthersAreRefused) {
  for (View view : {View::kIso, View::kXY, View::kXZ, View::kYZ}) {
    EXPECT_EQ(ParseView(ViewWord(view)), view) << ViewWord(view);
  }
  for (const char* word : {"", "ISO", "zx", "x", "iso "}) EXPECT_FALSE(ParseView(word).has_value()) << word;
}

TEST(StructureSizeTest, IsTheLargestExtentAlongAnAxis) {
  const std::vector<Vec3> twoBar = {{0, 0, 0}, {4, 3, 0}, {8, 0, 0}};
  EXPECT_EQ(StructureSize(twoBar), 8.0);
  const std::vector<Vec3> tall = {{1, 1, -2}, {1.5, 0, 10}};
  EXPECT_EQ(StructureSize(tall), 12.0);
  EXPECT_EQ(StructureSize(std::vector<Vec3>{}), 0.0);
  EXPECT_EQ(StructureSize(std::vector<Vec3>{{5, 5, 5}}), 0.0);
}

// The raw factor 0.1 x size / largest, rounded down to 1, 1.5, 2, 3, 5 or 7.5 times a power of ten.
TEST(AutomaticScaleTest, RoundsTheTenthRuleDownToAStep) {
  struct Case {
    double size, largest, scale;
  };
  const Case cases[] = {
      {8.0, 0.3472E-02, 200.0},   // two-bar: raw 230.4
      {5.0, 0.25, 2.0},           // raw exactly 2: on the step
      {10.0, 1.0, 1.0},           // raw exactly 1
      {10.0, 0.1, 10.0},          // raw exactly 10: the next power
      {10.0, 0.134, 5.0},         // raw 7.46: below 7.5
      {10.0, 0.13, 7.5},          // raw 7.69
      {1.0, 0.04, 2.0},           // raw 2.5
      {1.0, 0.0201, 3.0},         // raw 4.975
      {100.0, 100.0, 0.1},        // raw 0.1: displacements larger than the structure
      {1.0, 0.7, 0.1},            // raw 0.142...
      {0.0, 1.0, 1.0},            // no size
      {10.0, 0.0, 1.0},           // nothing moves
      {1e300, 1e-300, 1.0},       // raw overflows
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(AutomaticScale(c.size, c.largest), c.scale) << "size " << c.size << " largest " << c.largest;
  }
}

}  // namespace
}  // namespace trussplot
