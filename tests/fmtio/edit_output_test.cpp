#include "fmtio/edit_output.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fmtio/decimal_digits.h"
#include "fmtio/format_spec.h"
#include "fmtio/item_types.h"

namespace fmtio {
namespace {

// Guard bytes after the edit buffer: editing must never touch them.
constexpr int kGuard = 64;
constexpr char kSentinel = '~';

// Places an edited text in a field of width w as the WRITE statement does: right-justified,
// or w asterisks when it does not fit. A ';' follows so that trailing blanks show.
std::string Placed(const char* text, int length, int w) {
  std::string field = length < 0 || length > w ? std::string(static_cast<std::size_t>(w), '*')
                                               : std::string(static_cast<std::size_t>(w - length), ' ') + std::string(text, static_cast<std::size_t>(length));
  return field + ";";
}

// Reads a real descriptor such as "E15.4", "EN12.1", "E12.4E3", "E12.4D3" or "G12.3D3".
RealEdit ParseReal(const std::string& text) {
  RealEdit edit{kEditE, kSubNone, 0, 0, 2};
  std::size_t at = 1;
  switch (text[0]) {
    case 'D': edit.kind = kEditD; break;
    case 'F': edit.kind = kEditF; break;
    case 'G': edit.kind = kEditG; break;
    default:
      if (text[1] == 'S' || text[1] == 'N') {
        edit.kind = kExtended;
        edit.sub = text[1] == 'S' ? kSubES : kSubEN;
        at = 2;
      }
  }
  const char* end = text.data() + text.size();
  auto number = [&](int& target) {
    at = static_cast<std::size_t>(std::from_chars(text.data() + at, end, target).ptr - text.data());
  };
  number(edit.w);
  ++at;  // '.'
  number(edit.d);
  if (at < text.size()) {
    if (text[at] == 'D') {
      edit.sub = edit.kind == kEditG ? kSubGD : kSubED;
      edit.kind = kExtended;
    }
    ++at;
    number(edit.e);
  }
  return edit;
}

// Edits one item and checks that nothing beyond the edit buffer was written.
int EditGuarded(const void* item, int type, const RealEdit& edit, int scale, bool plus, char* buffer) {
  std::memset(buffer, kSentinel, kEditBufferSize + kGuard);
  const int length = EditReal(item, type, edit, scale, plus, buffer);
  for (int i = kEditBufferSize; i < kEditBufferSize + kGuard; ++i) {
    if (buffer[i] != kSentinel) ADD_FAILURE() << "edit buffer overrun at " << i;
  }
  return length;
}

std::string EditedField(const std::string& descriptor, int scale, bool plus, const void* item, int type) {
  const RealEdit edit = ParseReal(descriptor);
  char buffer[kEditBufferSize + kGuard];
  const int length = EditGuarded(item, type, edit, scale, plus, buffer);
  return Placed(buffer, length, edit.w);
}

std::uint32_t BitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::uint64_t BitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

struct RealRow {
  const char* descriptor;
  int scale;
  double value;  // a REAL*4 row stores this value rounded once to float
  const char* expected;
};

std::string Describe(const RealRow& row, const char* type) {
  return std::to_string(row.scale) + "P," + row.descriptor + " of " + type + " " + std::to_string(row.value);
}

// REAL*4 values: the program's own case.
TEST(EditRealTest, EditsSinglePrecisionValues) {
  const RealRow rows[] = {
      {"E15.4", 0, 1.0, "      .1000E+01;"},
      {"E15.4", 0, -0.000123, "     -.1230E-03;"},
      {"E15.4", 0, 0.0, "      .0000E+00;"},
      {"E15.4", 0, 1.0E+10, "      .1000E+11;"},
      {"E15.6", 1, 12.5, "   1.250000E+01;"},
      {"E15.6", 1, 0.0, "   0.000000E+00;"},
      {"E15.5", 0, 1234.5, "     .12345E+04;"},
      {"E10.4", 0, -12.5, "-.1250E+02;"},
      {"E9.4", 0, -12.5, "*********;"},
      // Stored as 0.0000299999992: the rounding carries through the nines.
      {"E15.4", 0, 3.0E-5, "      .3000E-04;"},
      // The carry out of the first digit raises the exponent.
      {"E15.4", 0, 0.99996, "      .1000E+01;"},
      // Seven significant digits, then zeros.
      {"E20.10", 0, 1.0 / 3.0, "     .3333333000E+00;"},
      {"F6.2", 0, 0.5, "   .50;"},
      {"F6.2", 0, -0.001, "   .00;"},
      {"F5.1", 0, 0.06, "   .1;"},
      {"F5.0", 0, 2.7, "   3.;"},
      {"F12.4", 0, 1234567.0, "1234567.0000;"},
      {"F12.2", 0, 12345678.0, " 12345680.00;"},
      {"G10.3", 0, 9.9996, "  10.0    ;"},
      {"G10.3", 0, 0.05, "  .500E-01;"},
      {"G10.3", 1, 0.05, " 5.000E-02;"},
      {"G10.3", 1, 1.5, "  1.50    ;"},
      // X = 3 before rounding keeps the F form although the carry adds a fourth digit.
      {"G10.3", 0, 999.6, " 1000.    ;"},
      {"ES10.3", 0, 9.9996, " 1.000E+01;"},
      {"E10.4", 0, 1.0625, " .1063E+01;"},  // a tie rounds up
      // Stored as 99999997952, whose shortest digits "1" would give the exponent one too high.
      {"F20.1", 0, 1.0E+11, "      100000000000.0;"},
  };
  for (const RealRow& row : rows) {
    const float value = static_cast<float>(row.value);
    EXPECT_EQ(EditedField(row.descriptor, row.scale, false, &value, kReal4), row.expected) << Describe(row, "REAL*4");
  }
}

TEST(EditRealTest, EditsDoublePrecisionValues) {
  const RealRow rows[] = {
      // Fixed form across magnitudes, widths and scale factors.
      {"F10.3", 0, 123.456, "   123.456;"},
      {"F8.2", 0, -1234.567, "-1234.57;"},
      {"F7.2", 0, -1234.567, "*******;"},
      {"F3.0", 0, 0.0, " 0.;"},
      {"F5.1", 0, -0.0, "   .0;"},
      {"F8.3", 1, 1.25, "  12.500;"},
      {"F8.1", 3, 1.25, "  1250.0;"},
      {"F8.3", -2, 1.25, "    .013;"},
      {"F8.2", -3, 1.25, "     .00;"},
      {"F8.2", -3, 6.0, "     .01;"},
      // Rounding boundaries: half up, just below, and a carry that adds a digit.
      {"F6.3", 0, 0.0005, "  .001;"},
      {"F6.3", 0, 0.00049, "  .000;"},
      {"F6.3", 0, 0.9999, " 1.000;"},
      {"F4.0", 0, 2.5, "  3.;"},
      {"F5.2", 0, 0.125, "  .13;"},
      {"F5.2", 0, -0.125, " -.13;"},
      {"F5.2", 0, 0.12499999999999999, "  .12;"},
      {"F6.3", 0, 0.0004, "  .000;"},
      {"F20.2", 0, 12345678901234567.0, "12345678901234570.00;"},
      // Exponent forms with scale factors -3..3.
      {"E12.4", -3, 1234.5, "   .0001E+07;"},
      {"E12.4", -1, 1234.5, "   .0123E+05;"},
      {"E12.4", 2, 1234.5, "  12.345E+02;"},
      {"E12.4", 3, 1234.5, "  123.45E+01;"},
      {"E10.1", 0, 0.96875, "    .1E+01;"},
      {"E10.1", 0, 0.9375, "    .9E+00;"},
      {"E10.2", 0, 0.125, "   .13E+00;"},
      {"E10.1", 0, -0.375, "   -.4E+00;"},
      {"E10.2", 0, 0.12499999999999999, "   .12E+00;"},
      {"D12.4", 0, 1234.5, "   .1235D+04;"},
      {"E12.4D3", 0, 1234.5, "  .1235D+004;"},
      // Exponent widths: the three-digit form without letter, e too small.
      {"E12.4", 0, 1.0E+100, "   .1000+101;"},
      {"E12.4E3", 0, 1.0E+100, "  .1000E+101;"},
      {"E12.4", 0, 1.0E+98, "   .1000E+99;"},
      {"E12.4", 0, 1.0E+99, "   .1000+100;"},
      {"E12.4", 0, 1.0E-100, "   .1000E-99;"},
      {"E12.4", 0, 1.0E-101, "   .1000-100;"},
      {"E12.4E3", 0, 1.0E-300, "  .1000E-299;"},
      {"E12.4", 0, 4.9406564584124654E-324, "   .4941-323;"},
      {"E12.4", 0, 1.7976931348623157E+308, "   .1798+309;"},
      {"E9.3E1", 0, 1.0, "  .100E+1;"},
      {"E10.3E1", 0, 1234.5, "   .123E+4;"},
      {"E10.3E1", 0, 1.0E+10, "**********;"},
      {"E12.4", -800, 1.0E+300, "************;"},
      // ES and EN ignore the scale factor.
      {"ES10.3", 0, 0.0, " 0.000E+00;"},
      {"ES12.3", 0, -1234.5, "  -1.235E+03;"},
      {"ES12.3", 2, -1234.5, "  -1.235E+03;"},
      {"EN12.1", 0, 999.96, "     1.0E+03;"},
      {"EN9.3", 0, 0.0, "0.000E+00;"},
      {"EN12.3", 0, 1234.5, "   1.235E+03;"},
      {"EN12.3", 0, 0.5, " 500.000E-03;"},
      {"EN12.3", 0, 12.5, "  12.500E+00;"},
      {"EN12.3", 3, 12.5, "  12.500E+00;"},
      {"EN12.3", 0, 0.0125, "  12.500E-03;"},
      {"EN8.1", 0, 9.96, "10.0E+00;"},
      // G: F form with e + 2 blanks, or E form.
      {"G10.3", 0, 123.0, "  123.    ;"},
      {"G10.3", 0, 1234.0, "  .123E+04;"},
      {"G10.3", 0, 0.0, "  .000    ;"},
      {"G10.3", 0, 0.9996, "  1.00    ;"},
      {"G12.3E3", 0, 1.5, "   1.50     ;"},
      {"G12.3D3", 0, 1234.0, "   .123D+004;"},
  };
  for (const RealRow& row : rows) {
    EXPECT_EQ(EditedField(row.descriptor, row.scale, false, &row.value, kReal8), row.expected) << Describe(row, "REAL*8");
  }
}

TEST(EditRealTest, ShowsPlusSignsInPlusSignMode) {
  const double one = 1.0, zero = 0.0, half = 1.5;
  EXPECT_EQ(EditedField("E12.4", 0, true, &one, kReal8), "  +.1000E+01;");
  EXPECT_EQ(EditedField("F5.1", 0, true, &zero, kReal8), "  +.0;");
  EXPECT_EQ(EditedField("F6.2", 0, true, &half, kReal8), " +1.50;");
  const std::uint32_t minusInfinity = 0xFF800000u;
  EXPECT_EQ(EditedField("E10.4", 0, true, &minusInfinity, kReal4), "1#INF.....;");
}

struct SpecialRow {
  const char* name;
  std::uint64_t bits;
  int type;
  const char* descriptor;
  const char* expected;
};

TEST(EditRealTest, WritesSpecialValuesWithoutSign) {
  const SpecialRow rows[] = {
      {"+Inf", 0x7F800000u, kReal4, "E15.4", "1#INF..........;"},
      {"-Inf", 0xFF800000u, kReal4, "E15.4", "1#INF..........;"},
      {"signalling NaN", 0x7F800001u, kReal4, "F10.2", "1#SNAN....;"},
      {"quiet NaN", 0x7FC00000u, kReal4, "F10.2", "1#QNAN....;"},
      {"indefinite", 0xFFC00000u, kReal4, "F10.2", "1#IND.....;"},
      {"negative quiet NaN with payload", 0xFFC00001u, kReal4, "F10.2", "1#QNAN....;"},
      {"negative signalling NaN", 0xFF800001u, kReal4, "F10.2", "1#SNAN....;"},
      {"+Inf cut to the width", 0x7F800000u, kReal4, "E3.1", "1#I;"},
      {"+Inf", 0x7FF0000000000000u, kReal8, "E12.4", "1#INF.......;"},
      {"signalling NaN", 0x7FF0000000000001u, kReal8, "G12.4", "1#SNAN......;"},
      {"indefinite", 0xFFF8000000000000u, kReal8, "ES12.4", "1#IND.......;"},
      {"quiet NaN", 0x7FF8000000000000u, kReal8, "EN12.4", "1#QNAN......;"},
      // The smallest subnormal, the smallest normal and the largest finite REAL*4.
      {"float subnormal", 0x00000001u, kReal4, "E15.4", "      .1401E-44;"},
      {"float smallest normal", 0x00800000u, kReal4, "E15.4", "      .1175E-37;"},
      {"float largest", 0x7F7FFFFFu, kReal4, "E15.4", "      .3403E+39;"},
      {"-0", 0x80000000u, kReal4, "E15.4", "      .0000E+00;"},
      {"-0", 0x8000000000000000u, kReal8, "F6.2", "   .00;"},
  };
  for (const SpecialRow& row : rows) {
    const std::uint32_t bits4 = static_cast<std::uint32_t>(row.bits);
    const void* item = row.type == kReal4 ? static_cast<const void*>(&bits4) : &row.bits;
    EXPECT_EQ(EditedField(row.descriptor, 0, false, item, row.type), row.expected) << row.name << " in " << row.descriptor;
  }
}

// The program runs with the invalid-operation trap armed; editing a signalling NaN must not
// raise it (a trap here ends the test program).
TEST(EditRealTest, EditsSignallingNanWithTrapsArmed) {
#if defined(__GLIBC__) && (defined(__x86_64__) || defined(__i386__))
  const std::uint32_t nan4 = 0x7FA00000u;
  const std::uint64_t nan8 = 0xFFF4000000000000u;
  std::feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  const std::string single = EditedField("E12.4", 0, false, &nan4, kReal4);
  const std::string twice = EditedField("F8.2", 0, false, &nan8, kReal8);
  fedisableexcept(FE_ALL_EXCEPT);
  EXPECT_EQ(single, "1#SNAN......;");
  EXPECT_EQ(twice, "1#SNAN..;");
#else
  GTEST_SKIP() << "arming floating-point traps needs the GNU C library on x86";
#endif
}

// The edit buffer holds 520 characters: a text of exactly that length is edited, one more is not.
TEST(EditRealTest, RefusesTextsBeyondTheEditBuffer) {
  struct Row {
    const char* descriptor;
    int scale;
    bool plus;
    double value;
    int expected;
  };
  const Row rows[] = {
      {"F600.518", 0, false, 1.0, 520},   // "1." and 518 zeros
      {"F600.519", 0, false, 1.0, -1},    // S = 520
      {"F600.519", 0, false, 0.5, 520},   // ".5" and 518 zeros
      {"F600.519", 0, true, 0.5, -1},     // the plus sign makes 521
      {"F600.550", 0, false, 1.0E-300, -1},
      {"E600.515", 0, false, 1.0, 520},
      {"E600.515", 0, false, -1.0, -1},
      {"E600.519", 0, false, 1.0, -1},
      {"G600.2E515", 0, false, 1.5, 520},  // "1.5" and 517 blanks
      {"G600.2E516", 0, false, 1.5, -1},
      {"E600.2E517", 0, false, 1.5, -1},
      // More digits before the point than the buffer holds, although S is small.
      {"E12.4", 600, false, 1.0, -1},
  };
  char buffer[kEditBufferSize + kGuard];
  for (const Row& row : rows) {
    const int length = EditGuarded(&row.value, kReal8, ParseReal(row.descriptor), row.scale, row.plus, buffer);
    EXPECT_EQ(length, row.expected) << row.scale << "P," << (row.plus ? "SP," : "") << row.descriptor << " of " << row.value;
  }
  const double one = 1.0;
  ASSERT_EQ(EditGuarded(&one, kReal8, ParseReal("F600.518"), 0, false, buffer), 520);
  EXPECT_EQ(std::string(buffer, 2), "1.");
  EXPECT_EQ(std::string(buffer + 2, 518), std::string(518, '0'));
}

TEST(EditIntegerTest, EditsSignZerosAndDigits) {
  struct Row {
    int w, m;
    bool plus;
    std::int64_t value;
    const char* expected;
  };
  const Row rows[] = {
      {3, 1, false, 5, "  5;"},
      {3, 1, false, -99, "-99;"},
      {3, 1, false, 1234, "***;"},
      {3, 1, false, -100, "***;"},
      {5, 3, false, 7, "  007;"},
      {5, 3, false, -7, " -007;"},
      {3, 0, false, 0, "   ;"},
      {3, 0, true, 0, "   ;"},
      {3, 1, true, 0, " +0;"},
      {4, 1, true, 5, "  +5;"},
      {12, 1, false, -2147483648LL, " -2147483648;"},
  };
  for (const Row& row : rows) {
    char buffer[kEditBufferSize];
    const int length = EditInteger(row.value, row.m, row.plus, buffer);
    EXPECT_EQ(Placed(buffer, length, row.w), row.expected)
        << (row.plus ? "SP," : "") << "I" << row.w << "." << row.m << " of " << row.value;
  }
}

TEST(EditIntegerTest, RefusesTextsBeyondTheEditBuffer) {
  char buffer[kEditBufferSize];
  EXPECT_EQ(EditInteger(-5, 519, false, buffer), 520);
  EXPECT_EQ(EditInteger(-5, 520, false, buffer), -1);
  EXPECT_EQ(EditInteger(5, 520, false, buffer), 520);
}

TEST(EditRadixTest, WritesStorageDigits) {
  struct Row {
    const char* what;
    std::vector<unsigned char> bytes;
    bool character;
    int base, m;
    const char* expected;
  };
  const Row rows[] = {
      {"INTEGER*4 0x12AB", {0xAB, 0x12, 0, 0}, false, 16, 1, "12AB"},
      {"INTEGER*4 0x12AB", {0xAB, 0x12, 0, 0}, false, 16, 8, "000012AB"},
      {"INTEGER*4 0", {0, 0, 0, 0}, false, 16, 0, ""},
      {"INTEGER*4 0", {0, 0, 0, 0}, false, 16, 1, "0"},
      {"INTEGER*4 8", {8, 0, 0, 0}, false, 8, 1, "10"},
      {"INTEGER*4 -1", {0xFF, 0xFF, 0xFF, 0xFF}, false, 8, 1, "37777777777"},
      {"INTEGER*2 0x8000", {0x00, 0x80}, false, 8, 1, "100000"},
      {"INTEGER*4 5", {5, 0, 0, 0}, false, 2, 8, "00000101"},
      {"INTEGER*1 0x80", {0x80}, false, 2, 1, "10000000"},
      {"REAL*4 1.0", {0x00, 0x00, 0x80, 0x3F}, false, 16, 1, "3F800000"},
      {"CHARACTER 'AB'", {'A', 'B'}, true, 16, 1, "4142"},
      {"CHARACTER NUL,'A'", {0, 'A'}, true, 16, 1, "41"},
      {"INTEGER*2 'AB'", {'A', 'B'}, false, 16, 1, "4241"},
  };
  for (const Row& row : rows) {
    char buffer[kEditBufferSize];
    const int length = EditRadix(row.bytes.data(), static_cast<int>(row.bytes.size()), row.character, row.base, row.m, buffer);
    ASSERT_GE(length, 0) << row.what;
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(length)), row.expected)
        << row.what << " in base " << row.base << " with m = " << row.m;
  }
  const unsigned char one[4] = {1, 0, 0, 0};
  char buffer[kEditBufferSize];
  EXPECT_EQ(EditRadix(one, 4, false, 16, 520, buffer), 520);
  EXPECT_EQ(EditRadix(one, 4, false, 16, 521, buffer), -1);
  const std::vector<unsigned char> text(300, 'A');
  EXPECT_EQ(EditRadix(text.data(), 300, true, 16, 1, buffer), -1);  // 600 digits
}

