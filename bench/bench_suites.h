// The benchmark suites. Each Register function prepares its data in the current (scratch)
// folder, checks once that the engine and the baseline agree, and registers its benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace bench {

// Names of the benchmarks that the summary compares.
inline constexpr char kWriteEngine[] = "Write/Engine";
inline constexpr char kWriteBaseline[] = "Write/Snprintf";
inline constexpr char kReadEngine[] = "Read/EngineTrapsArmed";
inline constexpr char kReadEngineUnarmed[] = "Read/EngineTrapsMasked";
inline constexpr char kReadBaseline[] = "Read/Strtof";
inline constexpr char kAnalysisInProcess[] = "Analysis/InProcess";
inline constexpr char kAnalysisLargest[] = "Analysis/InProcess99Nodes";
inline constexpr char kAnalysisProcess[] = "Analysis/Process";
inline constexpr char kEmptyProcess[] = "Analysis/EmptyProcess";
inline constexpr char kCompileFormatPrefix[] = "CompileFormat/";

// The repetitions of every benchmark.
inline constexpr int kRepetitions = 5;

// Repeats a benchmark kRepetitions times and adds the aggregates "min" and "max" to the median:
// the summary compares medians and shows the spread as the machine's noise.
benchmark::internal::Benchmark* Repeated(benchmark::internal::Benchmark* benchmark);

// WRITE of the plot file's displacement record, the engine against snprintf and fwrite.
void RegisterWriteBenchmarks();

// List-directed READ of node records, the engine against strtol and strtof.
void RegisterReadBenchmarks();

// CompileFormat of each format text of the program.
void RegisterFormatBenchmarks();

// The format text benchmarked as kCompileFormatPrefix + `label`; null when there is none.
const std::string* FormatTextOf(const std::string& label);

// The whole analysis of the 50-node model with the widest band, in-process and as a process, an
// empty C++ program started the same way, and the 99-node model in-process.
void RegisterAnalysisBenchmarks();

// A deterministic source of varied values (SplitMix64), the same in every run.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  // The next 64 random bits.
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // A number from 0 to n - 1.
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

}  // namespace bench
