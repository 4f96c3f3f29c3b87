// The run-time support's part of the start of a run, called by fmtio::Start alone: programs start
// a run with fmtio::Start, which also prepares the units.
#pragma once

namespace runtime {

// Arms the floating-point traps, keeps the command line for the file layer and has the closing
// run at process exit when the program ends without Finish.
void Start(int argc, char** argv);

}  // namespace runtime
