#include "tools/trussplot/projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

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
  const struct {
    double size, largest, scale;
  } cases[] = {
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
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(AutomaticScale(c.size, c.largest), c.scale) << "size " << c.size << " largest " << c.largest;
  }
}

}  // namespace
}  // namespace trussplot
