// The picture of a plot file: undeformed and deformed shape, stresses, supports, loads and node
// numbers, written as an SVG document.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/trussplot/plot_file.h"
#include "tools/trussplot/projection.h"

namespace trussplot {

// How the picture is drawn.
struct PictureOptions {
  View view = View::kIso;        // the direction the structure is seen from
  std::optional<double> scale;   // magnification of the displacements; empty: automatic
};

// The whole SVG document of a plot file. A file that ended early gives the undeformed model and
// says why the rest is missing; values the file could not represent are left out and listed.
std::string WriteSvg(const PlotFile& file, const PictureOptions& options);

// A text as XML character data: markup characters escaped, control characters replaced by "?",
// and bytes that are not UTF-8 taken as Latin-1 characters.
std::string EscapeText(std::string_view text);

// The colour of a stress on the diverging scale from -range (blue) through 0 (grey) to +range
// (red), as "#rrggbb"; stresses beyond the range take the end colours.
std::string StressColour(double stress, double range);

}  // namespace trussplot
