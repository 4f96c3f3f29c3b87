// The picture of a plot file: undeformed and deformed shape, stresses, supports, reactions, loads
// and node and member numbers, written as an SVG document.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/trussplot/plot_file.h"
#include "tools/trussplot/projection.h"

namespace trussplot {

// How the picture is drawn.
struct PictureOptions {
  std::optional<View> view;      // the direction of view; empty: the plane of a plane model, else iso
  std::optional<double> scale;   // magnification of the displacements; empty: automatic
  std::optional<int> up;         // the axis drawn up (0, 1, 2); empty: the one the loads act along
  bool values = false;           // write the value of each load, reaction and member force
};

// The whole SVG document of a plot file. A file that ended early gives the undeformed model and
// says why the rest is missing; values the file could not represent are left out and listed.
std::string WriteSvg(const PlotFile& file, const PictureOptions& options);

// The colour of a stress on the diverging scale from -range (blue) through 0 (grey) to +range
// (red), as "#rrggbb"; stresses beyond the range take the end colours.
std::string StressColour(double stress, double range);

}  // namespace trussplot
