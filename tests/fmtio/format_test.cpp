// The compiled format's cursor and the editing of values for output.
#include <gtest/gtest.h>

#include <bit>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "fmtio/decimal_digits.h"
#include "fmtio/edit_output.h"
#include "fmtio/format_spec.h"
#include "fmtio/item_types.h"
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

// Every 4099th REAL*4 bit pattern: the digits, without leading or trailing zeros, read back give
// the same float, and its shortest digits, where they hold more than n + 1 digits, round to n
// digits as the exact ones do.
TEST(DecimalDigitsTest, RoundTripsSampledSinglePrecisionPatterns) {
  const auto text = [](const DecimalDigits& d) {  // sign, digits and exponent as -0.DDDeX
    return (d.negative ? "-0." : "0.") + std::string(d.digits, d.count) + "e" + std::to_string(d.exponent);
  };
  int failures = 0;
  for (std::uint64_t pattern = 0; pattern <= 0xFFFFFFFFu && failures < 10; pattern += 4099) {
    const std::uint32_t bits = static_cast<std::uint32_t>(pattern);
    const DecimalDigits value = DecimalDigitsOfReal4(bits);
    if ((bits & 0x7F800000u) == 0x7F800000u) {
      EXPECT_FALSE(value.finite) << std::hex << bits;
      continue;
    }
    const std::string digits(value.digits, static_cast<std::size_t>(value.count)), written = text(value);
    float back = 0;
    std::from_chars(written.data(), written.data() + written.size(), back);
    const bool roundTrips = value.finite && value.count >= 1 && value.count <= 17 &&
                            (digits == "0" || (digits.front() != '0' && digits.back() != '0')) &&
                            std::bit_cast<std::uint32_t>(back) == ((bits & 0x7FFFFFFFu) == 0 ? 0 : bits);
    failures += !roundTrips;
    EXPECT_TRUE(roundTrips) << "pattern " << std::hex << bits << " gave " << written;
    const DecimalDigits shortest = ShortestDigitsOfReal4(bits);
    for (int n = 0; n + 1 < shortest.count; ++n) {
      DecimalDigits quick = shortest, exact = value;
      const bool same = RoundDigits(quick, n) == RoundDigits(exact, n) && text(quick) == text(exact);
      failures += !same;
      EXPECT_TRUE(same) << "pattern " << std::hex << bits << " rounds otherwise to " << std::dec << n << " digits";
    }
  }
}

// A scale factor of -800 puts the exponent past three digits: the edit is refused, not written
// past its buffer.
TEST(EditRealTest, RefusesAnExponentPastThreeDigits) {
  const double value = 1.0E+300;
  char buffer[kEditBufferSize];
  EXPECT_EQ(EditReal(&value, kReal8, RealEdit{kEditE, kSubNone, 12, 4, 2}, -800, false, buffer), -1);
}

}  // namespace
}  // namespace fmtio
