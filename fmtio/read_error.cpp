// The message of a READ error on a file: the condition, then the line, the column and the text
// where the faulty value or field begins.
#include "fmtio/read_error.h"

#include <algorithm>
#include <cstdio>

#include "runtime/run_time_error.h"

namespace fmtio {
namespace {

// The errors that concern the data read, rather than a format, a write or memory, and whether
// each is found where the next field would begin, before any of it was read (the format's
// descriptor does not suit the item, or a READ format holds a literal).
struct DataError {
  int number;
  bool atPosition;
};
constexpr DataError kDataErrors[] = {
    {6100, false}, {6101, false}, {6102, false}, {6103, false}, {6104, false}, {6205, true},
    {6206, true},  {6207, true},  {6208, true},  {6302, false}, {6303, false}, {6500, false},
    {6501, false}, {6502, false}, {6503, false}, {6504, false}, {6506, false}, {6507, false},
    {6509, true},  {6601, false},
};

const DataError* FindDataError(int number) {
  for (const DataError& error : kDataErrors) {
    if (error.number == number) return &error;
  }
  return nullptr;
}

bool IsListSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '/' || c == '\r'; }

// The faulty text of the current record from `start`: what the read consumed, less a comma that
// ended it, and in list-directed input on to the next separator (a repeat count refused before
// its value was read).
std::string FaultyText(const IoUnit& unit, int start, bool listDirected) {
  const int size = static_cast<int>(unit.line.size());
  if (start >= size) return {};
  int end = std::clamp(unit.linePosition, start, size);
  if (end > start && unit.line[static_cast<std::size_t>(end - 1)] == ',') --end;
  if (listDirected) {
    while (end < size && !IsListSeparator(unit.line[static_cast<std::size_t>(end)])) ++end;
  }
  return unit.line.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

// ` "text"`: at most kQuotedBytes bytes as typed, unprintable ones as \xNN, "..." after a cut.
std::string Quoted(const std::string& text) {
  std::string quoted = " \"";
  const std::size_t shown = std::min(text.size(), static_cast<std::size_t>(kQuotedBytes));
  for (std::size_t i = 0; i < shown; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 32 || c >= 127) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      quoted += escaped;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  quoted += '"';
  if (shown < text.size()) quoted += "...";
  return quoted;
}

}  // namespace

std::string LocatedReadMessage(int number, const IoUnit& unit, const ReadMark& mark, bool listDirected) {
  std::string message = runtime::ErrorMessage(number);
  const DataError* error = FindDataError(number);
  if (unit.console || unit.kind == UnitKind::kTerminal || !error) return message;
  if (number == 6501) return message + " after line " + std::to_string(unit.recordsRead);
  // A record that could not be read (a failed read, a line beyond the record bound) is the next.
  if (number == 6500 || (number == 6601 && !unit.haveLine)) {
    return message + " in line " + std::to_string(unit.recordsRead + 1);
  }
  const bool atPosition = error->atPosition || mark.line < 0;
  const std::int64_t line = atPosition ? unit.recordsRead : mark.line;
  const int column = atPosition ? unit.linePosition : mark.column;
  if (!atPosition && mark.line == unit.recordsRead) {
    const std::string text = FaultyText(unit, mark.column, listDirected);
    if (!text.empty()) message += Quoted(text);
  }
  return message + " in line " + std::to_string(line) + ", column " + std::to_string(column + 1);
}

}  // namespace fmtio
