// The plot files the truss program wrote for the examples (tests/e2e/golden/<example>.grp, whose
// bytes were checked by hand), read for the tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/trussplot/plot_file.h"

namespace trussplot::golden {

// The examples of examples/*.dat, smallest first.
inline constexpr const char* kExamples[] = {"two_bar", "tripod", "tetrahedron", "tower", "bridge"};

// The bytes of a file; empty when it cannot be read.
inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline std::string Text(std::string_view example) {
  return ReadBytes(std::filesystem::path(TRUSS_SOURCE_DIR) / "tests/e2e/golden" / (std::string(example) + ".grp"));
}

// The records of an example's plot file, without their CR LF line ends.
inline std::vector<std::string> Lines(std::string_view example) {
  std::vector<std::string> lines;
  std::istringstream in(Text(example));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Records joined into a file, each ended by `end`.
inline std::string Join(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text.append(line).append(end);
  return text;
}

// The first `count` records of an example: the file of a run that stopped early.
inline PlotFile FirstRecords(std::string_view example, std::size_t count) {
  std::vector<std::string> lines = Lines(example);
  lines.resize(count);
  return ParsePlotFile(Join(lines));
}

// An example's file with record `index` (0-based) replaced.
inline std::string WithRecord(std::string_view example, std::size_t index, const std::string& record) {
  std::vector<std::string> lines = Lines(example);
  lines.resize(std::max(lines.size(), index + 1));
  lines[index] = record;
  return Join(lines);
}

}  // namespace trussplot::golden
