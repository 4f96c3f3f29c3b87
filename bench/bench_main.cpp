// The benchmark program: prepares every suite in a scratch folder (each checks its results once),
// runs the benchmarks and ends with the figures against their targets.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_suites.h"
#include "bench/bench_support.h"

namespace bench {
namespace {

double Fastest(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }
double Slowest(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

// A benchmark's time per iteration in seconds over its repetitions.
struct Spread {
  double min = -1;
  double median = -1;
  double max = -1;
};

// The console report, keeping for every benchmark the "min", "median" and "max" aggregates of its
// time per iteration in seconds.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  explicit CollectingReporter(OutputOptions options) : ConsoleReporter(options) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0 || run.run_type != Run::RT_Aggregate) continue;
      // Subtle: on a busy machine the wall time of an in-process benchmark mostly measures the
      // other work; its own processor time is the steadier figure. A started process is timed by
      // the wall clock, the only clock that sees it.
      const bool wall = run.run_name.time_type == "real_time";
      const double seconds =
          (wall ? run.real_accumulated_time : run.cpu_accumulated_time) / static_cast<double>(run.iterations);
      Spread& spread = spreads_[run.run_name.function_name];
      if (run.aggregate_name == "min") spread.min = seconds;
      if (run.aggregate_name == "median") spread.median = seconds;
      if (run.aggregate_name == "max") spread.max = seconds;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // The spread of the benchmark `name`; all -1 when it did not run.
  Spread Of(const std::string& name) const {
    const auto found = spreads_.find(name);
    return found == spreads_.end() ? Spread{} : found->second;
  }

  // Median seconds per iteration of the benchmark `name`; -1 when it did not run.
  double Seconds(const std::string& name) const { return Of(name).median; }

  const std::map<std::string, Spread>& spreads() const { return spreads_; }

 private:
  std::map<std::string, Spread> spreads_;
};

// The median time of `engine` over the median time of `baseline`; -1 when either is missing.
double Ratio(const CollectingReporter& reporter, const char* engine, const char* baseline) {
  const double a = reporter.Seconds(engine);
  const double b = reporter.Seconds(baseline);
  return a < 0 || b <= 0 ? -1.0 : a / b;
}

// One figure against its target; `comparison` is "<" or "<=".
void PrintTarget(const char* what, double value, const char* unit, double target, const char* comparison) {
  if (value < 0) {
    std::printf("  %-38s not measured\n", what);
    return;
  }
  const bool met = comparison[0] == '<' && comparison[1] == '=' ? value <= target : value < target;
  std::printf("  %-38s %9.3f %-3s (target %s %g)  %s\n", what, value, unit, comparison, target, met ? "met" : "MISSED");
}

// The machine's noise on one benchmark: its fastest and slowest repetition against its median.
void PrintNoise(const CollectingReporter& reporter, const char* name, double scale, const char* unit) {
  const Spread spread = reporter.Of(name);
  if (spread.median <= 0) return;
  std::printf("    %-34s min %9.3f  median %9.3f  max %9.3f %s  (%+.0f%% .. %+.0f%%)\n", name, spread.min * scale,
              spread.median * scale, spread.max * scale, unit, (spread.min / spread.median - 1) * 100,
              (spread.max / spread.median - 1) * 100);
}

void PrintSummary(const CollectingReporter& reporter) {
  const int records = RecordCount();
  std::printf("\nSummary (medians of %d repetitions; %d records per WRITE and READ pass; processor time in-process,\n"
              "wall time for started processes)\n",
              kRepetitions, records);
  PrintTarget("WRITE engine / snprintf baseline", Ratio(reporter, kWriteEngine, kWriteBaseline), "", 1.0, "<=");
  PrintTarget("READ engine, traps armed / baseline", Ratio(reporter, kReadEngine, kReadBaseline), "", 1.5, "<=");
  PrintTarget("READ engine, traps masked / baseline", Ratio(reporter, kReadEngineUnarmed, kReadBaseline), "", 1.5,
              "<=");
  PrintTarget("truss process / empty C++ process", Ratio(reporter, kAnalysisProcess, kEmptyProcess), "", 2.5, "<=");
  std::printf("  The machine's noise, per record (ns) or per run (us), over the repetitions:\n");
  const double perRecord = 1e9 / records;
  for (const char* name : {kWriteEngine, kWriteBaseline, kReadEngine, kReadEngineUnarmed, kReadBaseline}) {
    PrintNoise(reporter, name, perRecord, "ns");
  }
  for (const char* name : {kAnalysisProcess, kEmptyProcess, kAnalysisInProcess, kAnalysisLargest}) PrintNoise(reporter, name, 1e6, "us");

  std::vector<std::pair<double, std::string>> formats;  // ns per compilation, label
  const std::string prefix = kCompileFormatPrefix;
  for (const auto& [name, spread] : reporter.spreads()) {
    if (name.compare(0, prefix.size(), prefix) == 0) formats.emplace_back(spread.median * 1e9, name.substr(prefix.size()));
  }
  if (formats.empty()) return;
  std::sort(formats.begin(), formats.end());
  double sum = 0;
  for (const auto& format : formats) sum += format.first;
  std::printf("  CompileFormat of %zu program formats: %.0f to %.0f ns, mean %.0f ns\n", formats.size(),
              formats.front().first, formats.back().first, sum / static_cast<double>(formats.size()));
  for (const auto& [ns, label] : formats) {
    const std::string* text = FormatTextOf(label);
    std::string shown = text ? *text : std::string("?");
    if (shown.size() > 72) shown = shown.substr(0, 69) + "...";
    std::printf("    %7.0f ns  %-18s %s\n", ns, label.c_str(), shown.c_str());
  }
}

}  // namespace

benchmark::internal::Benchmark* Repeated(benchmark::internal::Benchmark* benchmark) {
  return benchmark->Repetitions(kRepetitions)
      ->ComputeStatistics("min", Fastest)
      ->ComputeStatistics("max", Slowest)
      ->DisplayAggregatesOnly(true);
}

}  // namespace bench

int main(int argc, char** argv) {
  // The repetitions of the benchmarks run interleaved in random order, so that a burst of load
  // from elsewhere on the machine spreads over all of them instead of spoiling one.
  char interleaved[] = "--benchmark_enable_random_interleaving=true";
  std::vector<char*> arguments(argv, argv + argc);
  arguments.insert(arguments.begin() + 1, interleaved);
  int count = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;
  try {
    const bench::ScratchFolder folder;
    bench::RegisterFormatBenchmarks();
    bench::RegisterWriteBenchmarks();
    bench::RegisterReadBenchmarks();
    bench::RegisterAnalysisBenchmarks();
    bench::CollectingReporter reporter(::isatty(1) ? benchmark::ConsoleReporter::OO_Defaults
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bench::PrintSummary(reporter);
  } catch (const bench::CheckFailure& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "truss_bench: check failed: %s\n", failure.what.c_str());
    return 1;
  }
  benchmark::Shutdown();
  return 0;
}