// Builds a digit string for RoundDigits.
DecimalDigits Digits(const char* digits, int exponent, bool negative) {
  DecimalDigits value;
  value.negative = negative;
  value.exponent = exponent;
  value.count = static_cast<int>(std::strlen(digits));
  std::memcpy(value.digits, digits, static_cast<std::size_t>(value.count));
  return value;
}

TEST(RoundDigitsTest, CutsHalfUpAndReportsCarry) {
  struct Row {
    const char* digits;
    bool negative;
    int n;
    const char* expected;
    int exponent;  // from 5
    bool expectedNegative, carry;
  };
  const Row rows[] = {
      {"123", false, 5, "123", 5, false, false},
      {"12345", false, 3, "123", 5, false, false},
      {"12355", false, 3, "124", 5, false, false},
      {"1995", false, 3, "200", 5, false, false},
      {"9995", true, 3, "1000", 6, true, true},
      {"5", true, 0, "1", 6, true, true},
      {"4", true, 0, "", 5, false, false},
      {"1004", true, 3, "100", 5, true, false},
      {"99999999999999999", false, 16, "10000000000000000", 6, false, true},
  };
  for (const Row& row : rows) {
    DecimalDigits value = Digits(row.digits, 5, row.negative);
    const bool carry = RoundDigits(value, row.n);
    const std::string context = std::string(row.digits) + " to " + std::to_string(row.n) + " digits";
    EXPECT_EQ(std::string(value.digits, static_cast<std::size_t>(value.count)), row.expected) << context;
    EXPECT_EQ(value.exponent, row.exponent) << context;
    EXPECT_EQ(value.negative, row.expectedNegative) << context;
    EXPECT_EQ(carry, row.carry) << context;
  }
}

