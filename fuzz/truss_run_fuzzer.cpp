// A whole run in-process: the input is the data file; the console answers name it and a report
// file. The run goes from the dialogue through ReadModel, the solution and the results to its
// end, which the harness catches. Floating-point traps are off, so a zero-length member gives
// infinities and NaNs, which must pass through the analysis and the editing without harm.
#include <cstdint>
#include <string_view>

#include "analysis/driver.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::InScratchFolder scratch;
  fuzz::WriteFile("data.dat", std::string_view(reinterpret_cast<const char*>(data), size));
  fmtio::platform::MemoryStreams streams;
  streams.input = "data.dat\nrep.txt\n";
  fuzz::RunEngine(streams, [] { analysis::RunTruss(); });
  return 0;
}
