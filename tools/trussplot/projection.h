// Views of the structure on the picture plane and the magnification of the displacements.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace trussplot {

// A point or direction of the model: x, y, z.
using Vec3 = std::array<double, 3>;

// A point of the picture plane in model units: x to the right, y up.
struct Point2 {
  double x = 0.0;
  double y = 0.0;
};

// The direction the structure is seen from.
enum class View {
  kIso,  // isometric, the up axis up
  kXY,   // the plane of x and y, seen along z
  kXZ,   // the plane of x and z, seen along y
  kYZ,   // the plane of y and z, seen along x
};

// A view and the axis (0, 1, 2 for x, y, z) that points up in the world. A plane view along the
// up axis is a plan: its first axis to the right and its second up the page. Any other plane view
// is an elevation: the up axis up the page, the other axis to the right. The isometric view puts
// the up axis up; with z up, x runs to the right and down, y to the right and up.
struct Viewpoint {
  Viewpoint(View v = View::kIso, int upAxis = 2) : view(v), up(upAxis) {}
  View view;
  int up;
};

// The view named by a command-line word (iso, xy, xz, yz); empty for any other word.
std::optional<View> ParseView(std::string_view word);

// The axis named by a command-line word (x, y, z) as 0, 1, 2; empty for any other word.
std::optional<int> ParseAxis(std::string_view word);

// The command-line word of a view.
std::string_view ViewWord(View view);

// A sentence telling how the axes lie in the picture, such as "elevation: x to the right, z up".
std::string DescribeView(Viewpoint viewpoint);

// The orthographic projection of a point (or a direction) onto the picture plane.
Point2 Project(Viewpoint viewpoint, const Vec3& p);

// The component of a direction towards the viewer; the projection loses it.
double TowardViewer(Viewpoint viewpoint, const Vec3& d);

// The structure's size: the largest extent of the box around the points along x, y or z; 0 for
// no points.
double StructureSize(std::span<const Vec3> points);

// The magnification of the displacements that brings the largest one to about a tenth of the
// structure's size: 0.1 x size / largest, rounded down to 1, 1.5, 2, 3, 5 or 7.5 times a power of
// ten. Returns 1 when the structure has no size or nothing moves.
double AutomaticScale(double size, double largestDisplacement);

}  // namespace trussplot
