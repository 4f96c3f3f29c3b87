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

// The console report, keeping for every benchmark its wall time per iteration in seconds: of the
// "min" aggregate for a repeated benchmark, of its only run otherwise.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  explicit CollectingReporter(OutputOptions options) : ConsoleReporter(options) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "min") continue;
      seconds_[run.run_name.function_name] = run.real_accumulated_time / static_cast<double>(run.iterations);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Seconds per iteration of the benchmark `name`; -1 when it did not run.
  double Seconds(const std::string& name) const {
    const auto found = seconds_.find(name);
    return found == seconds_.end() ? -1.0 : found->second;
  }

  const std::map<std::string, double>& seconds() const { return seconds_; }

 private:
  std::map<std::string, double> seconds_;
};

// The time of `engine` over the time of `baseline`; -1 when either is missing.
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

void PrintSummary(const CollectingReporter& reporter) {
  const int records = RecordCount();
  std::printf("\nSummary (fastest of 3 repetitions; %d records per WRITE and READ pass)\n", records);
  const auto perRecord = [&](const char* name) {
    const double seconds = reporter.Seconds(name);
    return seconds < 0 ? -1.0 : seconds * 1e9 / records;
  };
  const auto pair = [&](const char* what, const char* engine, const char* baselineWhat, const char* baseline) {
    if (perRecord(engine) < 0 || perRecord(baseline) < 0) return;
    std::printf("  %s engine %.1f ns/record, %s %.1f ns/record\n", what, perRecord(engine), baselineWhat,
                perRecord(baseline));
  };
  pair("WRITE", kWriteEngine, "snprintf+fwrite", kWriteBaseline);
  pair("READ ", kReadEngine, "strtol+strtof", kReadBaseline);
  PrintTarget("WRITE engine / snprintf baseline", Ratio(reporter, kWriteEngine, kWriteBaseline), "", 0.7, "<=");
  PrintTarget("READ engine / strtol,strtof baseline", Ratio(reporter, kReadEngine, kReadBaseline), "", 1.5, "<=");
  const double process = reporter.Seconds(kAnalysisProcess);
  PrintTarget("whole truss process, 50 nodes", process < 0 ? -1.0 : process * 1e3, "ms", 3, "<");
  const double inProcess = reporter.Seconds(kAnalysisInProcess);
  PrintTarget("analysis in-process, 50 nodes", inProcess < 0 ? -1.0 : inProcess * 1e6, "us", 100, "<");

  std::vector<std::pair<double, std::string>> formats;  // ns per compilation, label
  const std::string prefix = kCompileFormatPrefix;
  for (const auto& [name, seconds] : reporter.seconds()) {
    if (name.compare(0, prefix.size(), prefix) == 0) formats.emplace_back(seconds * 1e9, name.substr(prefix.size()));
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
  return benchmark->Repetitions(3)->ComputeStatistics("min", Fastest)->DisplayAggregatesOnly(true);
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
