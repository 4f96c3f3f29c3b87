// READ: list-directed node records (4 integers, 6 reals) read from a file unit by the engine,
// and the same file parsed with strtol and strtof.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_suites.h"
#include "bench/bench_support.h"
#include "fmtio/edit_input.h"
#include "fmtio/fmtio.h"
#include "runtime/fp_traps.h"

namespace bench {
namespace {

constexpr int kDataUnit = 9;
constexpr char kNodeFile[] = "nodes.dat";

// One node record: N, IFIX(1..3), then XC, YC, ZC, FORCE(1..3).
struct NodeRecord {
  std::int32_t I[4];
  float R[6];
};

int recordCount = 0;

// A real in one of the shapes a user types: fixed point, with an exponent, shortest, integral
// with a point, or a plain zero.
std::string VariedReal(Random& random) {
  const double magnitude = static_cast<double>(random.Next() % 2000000) / 1000.0;
  const double value = random.Below(2) == 0 ? magnitude : -magnitude;
  char text[40];
  switch (random.Below(6)) {
    case 0: std::snprintf(text, sizeof text, "%.4f", value); break;
    case 1: std::snprintf(text, sizeof text, "%.6E", value * 1.0e-3); break;
    case 2: std::snprintf(text, sizeof text, "%g", value); break;
    case 3: std::snprintf(text, sizeof text, "%.0f.", value); break;
    case 4: std::snprintf(text, sizeof text, "%.2e", value * 1.0e5); break;
    default: std::snprintf(text, sizeof text, "0"); break;
  }
  return text;
}

// Writes the data file: node records with blanks, commas or both between the values.
void WriteNodeFile(int count) {
  static const char* const kSeparators[] = {" ", ", ", ",", "   "};
  Random random(19790101);
  std::ofstream out(kNodeFile, std::ios::binary);
  std::string line;
  for (int i = 0; i < count; ++i) {
    line.assign(random.Below(4) == 0 ? "  " : "");
    line += std::to_string(1 + i % 50);
    for (int j = 0; j < 3; ++j) {
      line += kSeparators[random.Below(4)];
      line += random.Below(3) == 0 ? "1" : "0";
    }
    for (int j = 0; j < 6; ++j) {
      line += kSeparators[random.Below(4)];
      line += VariedReal(random);
    }
    line += '\n';
    out << line;
  }
  if (!out) CheckFailed("cannot write the node file");
}

// READ(9,*) N, (IFIX(J),J=1,3), XC, YC, ZC, (FORCE(J),J=1,3), once per record; `keep` (when not
// null) receives every record, `last` the last one. With `armed` the floating-point traps are
// armed meanwhile, as the program runs.
void ReadWithEngine(std::vector<NodeRecord>* keep, NodeRecord& last, bool armed = false) {
  if (armed) runtime::ArmFloatingPointTraps();
  fmtio::OpenKeywords data;
  data.file = {kNodeFile};
  data.status = {"OLD"};
  fmtio::Open(kDataUnit, data);
  for (int n = 0; n < recordCount; ++n) {
    fmtio::BeginRead(kDataUnit, nullptr, 0);
    for (std::int32_t& value : last.I) fmtio::ReadItem(fmtio::kInteger4, &value, 4);
    for (float& value : last.R) fmtio::ReadItem(fmtio::kReal4, &value, 4);
    fmtio::EndRead();
    if (keep) keep->push_back(last);
  }
  fmtio::Close(kDataUnit);
  if (armed) runtime::DisarmFloatingPointTraps();
}

// The separators of the file: blanks and commas.
const char* SkipSeparators(const char* p) {
  while (*p == ' ' || *p == ',') ++p;
  return p;
}

bool ParseNodeLine(const char* line, NodeRecord& record) {
  const char* p = line;
  char* end = nullptr;
  for (std::int32_t& value : record.I) {
    p = SkipSeparators(p);
    value = static_cast<std::int32_t>(std::strtol(p, &end, 10));
    if (end == p) return false;
    p = end;
  }
  for (float& value : record.R) {
    p = SkipSeparators(p);
    value = std::strtof(p, &end);
    if (end == p) return false;
    p = end;
  }
  return true;
}

// Returns the number of records parsed.
int ReadWithBaseline(std::vector<NodeRecord>* keep, NodeRecord& last) {
  std::FILE* file = std::fopen(kNodeFile, "rb");
  if (!file) CheckFailed("cannot open the node file");
  char line[256];
  int count = 0;
  while (std::fgets(line, sizeof line, file)) {
    if (!ParseNodeLine(line, last)) break;
    ++count;
    if (keep) keep->push_back(last);
  }
  std::fclose(file);
  return count;
}

std::string Describe(const NodeRecord& r) {
  std::string text;
  char item[40];
  for (const std::int32_t value : r.I) text += std::to_string(value) + " ";
  for (const float value : r.R) {
    std::snprintf(item, sizeof item, "%.9g(%08x) ", static_cast<double>(value), std::bit_cast<std::uint32_t>(value));
    text += item;
  }
  return text;
}

// Every real of the file converted by the engine's conversion and by its general way: the same
// bits and the same error.
void CheckAgainstGeneralConversion() {
  const std::string file = ReadWholeFile(kNodeFile);
  std::size_t at = 0;
  int field = 0;
  while (at < file.size()) {
    const std::size_t end = file.find_first_of(" ,\n", at);
    const std::size_t length = (end == std::string::npos ? file.size() : end) - at;
    if (length > 0) {
      if (field % 10 >= 4) {
        const char* text = file.data() + at;
        double quick = 0, general = 0;
        const int quickError = fmtio::ConvertReal(text, static_cast<int>(length), 0, 0, fmtio::kReal4, quick);
        const int generalError = fmtio::ConvertRealGeneral(text, static_cast<int>(length), 0, 0, fmtio::kReal4, general);
        if (quickError != generalError || std::bit_cast<std::uint64_t>(quick) != std::bit_cast<std::uint64_t>(general)) {
          CheckFailed("READ: \"" + std::string(text, length) + "\" converts otherwise than by the general way");
        }
      }
      ++field;
    }
    at += length + 1;
  }
  if (field != 10 * recordCount) CheckFailed("READ: the node file does not hold 10 values per record");
}

void CheckRead() {
  CheckAgainstGeneralConversion();
  std::vector<NodeRecord> engine, baseline;
  engine.reserve(static_cast<std::size_t>(recordCount));
  baseline.reserve(static_cast<std::size_t>(recordCount));
  NodeRecord last{};
  {
    EngineRun run;
    try {
      ReadWithEngine(&engine, last, true);
    } catch (const runtime::RunEnded&) {
      CheckFailed("READ: the engine ended the run: " + run.streams.err);
    }
  }
  if (ReadWithBaseline(&baseline, last) != recordCount) CheckFailed("READ: the baseline could not parse every record");
  for (std::size_t n = 0; n < engine.size(); ++n) {
    const NodeRecord& a = engine[n];
    const NodeRecord& b = baseline[n];
    bool same = true;
    for (int j = 0; j < 4; ++j) same = same && a.I[j] == b.I[j];
    for (int j = 0; j < 6; ++j) {
      same = same && std::bit_cast<std::uint32_t>(a.R[j]) == std::bit_cast<std::uint32_t>(b.R[j]);
    }
    if (!same) {
      CheckFailed("READ: record " + std::to_string(n + 1) + " differs\n  baseline: " + Describe(b) +
                  "\n  engine:   " + Describe(a));
    }
  }
}

void ReadEngine(benchmark::State& state, bool armed) {
  EngineRun run;
  NodeRecord last{};
  try {
    for (auto _ : state) {
      ReadWithEngine(nullptr, last, armed);
      benchmark::DoNotOptimize(last);
    }
  } catch (const runtime::RunEnded&) {
    state.SkipWithError(("the engine ended the run: " + run.streams.err).c_str());
  }
  state.SetItemsProcessed(state.iterations() * recordCount);
}

void ReadBaseline(benchmark::State& state) {
  NodeRecord last{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadWithBaseline(nullptr, last));
    benchmark::DoNotOptimize(last);
  }
  state.SetItemsProcessed(state.iterations() * recordCount);
}

}  // namespace

void RegisterReadBenchmarks() {
  recordCount = RecordCount();
  WriteNodeFile(recordCount);
  CheckRead();
  Repeated(benchmark::RegisterBenchmark(kReadEngine, ReadEngine, true))->Unit(benchmark::kMillisecond)->Iterations(1);
  Repeated(benchmark::RegisterBenchmark(kReadEngineUnarmed, ReadEngine, false))
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  Repeated(benchmark::RegisterBenchmark(kReadBaseline, ReadBaseline))->Unit(benchmark::kMillisecond)->Iterations(1);
}

}  // namespace bench
