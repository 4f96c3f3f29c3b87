// The results: the displacement table and the member stresses, to the report and the plot file.
#pragma once

#include "analysis/truss_model.h"

namespace analysis {

// Writes the displacements held in FORCE and the stress of every member (computed here) to the
// report unit IOUT and the plot file unit IGRP.
void WriteResults(const TrussModel& model, int IOUT, int IGRP);

}  // namespace analysis