TEST(DecimalDigitsTest, GivesSeventeenDigitsOfTheWidenedValue) {
  const DecimalDigits tenth4 = DecimalDigitsOfReal4(BitsOf(0.1f));
  EXPECT_EQ(std::string(tenth4.digits, static_cast<std::size_t>(tenth4.count)), "10000000149011612");
  EXPECT_EQ(tenth4.exponent, 0);
  const DecimalDigits tenth8 = DecimalDigitsOfReal8(BitsOf(-0.1));
  EXPECT_EQ(std::string(tenth8.digits, static_cast<std::size_t>(tenth8.count)), "10000000000000001");
  EXPECT_EQ(tenth8.exponent, 0);
  EXPECT_TRUE(tenth8.negative);
  const DecimalDigits one = DecimalDigitsOfReal8(BitsOf(1.0));
  EXPECT_EQ(std::string(one.digits, static_cast<std::size_t>(one.count)), "1");
  EXPECT_EQ(one.exponent, 1);
  const DecimalDigits negativeZero = DecimalDigitsOfReal4(0x80000000u);
  EXPECT_EQ(std::string(negativeZero.digits, static_cast<std::size_t>(negativeZero.count)), "0");
  EXPECT_EQ(negativeZero.exponent, 0);
  EXPECT_FALSE(negativeZero.negative);
}

