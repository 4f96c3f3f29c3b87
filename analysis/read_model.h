// Reading the model from the data file, with generation of skipped nodes and members, and its
// echo to the report and the plot file.
#pragma once

#include <initializer_list>

#include "analysis/truss_model.h"
#include "fmtio/write_statement.h"

namespace analysis {

// Reads the model from unit 9, echoes it to the report unit IOUT and the plot file unit IGRP and
// sets MUD. Stops the run without results on a numbering error, a member end outside the nodes or a
// model beyond the capacities.
void ReadModel(TrussModel& model, int IOUT, int IGRP);

// Ends a run that wrote no results (a refused model or solution): the stop message, exit status 2.
[[noreturn]] void StopWithoutResults();

// Writes a message of the program's own (a refused model or solution) to the report and, when
// the report is a file, to the console too; `items` queues the statement's items.
template <class Items>
void WriteNotice(int IOUT, const char* format, Items items) {
  for (const int unit : {IOUT, 0}) {
    fmtio::BeginWrite(unit, format, -1);
    items();
    fmtio::EndWrite();
    if (IOUT == 0) break;
  }
}

}  // namespace analysis
