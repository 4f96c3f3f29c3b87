// The message of a READ error on a file: the condition, then where the read stood.
#pragma once

#include <cstdint>
#include <string>

#include "fmtio/io_unit.h"

namespace fmtio {

// Where the value or field being read began: its record (counted from 1; -1 for none yet) and
// its column in the record (counted from 0).
struct ReadMark {
  std::int64_t line = -1;
  int column = 0;
};

// The message of READ error `number` on `unit`. On a file it names the line and the column where
// the faulty value or field begins and quotes its text as typed (at most kQuotedBytes bytes,
// unprintable bytes escaped); an end of file names the last line, a failed read the line it
// could not read. The console keeps the short message: its lines are what was just typed.
// `listDirected` says how far the faulty text reaches: to the next separator, or to the end of
// the field read.
std::string LocatedReadMessage(int number, const IoUnit& unit, const ReadMark& mark, bool listDirected);

inline constexpr int kQuotedBytes = 20;

}  // namespace fmtio