// Every 4099th REAL*4 bit pattern: the digits read back give the same float, and its shortest
// digits, where they hold more than n + 1 digits, round to n digits as the exact ones do.
TEST(DecimalDigitsTest, RoundTripsSampledSinglePrecisionPatterns) {
  int failures = 0;
  for (std::uint64_t pattern = 0; pattern <= 0xFFFFFFFFu && failures < 10; pattern += 4099) {
    const std::uint32_t bits = static_cast<std::uint32_t>(pattern);
    const DecimalDigits value = DecimalDigitsOfReal4(bits);
    if ((bits & 0x7F800000u) == 0x7F800000u) {
      EXPECT_FALSE(value.finite) << std::hex << bits;
      continue;
    }
    const std::string digits(value.digits, static_cast<std::size_t>(value.count));
    const bool shapeOk = value.finite && value.count >= 1 && value.count <= 17 &&
                         (digits == "0" || (digits.front() != '0' && digits.back() != '0'));
    const std::string text = std::string(value.negative ? "-" : "") + "0." + digits + "e" + std::to_string(value.exponent);
    float back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    const std::uint32_t expected = (bits & 0x7FFFFFFFu) == 0 ? 0 : bits;
    if (!shapeOk || BitsOf(back) != expected) {
      ++failures;
      ADD_FAILURE() << "pattern " << std::hex << bits << " gave " << text;
    }
    const DecimalDigits shortest = ShortestDigitsOfReal4(bits);
    for (int n = 0; n + 1 < shortest.count; ++n) {
      DecimalDigits quick = shortest, exact = value;
      const bool carry = RoundDigits(quick, n);
      if (carry != RoundDigits(exact, n) || quick.exponent != exact.exponent || quick.negative != exact.negative ||
          std::string(quick.digits, quick.count) != std::string(exact.digits, exact.count)) {
        ++failures;
        ADD_FAILURE() << "pattern " << std::hex << bits << " rounds otherwise to " << std::dec << n << " digits";
      }
    }
  }
}

}  // namespace
}  // namespace fmtio
