// WRITE: the plot file's displacement record written to a file unit by the engine, and the same
// bytes made by snprintf with the editing fix-ups and written by fwrite.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_suites.h"
#include "bench/bench_support.h"
#include "fmtio/decimal_digits.h"
#include "fmtio/fmtio.h"

namespace bench {
namespace {

constexpr char kDisplacementFormat[] = "(1X,I3,3(' ',E15.4))";
constexpr int kPlotUnit = 10;
constexpr char kEngineFile[] = "write_engine.txt";
constexpr char kBaselineFile[] = "write_baseline.txt";

// One displacement record: the node number and its three displacements.
struct Displacements {
  int K;
  float D[3];
};

std::vector<Displacements> records;

// Subtle: the values have an odd significand and a magnitude below 2^23, so the exact decimal
// form of each has nine or more significant digits and ends in 5. Rounding to four digits then
// never meets a tie, and the engine's rounding (half up on the 17-digit form) and snprintf's
// (the exact value, ties to even) give the same digits. A tie such as 1.0625 would differ.
float VariedValue(Random& random) {
  if (random.Below(50) == 0) return random.Below(2) == 0 ? 0.0f : -0.0f;
  const std::uint32_t sign = random.Below(2) == 0 ? 0u : 0x80000000u;
  const std::uint32_t biasedExponent = static_cast<std::uint32_t>(127 - 40 + random.Below(62));  // 2^-40 .. 2^21
  const std::uint32_t significand = (static_cast<std::uint32_t>(random.Next()) & 0x7FFFFFu) | 1u;
  return std::bit_cast<float>(sign | biasedExponent << 23 | significand);
}

std::vector<Displacements> VariedRecords(int count) {
  Random random(20240617);
  std::vector<Displacements> made(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    Displacements& r = made[static_cast<std::size_t>(i)];
    r.K = random.Below(20) == 0 ? -random.Below(99) - 1 : 1 + i % 999;
    for (float& d : r.D) d = VariedValue(random);
  }
  return made;
}

// The engine's WRITE of each record, by its item calls or by the typed call.
void WriteWithEngine(const std::vector<Displacements>& list, const char* fileName, bool typed = false) {
  fmtio::OpenKeywords plot;
  plot.file = {fileName};
  plot.status = {"REPLACE"};
  fmtio::Open(kPlotUnit, plot);
  for (const Displacements& r : list) {  // WRITE(10,'(1X,I3,3('' '',E15.4))') K, (D(J),J=1,3)
    if (typed) {
      fmtio::Write(kPlotUnit, kDisplacementFormat, r.K, r.D[0], r.D[1], r.D[2]);
      continue;
    }
    fmtio::BeginWrite(kPlotUnit, kDisplacementFormat, -1);
    fmtio::WriteItem(r.K);
    for (const float d : r.D) fmtio::WriteItem(d);
    fmtio::EndWrite();
  }
  fmtio::Close(kPlotUnit);
}

// The engine's E15.4 from snprintf's "%.3E" ([-]d.dddE±xx): the four digits after the point and
// the exponent one higher, no leading zero, right-justified; zero has exponent 0 and no sign.
char* PutE154(char* out, float value) {
  if (value == 0.0f) {
    std::memcpy(out, "      .0000E+00", 15);
    return out + 15;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.3E", static_cast<double>(value));
  const bool negative = text[0] == '-';
  const char* mantissa = text + (negative ? 1 : 0);
  const int exponent = std::atoi(mantissa + 6) + 1;
  const int blanks = negative ? 5 : 6;
  std::memset(out, ' ', static_cast<std::size_t>(blanks));
  char* p = out + blanks;
  if (negative) *p++ = '-';
  *p++ = '.';
  *p++ = mantissa[0];
  std::memcpy(p, mantissa + 2, 3);
  p += 3;
  *p++ = 'E';
  *p++ = exponent < 0 ? '-' : '+';
  const int magnitude = std::abs(exponent);
  *p++ = static_cast<char>('0' + magnitude / 10);
  *p++ = static_cast<char>('0' + magnitude % 10);
  return p;
}

// The record with its line end; returns its length.
int FormatRecord(const Displacements& r, char* out) {
  char* p = out + std::snprintf(out, 8, "%4d", r.K);
  for (const float d : r.D) {
    *p++ = ' ';
    p = PutE154(p, d);
  }
  *p++ = '\r';
  *p++ = '\n';
  return static_cast<int>(p - out);
}

void WriteWithBaseline(const std::vector<Displacements>& list, const char* fileName) {
  std::FILE* file = std::fopen(fileName, "wb");
  if (!file) CheckFailed(std::string("cannot create ") + fileName);
  char record[80];
  for (const Displacements& r : list) {
    const int length = FormatRecord(r, record);
    std::fwrite(record, 1, static_cast<std::size_t>(length), file);
  }
  std::fclose(file);
}

// Runs the engine's statements; a run that ended (a fatal error) is a failed check.
template <class Statements>
void RunEngine(const char* what, Statements statements) {
  EngineRun run;
  try {
    statements();
  } catch (const runtime::RunEnded&) {
    CheckFailed(std::string(what) + ": the engine ended the run: " + run.streams.err);
  }
  if (run.Finish() != 0) CheckFailed(std::string(what) + ": the closing failed: " + run.streams.err);
}

// The line (without its line end) that starts at `offset`.
std::string LineAt(const std::string& text, std::size_t offset) {
  const std::size_t end = text.find('\r', offset);
  return text.substr(offset, end == std::string::npos ? std::string::npos : end - offset);
}

void CheckSameBytes(const char* what, const std::string& expected, const std::string& actual) {
  if (expected == actual) return;
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const std::size_t start = expected.rfind('\n', at == 0 ? 0 : at - 1);
  const std::size_t line = start == std::string::npos || at == 0 ? 0 : start + 1;
  CheckFailed(std::string(what) + ": bytes differ at offset " + std::to_string(at) + "\n  expected: \"" +
              LineAt(expected, line) + "\"\n  actual:   \"" + LineAt(actual, line) + "\"");
}

// Records derived by hand from the E editing rules: no zero before the point, four digits
// rounded half up, the exponent one above the power of ten of the leading digit.
struct HandRecord {
  Displacements values;
  const char* expected;
  bool tie;  // a rounding tie: the baseline rounds it to even, so only the engine is checked
};

const HandRecord kHandRecords[] = {
    {{7, {123.456f, -0.5f, 0.0f}}, "   7       .1235E+03      -.5000E+00       .0000E+00", false},
    {{999, {9.99996f, -0.0f, 1.0e-20f}}, " 999       .1000E+02       .0000E+00       .1000E-19", false},
    {{-42, {-3.0e6f, 0.000123456f, 65535.5f}}, " -42      -.3000E+07       .1235E-03       .6554E+05", false},
    {{1, {1.0625f, -2.5f, 1.0e10f}}, "   1       .1063E+01      -.2500E+01       .1000E+11", true},
};

// Every value of the records: its shortest digits, which the engine edits from where they can
// decide the rounding, round as its exact digits do to every number of digits they can decide.
void CheckAgainstExactDigits() {
  for (const Displacements& r : records) {
    for (const float d : r.D) {
      const fmtio::DecimalDigits shortest = fmtio::ShortestDigitsOfReal4(std::bit_cast<std::uint32_t>(d));
      const fmtio::DecimalDigits exact = fmtio::DecimalDigitsOfReal4(std::bit_cast<std::uint32_t>(d));
      for (int n = 0; n + 1 < shortest.count; ++n) {
        fmtio::DecimalDigits quick = shortest, slow = exact;
        const bool carry = fmtio::RoundDigits(quick, n);
        if (carry != fmtio::RoundDigits(slow, n) || quick.exponent != slow.exponent ||
            std::string(quick.digits, static_cast<std::size_t>(quick.count)) !=
                std::string(slow.digits, static_cast<std::size_t>(slow.count))) {
          char text[32];
          std::snprintf(text, sizeof text, "%.9g", static_cast<double>(d));
          CheckFailed(std::string("WRITE: the shortest digits of ") + text + " round otherwise to " +
                      std::to_string(n) + " digits");
        }
      }
    }
  }
}

void CheckWrite() {
  CheckAgainstExactDigits();
  std::string expected;
  std::vector<Displacements> hand;
  for (const HandRecord& h : kHandRecords) {
    hand.push_back(h.values);
    expected += std::string(h.expected) + "\r\n";
    if (h.tie) continue;
    char record[80];
    const std::string made(record, static_cast<std::size_t>(FormatRecord(h.values, record)));
    CheckSameBytes("WRITE baseline against the hand-made record", std::string(h.expected) + "\r\n", made);
  }
  RunEngine("WRITE of the hand-made records", [&] { WriteWithEngine(hand, kEngineFile); });
  CheckSameBytes("WRITE by the engine against the hand-made records", expected, ReadWholeFile(kEngineFile));

  RunEngine("WRITE of the varied records", [] { WriteWithEngine(records, kEngineFile); });
  WriteWithBaseline(records, kBaselineFile);
  CheckSameBytes("WRITE by the engine against the baseline", ReadWholeFile(kBaselineFile),
                 ReadWholeFile(kEngineFile));
  RunEngine("WRITE of the varied records by the typed call", [] { WriteWithEngine(records, kEngineFile, true); });
  CheckSameBytes("WRITE by the typed call against the baseline", ReadWholeFile(kBaselineFile),
                 ReadWholeFile(kEngineFile));
}

void WriteEngine(benchmark::State& state, bool typed) {
  EngineRun run;
  try {
    for (auto _ : state) WriteWithEngine(records, kEngineFile, typed);
  } catch (const runtime::RunEnded&) {
    state.SkipWithError(("the engine ended the run: " + run.streams.err).c_str());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records.size()));
}

void WriteBaseline(benchmark::State& state) {
  for (auto _ : state) WriteWithBaseline(records, kBaselineFile);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records.size()));
}

}  // namespace

void RegisterWriteBenchmarks() {
  records = VariedRecords(RecordCount());
  CheckWrite();
  Repeated(benchmark::RegisterBenchmark(kWriteEngine, WriteEngine, false))->Unit(benchmark::kMillisecond)->Iterations(1);
  Repeated(benchmark::RegisterBenchmark(kWriteTypedCall, WriteEngine, true))->Unit(benchmark::kMillisecond)->Iterations(1);
  Repeated(benchmark::RegisterBenchmark(kWriteBaseline, WriteBaseline))->Unit(benchmark::kMillisecond)->Iterations(1);
}

}  // namespace bench
