// The fixture of the engine's tests: each test runs in a fresh folder with the standard streams in
// memory, one run of the engine at a time, started for it and started anew when it needs one.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "fmtio/platform.h"
#include "fmtio/units.h"
#include "fmtio/write_statement.h"
#include "runtime/fp_traps.h"
#include "runtime/run_time_error.h"
#include "runtime/termination.h"

namespace fmtio {

// The bytes of a file, or none when it is missing.
inline std::string FileBytes(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

inline void WriteFile(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

// Bytes quoted for a failure message, line ends and unprintable bytes escaped.
inline std::string Shown(const std::string& bytes) {
  std::string text = "\"";
  for (unsigned char c : bytes) {
    char escape[8];
    std::snprintf(escape, sizeof escape,
                  c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\f' ? "\\f" : c >= 32 && c < 127 ? "%c" : "\\x%02X", c);
    text += escape;
  }
  return text + "\"";
}

// Keywords given by name leave the others empty, as intended: gcc 12 warns wrongly on that.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// OPEN(unit, FILE=file[, STATUS=status]); the status with the error branch.
inline int OpenFile(int unit, const char* file, const char* status = nullptr, int options = kErrorBranch) {
  return Open(unit, {.file = {file}, .status = {status}}, options);
}

// WRITE(unit, format[, ADVANCE=advance]) with no items; the status with the error branch.
inline int WriteText(int unit, const char* format, int options = kErrorBranch, const char* advance = nullptr) {
  BeginWrite(unit, format, -1, advance, advance ? static_cast<int>(std::string(advance).size()) : 0, options);
  return EndWrite();
}

// The fatal report of error `number`, headed "run-time error <head>".
inline std::string Report(const std::string& head, int number) {
  return "\r\nrun-time error " + head + "\r\n- " + runtime::ErrorMessage(number) + "\r\n";
}

class EngineRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/truss-engine-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    StartRun();
  }

  void TearDown() override {
    EndRun();
    platform::UseMemoryStreams(nullptr);
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Ends the run in progress, then starts a new one whose standard input holds `input` (a terminal
  // or piped, arriving in blocks of at most `blockLimit` bytes) with `arguments` after the
  // program's name on its command line.
  void StartRun(const std::string& input = "", bool interactive = false, std::vector<std::string> arguments = {},
                std::size_t blockLimit = 0) {
    EndRun();
    streams_ = {.input = input, .blockLimit = blockLimit, .interactive = interactive};
    platform::UseMemoryStreams(&streams_);
    arguments_ = {"truss"};
    arguments_.insert(arguments_.end(), arguments.begin(), arguments.end());
    argv_.clear();
    for (std::string& argument : arguments_) argv_.push_back(argument.data());
    argv_.push_back(nullptr);
    Start(static_cast<int>(arguments_.size()), argv_.data());
    runtime::DisarmFloatingPointTraps();
    ended_ = false;
    exitCode_ = 0;
  }

  // The end of the run: every unit written out and closed, once. Returns the exit code.
  int EndRun() {
    if (!ended_) {
      ended_ = true;
      exitCode_ = runtime::Finish(exitCode_);
    }
    return exitCode_;
  }

  // Runs statements that may end the run; the exit code of an ended run is kept for EndRun.
  template <class Statements>
  void Run(Statements statements) {
    try {
      statements();
    } catch (const runtime::RunEnded& end) {
      exitCode_ = end.exitCode;
    }
  }

  // A whole run of its own over `statements`, as a harness makes one; returns its exit code.
  template <class Statements>
  int RunAlone(Statements statements) {
    StartRun();
    Run(statements);
    return EndRun();
  }

  std::filesystem::path folder_, previous_;
  platform::MemoryStreams streams_;
  std::vector<std::string> arguments_;
  std::vector<char*> argv_;
  bool ended_ = true;
  int exitCode_ = 0;
};

}  // namespace fmtio
