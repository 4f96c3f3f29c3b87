#include "tools/trussplot/projection.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trussplot {

namespace {

// The unit vectors of a view: `right` and `up` span the picture plane, `toward` points at the
// viewer (right x up), so every view is a right-handed frame.
struct ViewFrame {
  Vec3 right{};
  Vec3 up{};
  Vec3 toward{};
  std::string description;
};

// The command-line words of the views, and the axis each plane view is seen along.
struct ViewName {
  View view;
  std::string_view word;
  int normal;
};

constexpr ViewName kViews[] = {
    {View::kIso, "iso", -1}, {View::kXY, "xy", 2}, {View::kXZ, "xz", 1}, {View::kYZ, "yz", 0}};

const double kR2 = 1.0 / std::sqrt(2.0);
const double kR3 = 1.0 / std::sqrt(3.0);
const double kR6 = 1.0 / std::sqrt(6.0);

Vec3 Scaled(const std::array<double, 3>& weights, const std::array<int, 3>& axes) {
  Vec3 v{0.0, 0.0, 0.0};
  for (std::size_t k = 0; k < 3; ++k) v[static_cast<std::size_t>(axes[k])] += weights[k];
  return v;
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

std::string AxisName(int axis) { return std::string(1, static_cast<char>('x' + axis)); }

ViewFrame Frame(Viewpoint viewpoint) {
  const int u = std::clamp(viewpoint.up, 0, 2);
  ViewFrame frame;
  if (viewpoint.view == View::kIso) {
    // The axes after the up axis, in turn, take the places of x and y when z is up.
    const std::array<int, 3> axes = {(u + 1) % 3, (u + 2) % 3, u};
    frame.right = Scaled({kR2, kR2, 0.0}, axes);
    frame.up = Scaled({-kR6, kR6, 2.0 * kR6}, axes);
    frame.toward = Scaled({kR3, -kR3, kR3}, axes);
    frame.description = "isometric view: " + AxisName(axes[0]) + " to the right and down, " + AxisName(axes[1]) +
                        " to the right and up, " + AxisName(u) + " up";
    return frame;
  }
  int normal = 0;
  for (const ViewName& name : kViews) {
    if (name.view == viewpoint.view) normal = name.normal;
  }
  const int first = normal == 0 ? 1 : 0;
  const int second = normal == 2 ? 1 : 2;
  // A plan is seen from above: the first axis to the right unless that would show it from below.
  int right = second == (first + 1) % 3 ? first : second;
  int up = first + second - right;
  std::string name = "plan view";
  if (u != normal) {
    up = u;
    right = u == first ? second : first;
    // The elevation whose right axis comes first is the front one.
    name = right == (u == 0 ? 1 : 0) ? "elevation" : "side elevation";
  }
  frame.right = Scaled({1.0, 0.0, 0.0}, {right, up, normal});
  frame.up = Scaled({0.0, 1.0, 0.0}, {right, up, normal});
  frame.toward = Cross(frame.right, frame.up);
  frame.description = name + ": " + AxisName(right) + " to the right, " + AxisName(up) + " up";
  return frame;
}

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The steps of the automatic magnification within one power of ten.
constexpr double kNiceSteps[] = {1.0, 1.5, 2.0, 3.0, 5.0, 7.5};

}  // namespace

std::optional<View> ParseView(std::string_view word) {
  for (const ViewName& name : kViews) {
    if (name.word == word) return name.view;
  }
  return std::nullopt;
}

std::optional<int> ParseAxis(std::string_view word) {
  if (word.size() != 1 || word[0] < 'x' || word[0] > 'z') return std::nullopt;
  return word[0] - 'x';
}

std::string_view ViewWord(View view) {
  for (const ViewName& name : kViews) {
    if (name.view == view) return name.word;
  }
  return kViews[0].word;
}

std::string DescribeView(Viewpoint viewpoint) { return Frame(viewpoint).description; }

Point2 Project(Viewpoint viewpoint, const Vec3& p) {
  const ViewFrame frame = Frame(viewpoint);
  return {Dot(p, frame.right), Dot(p, frame.up)};
}

double TowardViewer(Viewpoint viewpoint, const Vec3& d) { return Dot(d, Frame(viewpoint).toward); }

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
