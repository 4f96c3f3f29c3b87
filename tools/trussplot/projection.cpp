#include "tools/trussplot/projection.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trussplot {

namespace {

// The unit vectors of a view: `right` and `up` span the picture plane, `toward` points at the
// viewer (right x up), so every view is a right-handed frame.
struct ViewFrame {
  View view;
  std::string_view word;
  std::string_view description;
  Vec3 right;
  Vec3 up;
  Vec3 toward;
};

const double kR2 = 1.0 / std::sqrt(2.0);
const double kR3 = 1.0 / std::sqrt(3.0);
const double kR6 = 1.0 / std::sqrt(6.0);

const ViewFrame kFrames[] = {
    {View::kIso, "iso", "isometric view: x to the right and down, y to the right and up, z up",
     {kR2, kR2, 0.0}, {-kR6, kR6, 2.0 * kR6}, {kR3, -kR3, kR3}},
    {View::kXY, "xy", "plan view: x to the right, y up", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
    {View::kXZ, "xz", "elevation: x to the right, z up", {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
    {View::kYZ, "yz", "side elevation: y to the right, z up", {0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
};

const ViewFrame& Frame(View view) {
  for (const ViewFrame& frame : kFrames) {
    if (frame.view == view) return frame;
  }
  return kFrames[0];
}

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The steps of the automatic magnification within one power of ten.
constexpr double kNiceSteps[] = {1.0, 1.5, 2.0, 3.0, 5.0, 7.5};

}  // namespace

std::optional<View> ParseView(std::string_view word) {
  for (const ViewFrame& frame : kFrames) {
    if (frame.word == word) return frame.view;
  }
  return std::nullopt;
}

std::string_view ViewWord(View view) { return Frame(view).word; }

std::string_view DescribeView(View view) { return Frame(view).description; }

Point2 Project(View view, const Vec3& p) {
  const ViewFrame& frame = Frame(view);
  return {Dot(p, frame.right), Dot(p, frame.up)};
}

double TowardViewer(View view, const Vec3& d) { return Dot(d, Frame(view).toward); }

double StructureSize(std::span<const Vec3> points) {
  double size = 0.0;
  for (std::size_t axis = 0; axis < 3; ++axis) {
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const Vec3& p : points) {
      low = std::min(low, p[axis]);
      high = std::max(high, p[axis]);
    }
    if (!points.empty()) size = std::max(size, high - low);
  }
  return size;
}

double AutomaticScale(double size, double largestDisplacement) {
  if (!(size > 0.0) || !(largestDisplacement > 0.0)) return 1.0;
  const double raw = 0.1 * size / largestDisplacement;
  if (!std::isfinite(raw)) return 1.0;
  // Subtle: the power of ten is taken from the rounded logarithm and corrected, so that a raw
  // factor lying exactly on a step (0.1 x 5 / 0.25 = 2) is not pushed below it by the logarithm's
  // last bit.
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  if (power * 10.0 <= raw * (1.0 + 1e-12)) power *= 10.0;
  if (power > raw * (1.0 + 1e-12)) power /= 10.0;
  double scale = power;
  for (double step : kNiceSteps) {
    if (step * power <= raw * (1.0 + 1e-12)) scale = step * power;
  }
  return scale;
}

}  // namespace trussplot
