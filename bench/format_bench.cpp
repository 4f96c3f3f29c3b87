// CompileFormat of each format text of the program, taken from the analysis sources so that the
// list follows the program.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_suites.h"
#include "bench/bench_support.h"
#include "fmtio/format_spec.h"

namespace bench {
namespace {

struct FormatText {
  std::string label;  // source file and ordinal, e.g. "driver.cpp#2"
  std::string text;
};

std::vector<FormatText> formats;

// The string literals of a C++ source, adjacent literals joined into one; comments and character
// literals are passed over. Escapes are kept as written (the program's formats have none).
std::vector<std::string> StringLiterals(const std::string& source) {
  std::vector<std::string> literals;
  bool joinNext = false;
  std::size_t i = 0;
  const std::size_t n = source.size();
  while (i < n) {
    const char c = source[i];
    if (c == '/' && i + 1 < n && source[i + 1] == '/') {
      i = source.find('\n', i);
      if (i == std::string::npos) break;
      continue;
    }
    if (c == '/' && i + 1 < n && source[i + 1] == '*') {
      i = source.find("*/", i + 2);
      if (i == std::string::npos) break;
      i += 2;
      continue;
    }
    if (c == '\'' || c == '"') {
      std::string text;
      for (++i; i < n && source[i] != c; ++i) {
        if (source[i] == '\\' && i + 1 < n) text += source[i++];
        text += source[i];
      }
      ++i;
      if (c == '"') {
        if (joinNext) literals.back() += text;
        else literals.push_back(text);
        joinNext = true;
      } else {
        joinNext = false;
      }
      continue;
    }
    if (c != ' ' && c != '\n' && c != '\t' && c != '\r') joinNext = false;
    ++i;
  }
  return literals;
}

std::vector<FormatText> ProgramFormats() {
  const std::filesystem::path folder = std::filesystem::path(TRUSS_SOURCE_DIR) / "analysis";
  std::vector<std::filesystem::path> sources;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".cpp") sources.push_back(entry.path());
  }
  std::sort(sources.begin(), sources.end());
  std::vector<FormatText> found;
  for (const std::filesystem::path& source : sources) {
    int ordinal = 0;
    for (const std::string& literal : StringLiterals(ReadWholeFile(source.string()))) {
      if (literal.size() < 2 || literal.front() != '(' || literal.back() != ')') continue;
      found.push_back({source.filename().string() + "#" + std::to_string(++ordinal), literal});
    }
  }
  return found;
}

void Compile(benchmark::State& state, const std::string& text) {
  fmtio::FormatSpec compiled;  // one buffer reused, as a statement reuses its own
  for (auto _ : state) {
    fmtio::CompileFormat(text.data(), static_cast<int>(text.size()), compiled);
    benchmark::DoNotOptimize(compiled.data());
  }
}

}  // namespace

void RegisterFormatBenchmarks() {
  formats = ProgramFormats();
  if (formats.size() < 20) {
    CheckFailed("found only " + std::to_string(formats.size()) + " format texts in the analysis sources");
  }
  for (const FormatText& format : formats) {
    benchmark::RegisterBenchmark((kCompileFormatPrefix + format.label).c_str(), Compile, format.text)
        ->Unit(benchmark::kNanosecond)
        ->MinTime(0.05);
  }
}

// The text of the format benchmarked under `label`, for the summary.
const std::string* FormatTextOf(const std::string& label) {
  for (const FormatText& format : formats) {
    if (format.label == label) return &format.text;
  }
  return nullptr;
}

}  // namespace bench
