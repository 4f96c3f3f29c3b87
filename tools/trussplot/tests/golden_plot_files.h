// The files the truss program wrote for the examples (tests/e2e/golden/<example>.grp, whose bytes
// were checked by hand), read for the tests, and texts made from them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
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

inline std::string Text(const std::string& example) {
  return ReadBytes(std::filesystem::path(TRUSS_SOURCE_DIR) / "tests/e2e/golden" / (example + ".grp"));
}

inline PlotFile Parsed(const std::string& example) { return ParsePlotFile(Text(example)); }

// A case of tests/cases/<name>: a line cut at " | " into its fields, and each line below it that
// starts with "| " one more field; lines starting with '#' describe the file. The first four
// fields name a plot file: an example ("-": the empty text), the records kept ("*": all; "Nb":
// the first N bytes), record indexes parted by commas, or a range "A-B" ("-": none), and the
// record put there.
struct Row {
  std::string where;  // "<name>:<line>", for messages
  std::vector<std::string> fields;

  int Number(std::size_t field) const { return std::stoi(fields[field]); }
  std::string PlotText() const {
    if (fields[0] == "-") return "";
    const std::string text = Text(fields[0]);
    if (fields[1].ends_with('b')) return text.substr(0, std::stoul(fields[1]));
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
      lines.push_back(text.substr(at, end - at));
    }
    std::istringstream indexes(fields[2] == "-" ? "" : fields[2]);
    for (std::string index; std::getline(indexes, index, ',');) {
      const std::size_t dash = index.find('-'), first = std::stoul(index);
      const std::size_t last = dash == std::string::npos ? first : std::stoul(index.substr(dash + 1));
      lines.resize(std::max(lines.size(), last + 1));
      for (std::size_t i = first; i <= last; ++i) lines[i] = fields[3];
    }
    lines.resize(std::min(lines.size(), fields[1] == "*" ? 9999 : std::stoul(fields[1])));
    std::string records;
    for (const std::string& line : lines) records += line + "\r\n";
    return records;
  }
};

// The cases of a file; a file that cannot be read, or holds none, fails the test.
inline std::vector<Row> Rows(const std::string& name) {
  std::ifstream in(std::filesystem::path(TRUSS_SOURCE_DIR) / "tools/trussplot/tests/cases" / name);
  std::vector<Row> rows;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    if (++number, line.starts_with("| ")) {
      rows.back().fields.push_back(line.substr(2));
    } else if (!line.empty() && line[0] != '#') {
      Row& row = rows.emplace_back(Row{name + ":" + std::to_string(number), {}});
      for (std::size_t at = 0, end = 0; end != std::string::npos; at = end + 3) {
        end = line.find(" | ", at);
        row.fields.push_back(line.substr(at, end == std::string::npos ? end : end - at));
      }
    }
  }
  if (rows.empty()) ADD_FAILURE() << name << ": no cases";
  return rows;
}

}  // namespace trussplot::golden
