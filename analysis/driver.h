// The run of the program, from the dialogue to the results.
#pragma once

namespace analysis {

// Runs one analysis: the dialogue, the files, the model, the solution and the results. Ends by
// stopping the run (it returns only by the end-of-run exception).
[[noreturn]] void RunTruss();

}  // namespace analysis
