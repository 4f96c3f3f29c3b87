// The fixture of the engine's tests: each test runs in a fresh folder with the standard streams in
// memory, one run of the engine at a time, and may start a new run when it needs one.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fmtio/platform.h"
#include "fmtio/units.h"
#include "runtime/fp_traps.h"
#include "runtime/termination.h"

namespace fmtio {

class EngineRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/truss-engine-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
  }

  void TearDown() override {
    EndRun();
    platform::UseMemoryStreams(nullptr);
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(folder_, ignored);
  }

  // Ends the run in progress, then starts a new one over `streams` (input, interactive flag,
  // block limit) with `arguments` after the program's name on its command line.
  void StartEngine(platform::MemoryStreams streams, std::vector<std::string> arguments = {}) {
    EndRun();
    streams_ = std::move(streams);
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

  std::filesystem::path folder_, previous_;
  platform::MemoryStreams streams_;
  std::vector<std::string> arguments_;
  std::vector<char*> argv_;
  bool ended_ = true;
  int exitCode_ = 0;
};

}  // namespace fmtio
