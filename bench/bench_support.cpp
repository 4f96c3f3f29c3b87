#include "bench/bench_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "fmtio/units.h"
#include "runtime/fp_traps.h"
#include "runtime/termination.h"

namespace bench {

int RecordCount() {
  if (const char* text = std::getenv("TRUSS_BENCH_RECORDS")) {
    const long value = std::strtol(text, nullptr, 10);
    if (value > 0 && value <= 100000000) return static_cast<int>(value);
  }
  return 1000000;
}

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "truss-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) CheckFailed("cannot create a scratch folder");
  path_ = pattern;
  previous_ = std::filesystem::current_path().string();
  std::filesystem::current_path(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(path_, ignored);
}

EngineRun::EngineRun(std::string input) {
  streams.input = std::move(input);
  fmtio::platform::UseMemoryStreams(&streams);
  char name[] = "truss_bench";
  char* argv[] = {name, nullptr};
  fmtio::Start(1, argv);
  runtime::DisarmFloatingPointTraps();
}

EngineRun::~EngineRun() {
  Finish();
  fmtio::platform::UseMemoryStreams(nullptr);
}

int EngineRun::Finish(int exitCode) {
  if (finished_) return exitCode;
  finished_ = true;
  return runtime::Finish(exitCode);
}

void CheckFailed(const std::string& what) { throw CheckFailure{what}; }

std::string ReadWholeFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveFile(const std::string& name) { ::unlink(name.c_str()); }

}  // namespace bench
