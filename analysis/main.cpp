// truss: analysis of a pin-jointed space truss by the direct stiffness method.
#include "analysis/driver.h"
#include "fmtio/io_unit.h"
#include "runtime/run_time_error.h"
#include "runtime/termination.h"

int main(int argc, char** argv) {
  fmtio::Start(argc, argv);
  int exitCode = 0;
  try {
    try {
      analysis::RunTruss();
    } catch (const runtime::RunTimeError& error) {
      runtime::Fatal(error);  // an error no statement claimed still ends the run as fatal
    } catch (const std::bad_alloc&) {
      runtime::RunTimeError error;
      error.number = 6700;
      runtime::Fatal(error);
    }
  } catch (const runtime::RunEnded& end) {
    exitCode = end.exitCode;
  }
  return runtime::Finish(exitCode);
}
