// The summary of a plot file for the engineer: reactions, equilibrium, member forces, the largest
// displacement and the most stressed members, as plain text or as JSON.
#pragma once

#include <string>

#include "tools/trussplot/plot_file.h"

namespace trussplot {

// The summary as plain text, one section after the other. What the file does not hold (a run
// that stopped early, values written as asterisks) is named instead of its figures.
std::string WriteSummary(const PlotFile& file);

// The same content as one JSON object; a figure the file does not give is null, and "missing"
// lists what is left out and why.
std::string WriteSummaryJson(const PlotFile& file);

}  // namespace trussplot
