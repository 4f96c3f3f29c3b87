// truss: analysis of a pin-jointed space truss by the direct stiffness method.
#include <cstdio>
#include <cstring>

#include "analysis/driver.h"
#include "fmtio/io_unit.h"
#include "runtime/run_time_error.h"
#include "runtime/termination.h"

namespace {

constexpr char kUsage[] =
    "Usage: truss [DATA-FILE [REPORT-FILE]]\r\n"
    "       truss --help | --version\r\n"
    "\r\n"
    "Analyses a pin-jointed space truss. The program asks two questions:\r\n"
    "  TYPE DATA INPUT FILE NAME:  the model to read\r\n"
    "  OUTPUT FILE:                the report to create, or TT: for the terminal\r\n"
    "An empty answer takes the next name from the command line, so a script runs\r\n"
    "  printf '\\n\\n' | truss in.dat out.txt\r\n"
    "\r\n"
    "It creates the report file and the plot file TRUSS.GRP (in the current folder)\r\n"
    "and never overwrites a file: the run fails if one of them exists.\r\n"
    "\r\n"
    "Exit status: 0 the results were written; 1 a fatal error (reported on standard\r\n"
    "error); 2 no results (the model was refused or its solution failed).\r\n"
    "\r\n"
    "More: man truss\r\n";

constexpr char kVersion[] = "truss " TRUSS_VERSION "\r\n";

// Answers a first argument of exactly --help or --version, before anything is opened or asked.
// Returns the exit status, or -1 when the argument is a file name like any other.
int AnswerOption(int argc, char** argv) {
  if (argc < 2) return -1;
  const char* text = std::strcmp(argv[1], "--help") == 0      ? kUsage
                     : std::strcmp(argv[1], "--version") == 0 ? kVersion
                                                              : nullptr;
  if (!text) return -1;
  const bool written = std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0;
  return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const int status = AnswerOption(argc, argv); status >= 0) return status;
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
