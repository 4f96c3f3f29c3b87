// What the picture shows, gathered from the plot file before anything is drawn: the nodes and
// members placed on the page, the magnification, the ranges of the legend and the notes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/trussplot/plot_file.h"
#include "tools/trussplot/projection.h"
#include "tools/trussplot/statics.h"
#include "tools/trussplot/svg_text.h"
#include "tools/trussplot/svg_writer.h"

namespace trussplot {

// The page: a drawing area on the left, the legend on the right, the title above and the notes
// below. Lengths are in picture units (pixels at 100 %).
constexpr double kPageWidth = 1000.0;
constexpr double kPlotLeft = 20.0;
constexpr double kPlotWidth = 720.0;
constexpr double kMaxDrawHeight = 640.0;
constexpr double kMinPlotHeight = 280.0;
constexpr double kLegendLeft = 760.0;
constexpr double kPadding = 72.0;        // room around the structure for arrows and supports

// What the picture shows of one node.
struct NodeShape {
  bool placed = false;             // all its coordinates are known
  Vec3 at{};                       // undeformed position
  bool moved = false;              // its deformed position is known
  Vec3 deformed{};                 // position in the deformed shape
  Screen screen;                   // undeformed position in the picture
  Screen deformedScreen;           // deformed position in the picture
};

// A drawn member: its record and end nodes (0-based indices of placed nodes).
struct MemberShape {
  const PlotMember* member = nullptr;
  std::size_t end1 = 0;
  std::size_t end2 = 0;
};

// Places model points in the drawing area, keeping the proportions of the structure.
class Placement {
 public:
  // Fits the projected points into the drawing area whose top is at `top`.
  Placement(Viewpoint viewpoint, const std::vector<Point2>& points, double top);

  // The picture position of a model point.
  Screen At(const Vec3& p) const;

  // A direction of the model in picture units per model unit (picture y points down).
  Screen Direction(const Vec3& d) const {
    const Point2 q = Project(viewpoint_, d);
    return {q.x, -q.y};
  }

  double top() const { return top_; }                // top of the drawing area
  // The corner of the axis cross, in the lower left of the drawing area.
  Screen AxesOrigin() const { return {kPlotLeft + 24.0, top_ + plotHeight_ - 24.0}; }
  double plotHeight() const { return plotHeight_; }  // height of the drawing area

 private:
  Viewpoint viewpoint_;
  double top_;
  double unit_ = 1.0;  // picture units per model unit
  double plotHeight_ = kMinPlotHeight;
  double centreX_ = 0.0;
  double centreY_ = 0.0;
};

// Why an axis is drawn up.
enum class UpSource {
  kAsked,     // --up
  kLoads,     // the resultant of the loads acts mostly along it
  kNoLoads,   // z: there are no loads, or they cancel out
  kNoAxis,    // z: the resultant of the loads acts along no one axis
};

// The axis along which the resultant of the loads mostly acts (its component there is more than
// 1/sqrt(2) of its length), or why there is none.
std::pair<int, UpSource> LoadAxis(const PlotFile& file);

// Everything the picture shows, gathered from the file before anything is drawn.
struct Scene {
  std::vector<NodeShape> nodes;
  std::vector<MemberShape> members;
  std::vector<std::string> notes;
  bool deformedShown = false;
  double scale = 1.0;
  bool scaleGiven = false;
  double largestDisplacement = 0.0;
  int largestDisplacementNode = 0;
  double stressRange = 0.0;
  bool anyStress = false;
  double largestLoad = 0.0;
  double largestReaction = 0.0;
  Viewpoint view;                  // the view drawn: as asked, else the plane of a plane model
  UpSource upSource = UpSource::kNoLoads;  // why the up axis is the one drawn up
  bool inModelPlane = false;       // the view is the plane every node lies in
  Statics statics;                 // forces and reactions
};

// Gathers the picture of a plot file; the nodes are not yet placed on the page.
Scene Gather(const PlotFile& file, const PictureOptions& options);

}  // namespace trussplot
