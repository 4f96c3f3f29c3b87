// The whole analysis of a 50-node, 50-member model with the widest band: one run of the driver
// in-process with the report and the plot file on disk, and the truss program started as a
// process with its answers piped to it; and in-process the largest model, the 99-node,
// 99-member canopy of the examples, whose band holds all 297 equations.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <utility>

#include "analysis/driver.h"
#include "bench/bench_suites.h"
#include "bench/bench_support.h"
#include "fmtio/fmtio.h"

extern char** environ;

namespace bench {
namespace {

constexpr char kModelFile[] = "tower.dat";
constexpr char kReportFile[] = "tower.out";
constexpr char kPlotFile[] = "TRUSS.GRP";
constexpr char kAnswers[] = "tower.dat\ntower.out\n";
constexpr char kLargestFile[] = "canopy.dat";
constexpr char kLargestReport[] = "canopy.out";
constexpr char kLargestAnswers[] = "canopy.dat\ncanopy.out\n";
constexpr char kStopText[] = "Stop - Program terminated.\r\n";

constexpr int kFreeNodes = 16;   // nodes 1 to 16, each held by a tripod of three members
constexpr int kNodes = 50;       // nodes 17 to 50 fixed in all three directions
constexpr int kGroundNodes = kNodes - kFreeNodes;

// The model: sixteen free nodes on a circle of radius 5 at height 10, each joined to three fixed
// nodes spread a third of the way round a circle of radius 20 on the ground, so every free node
// stands on a tripod of legs that do not lie in one plane; two members join free nodes. The
// first leg of node 1 goes to node 50: MUD = 3 x 49 + 2 = 149, the widest band of 150
// equations.
std::string ModelText() {
  std::string text = "BENCHMARK TOWER: 16 TRIPODS ON 34 SUPPORTS, WIDEST BAND\n";
  text += "50 50\n";
  char line[160];
  for (int K = 1; K <= kNodes; ++K) {
    const bool free = K <= kFreeNodes;
    const int place = free ? K - 1 : K - kFreeNodes - 1;
    const double angle = 2.0 * std::numbers::pi * place / (free ? kFreeNodes : kGroundNodes);
    const double radius = free ? 5.0 : 20.0;
    const int fix = free ? 0 : 1;
    std::snprintf(line, sizeof line, "%d %d %d %d %.4f %.4f %.4f %.1f %.1f %.1f\n", K, fix, fix, fix,
                  radius * std::cos(angle), radius * std::sin(angle), free ? 10.0 : 0.0,
                  free ? 10.0 * K : 0.0, free ? -5.0 * K : 0.0, free ? -100.0 : 0.0);
    text += line;
  }
  int M = 0;
  const auto member = [&](int from, int to) {
    ++M;
    std::snprintf(line, sizeof line, "%d, %d, %d, 3.0E+04, %.2f\n", M, from, to, 1.5 + 0.01 * M);
    text += line;
  };
  for (int K = 1; K <= kFreeNodes; ++K) {
    const int first = (2 * K - 3 + kGroundNodes) % kGroundNodes;
    for (int leg = 0; leg < 3; ++leg) member(K, kFreeNodes + 1 + (first + 11 * leg) % kGroundNodes);
  }
  member(1, 2);
  member(15, 16);
  return text;
}

void RemoveOutputs() {
  RemoveFile(kReportFile);
  RemoveFile(kLargestReport);
  RemoveFile(kPlotFile);
}

// One run of the program in-process with the console `answers`, as its main does it. Returns the
// exit code; `console` (when not null) receives standard output and standard error.
int RunInProcess(const char* answers, std::string* console) {
  EngineRun run(answers);
  int exitCode = 0;
  try {
    try {
      analysis::RunTruss();
    } catch (const runtime::RunTimeError& error) {
      runtime::Fatal(error);
    }
  } catch (const runtime::RunEnded& end) {
    exitCode = end.exitCode;
  }
  exitCode = run.Finish(exitCode);
  if (console) *console = run.streams.out + run.streams.err;
  return exitCode;
}

// Starts `program` (the truss program, or the empty one) in the current folder with the answers on a pipe as its standard
// input and its standard output and error sent to `out` and `err`; waits for it to end and
// returns its exit status (-1 when it did not exit).
int RunProcess(const char* program, const char* out, const char* err) {
  int answers[2];
  if (::pipe(answers) != 0) CheckFailed("cannot make a pipe");
  // The answers are far shorter than a pipe holds, so they are written before the start.
  if (::write(answers[1], kAnswers, sizeof kAnswers - 1) != static_cast<ssize_t>(sizeof kAnswers - 1)) {
    CheckFailed("cannot write the answers");
  }
  ::close(answers[1]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, answers[0], 0);
  posix_spawn_file_actions_addclose(&actions, answers[0]);
  posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char* argv[] = {const_cast<char*>(program), nullptr};
  pid_t child = 0;
  const int started = posix_spawn(&child, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(answers[0]);
  if (started != 0) CheckFailed(std::string("cannot start ") + program);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) CheckFailed("cannot wait for the program");
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Require(bool holds, const std::string& what) {
  if (!holds) CheckFailed("analysis: " + what);
}

int CountLines(const std::string& text) {
  int lines = 0;
  for (const char c : text) lines += c == '\n';
  return lines;
}

// The solution must succeed: a stable model, a full report with its results, and the same files
// from the process as from the in-process run.
void CheckAnalysis() {
  RemoveOutputs();
  std::string console;
  Require(RunInProcess(kAnswers, &console) == 0, "the in-process run did not end normally:\n" + console);
  Require(console.ends_with(kStopText), "the in-process run did not stop normally:\n" + console);
  const std::string report = ReadWholeFile(kReportFile);
  const std::string plot = ReadWholeFile(kPlotFile);
  Require(report.find("NUMBER OF NONZERO UPPER CO-DIAGONALS(MUD)=149\r\n") != std::string::npos,
          "the report does not show MUD = 149");
  Require(report.find("SOLUTION FAILED") == std::string::npos, "the solution failed");
  Require(report.find("WARNING") == std::string::npos, "the solution lost significance");
  Require(report.find("STRESSES IN ELEMENTS") != std::string::npos, "the report has no stresses");
  Require(CountLines(plot) == 2 + 2 * kNodes + 2 * 50, "the plot file does not have 202 records");
  const std::size_t displacements = plot.find("\r\n   1 ", plot.find("\r\n 50 "));
  Require(displacements != std::string::npos &&
              plot.compare(displacements + 2, 54, "   1       .0000E+00       .0000E+00       .0000E+00\r\n") != 0,
          "node 1 did not move");

  RemoveOutputs();
  Require(RunProcess(TRUSS_BINARY, "process.out", "process.err") == 0,
          "the process did not end normally:\n" + ReadWholeFile("process.out") + ReadWholeFile("process.err"));
  Require(ReadWholeFile("process.out").ends_with(kStopText), "the process did not stop normally");
  Require(ReadWholeFile(kReportFile) == report, "the process wrote another report than the in-process run");
  Require(ReadWholeFile(kPlotFile) == plot, "the process wrote another plot file than the in-process run");

  RemoveOutputs();
  Require(RunInProcess(kLargestAnswers, &console) == 0, "the largest model did not end normally:\n" + console);
  const std::string largest = ReadWholeFile(kLargestReport);
  Require(largest.find("(MUD)=296\r\n") != std::string::npos, "the largest model's band is not MUD = 296");
  Require(largest.find("WARNING") == std::string::npos, "the largest model lost significance");
  Require(CountLines(ReadWholeFile(kPlotFile)) == 2 + 4 * 99, "the largest model's plot file does not have 398 records");
}

void AnalysisInProcess(benchmark::State& state, const char* answers) {
  int failed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    RemoveOutputs();
    state.ResumeTiming();
    failed += RunInProcess(answers, nullptr) != 0;
  }
  if (failed != 0) state.SkipWithError("a run did not end normally");
}

void AnalysisProcess(benchmark::State& state, const char* program) {
  int failed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    RemoveOutputs();
    state.ResumeTiming();
    failed += RunProcess(program, "/dev/null", "/dev/null") != 0;
  }
  if (failed != 0) state.SkipWithError("a run did not end normally");
}

}  // namespace

void RegisterAnalysisBenchmarks() {
  {
    std::ofstream model(kModelFile, std::ios::binary);
    model << ModelText();
    if (!model) CheckFailed("cannot write the model");
    std::ofstream largest(kLargestFile, std::ios::binary);
    largest << ReadWholeFile(TRUSS_SOURCE_DIR "/examples/canopy.dat");
    if (!largest) CheckFailed("cannot write the largest model");
  }
  CheckAnalysis();
  for (const auto& [name, answers] : {std::pair{kAnalysisInProcess, kAnswers}, std::pair{kAnalysisLargest, kLargestAnswers}}) {
    Repeated(benchmark::RegisterBenchmark(name, AnalysisInProcess, answers))->Unit(benchmark::kMicrosecond)->MinTime(0.5);
  }
  for (const auto& [name, program] : {std::pair{kAnalysisProcess, TRUSS_BINARY}, std::pair{kEmptyProcess, EMPTY_BINARY}}) {
    Repeated(benchmark::RegisterBenchmark(name, AnalysisProcess, program))
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5)
        ->UseRealTime();
  }
}

}  // namespace bench
