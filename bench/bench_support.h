// Shared pieces of the benchmarks: the suite's scratch folder, one run of the engine with the
// standard streams in memory, the record count, and the checks that stop a wrong benchmark.
#pragma once

#include <string>

#include "fmtio/platform.h"

namespace bench {

// Records written or read by one pass of the WRITE and READ benchmarks: 10^6, or the value of
// the environment variable TRUSS_BENCH_RECORDS (for profiling runs).
int RecordCount();

// A fresh folder under the temporary folder, made the current folder for its lifetime and
// removed with everything in it afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

 private:
  std::string path_;
  std::string previous_;
};

// One run of the engine from Start to Finish, the standard streams in memory with `input` as
// standard input. The traps that Start arms are masked again: the benchmark harness does its
// own floating-point arithmetic.
class EngineRun {
 public:
  explicit EngineRun(std::string input = {});
  ~EngineRun();
  EngineRun(const EngineRun&) = delete;
  EngineRun& operator=(const EngineRun&) = delete;

  // Runs the end-of-run closing (once) and returns the exit code: `exitCode`, or 1 when the
  // closing reported an error.
  int Finish(int exitCode = 0);

  fmtio::platform::MemoryStreams streams;

 private:
  bool finished_ = false;
};

// A check that failed: the benchmark would measure a wrong result. Caught by main, which reports
// it and ends with status 1.
struct CheckFailure {
  std::string what;
};

// Throws a CheckFailure with the message.
[[noreturn]] void CheckFailed(const std::string& what);

// The whole contents of a file ("" when it cannot be read).
std::string ReadWholeFile(const std::string& name);

// Removes a file if it exists.
void RemoveFile(const std::string& name);

}  // namespace bench
