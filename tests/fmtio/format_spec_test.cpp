#include "fmtio/format_spec.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <utility>

#include "runtime/run_time_error.h"

namespace fmtio {
namespace {

// A record that only counts its ends.
class CountedRecord final : public FormatRecord {
 public:
  void Literal(const char*, int) override {}
  void EndRecord() override { ++ends; }
  void TabRight(int) override {}
  void TabLeft(int) override {}
  void TabTo(int) override {}
  int ends = 0;
};

// "^" takes the placeholder values in order: (^I^) over 2 and 7 is (2I7), reverting after two.
TEST(FormatCursorTest, PlaceholdersTakeTheirValuesInOrder) {
  FormatSpec compiled;
  CompileFormat("(^I^)", -1, compiled);
  const int values[] = {2, 7};
  FormatCursor cursor;
  cursor.Reset(compiled, false);
  cursor.placeholders = values;
  cursor.placeholderCount = 2;
  CountedRecord record;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(cursor.NextEditDescriptor(true, record));
    EXPECT_EQ(cursor.kind, kEditI);
    EXPECT_EQ(cursor.w, 7);
  }
  EXPECT_EQ(record.ends, 1);
}

// Every byte c as "(c)": the outcome by the scanner's character classes, 0 when the text
// compiles and interprets without error, 6989 for bytes that begin no descriptor.
TEST(FormatCursorTest, EveryByteAloneInParentheses) {
  const std::pair<const char*, int> classes[] = {
      {" \t)/:$\\ABOQSXZ", 0}, {"DEFGILT+-", 6980}, {"HP", 6984}, {"'\"(", 6988}, {"^0123456789", 6983}};
  for (int c = 0; c < 256; ++c) {
    int expected = 6989;
    for (const auto& [bytes, number] : classes) {
      if (c != 0 && std::strchr(bytes, std::toupper(c))) expected = number;
    }
    const char text[3] = {'(', static_cast<char>(c), ')'};
    FormatSpec compiled;
    CompileFormat(text, 3, compiled);
    FormatCursor cursor;
    cursor.Reset(compiled, false);
    CountedRecord record;
    int raised = 0;
    try {
      cursor.NextEditDescriptor(true, record);
    } catch (const runtime::RunTimeError& error) {
      raised = error.number;
    }
    EXPECT_EQ(raised, expected) << "format (\\x" << std::hex << c << ")";
  }
}

}  // namespace
}  // namespace fmtio
