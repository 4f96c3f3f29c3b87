#include "fmtio/decimal_digits.h"

#include <charconv>
#include <cstring>

namespace fmtio {
namespace {

// Fills `out` with the digits and exponent of the scientific text "d.ddd...e±XX" that ends at
// `end`, trailing zeros removed.
void DigitsOfScientific(const char* text, const char* end, DecimalDigits& out) {
  // The exponent is a sign and two or three digits, read from the end.
  const char* p = end - 2;
  int power = (p[0] - '0') * 10 + (p[1] - '0');
  if (p[-1] >= '0' && p[-1] <= '9') power += (*--p - '0') * 100;
  if (p[-1] == '-') power = -power;
  const char* letter = p - 2;
  out.digits[0] = text[0];
  int count = 1;
  if (letter > text + 1) {
    std::memcpy(out.digits + 1, text + 2, static_cast<std::size_t>(letter - text - 2));
    count = static_cast<int>(letter - text - 1);
  }
  while (count > 1 && out.digits[count - 1] == '0') --count;
  out.count = count;
  // d.ddd times 10^power is 0.dddd times 10^(power + 1).
  out.exponent = power + 1;
}

// Fills `out` with the digits and exponent of a finite, positive, nonzero value: the correctly
// rounded 17 significant digits, trailing zeros removed.
void FiniteDigits(double magnitude, DecimalDigits& out) {
  // "d.dddddddddddddddde-XXX" is 23 characters at most.
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 16);
  DigitsOfScientific(text, result.ptr, out);
}

void SetZero(DecimalDigits& out) {
  out.negative = false;
  out.exponent = 0;
  out.count = 1;
  out.digits[0] = '0';
}

// Subtle: NaNs and infinities are told apart by their bits alone. The program runs with the
// invalid-operation trap armed, and merely loading a signalling NaN into a floating-point
// register would raise it. The indefinite NaN is the one the processor itself produces: sign
// set, quiet bit set, the rest of the fraction zero.
const char* SpecialText(bool negative, std::uint64_t fraction, std::uint64_t quietBit) {
  if (fraction == 0) return "1#INF";
  if ((fraction & quietBit) == 0) return "1#SNAN";
  if (negative && fraction == quietBit) return "1#IND";
  return "1#QNAN";
}

}  // namespace

DecimalDigits DecimalDigitsOfReal4(std::uint32_t bits) {
  DecimalDigits out;
  const bool negative = (bits >> 31) != 0;
  const std::uint32_t magnitudeBits = bits & 0x7FFFFFFFu;
  if ((magnitudeBits >> 23) == 0xFF) {
    out.finite = false;
    out.special = SpecialText(negative, magnitudeBits & 0x7FFFFFu, 0x400000u);
    return out;
  }
  if (magnitudeBits == 0) {
    SetZero(out);  // also negative zero: zero has no sign
    return out;
  }
  out.negative = negative;
  float magnitude;
  std::memcpy(&magnitude, &magnitudeBits, sizeof magnitude);
  // Widening a finite float to double is exact, subnormals included.
  FiniteDigits(static_cast<double>(magnitude), out);
  return out;
}

DecimalDigits ShortestDigitsOfReal4(std::uint32_t bits) {
  const std::uint32_t magnitudeBits = bits & 0x7FFFFFFFu;
  if ((magnitudeBits >> 23) == 0xFF || magnitudeBits == 0) return DecimalDigitsOfReal4(bits);
  DecimalDigits out;
  out.negative = (bits >> 31) != 0;
  float magnitude;
  std::memcpy(&magnitude, &magnitudeBits, sizeof magnitude);
  // "d.dddddddde-XX" is 14 characters at most.
  char text[24];
  const auto result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific);
  DigitsOfScientific(text, result.ptr, out);
  // Subtle: a single digit may be a power of ten just above the exact value (1E11 for
  // 99999997952), whose exponent is one too high; only the exact form gives the right one.
  if (out.count < 2) FiniteDigits(static_cast<double>(magnitude), out);
  return out;
}

DecimalDigits DecimalDigitsOfReal8(std::uint64_t bits) {
  DecimalDigits out;
  const bool negative = (bits >> 63) != 0;
  const std::uint64_t magnitudeBits = bits & 0x7FFFFFFFFFFFFFFFull;
  if ((magnitudeBits >> 52) == 0x7FF) {
    out.finite = false;
    out.special = SpecialText(negative, magnitudeBits & 0xFFFFFFFFFFFFFull, 0x8000000000000ull);
    return out;
  }
  if (magnitudeBits == 0) {
    SetZero(out);
    return out;
  }
  out.negative = negative;
  double magnitude;
  std::memcpy(&magnitude, &magnitudeBits, sizeof magnitude);
  FiniteDigits(magnitude, out);
  return out;
}

bool RoundDigits(DecimalDigits& value, int n) {
  if (n < 0) n = 0;
  if (value.count <= n) return false;
  if (value.digits[n] < '5') {
    value.count = n;
    bool anyNonZero = false;
    for (int i = 0; i < n; ++i) anyNonZero = anyNonZero || value.digits[i] != '0';
    if (!anyNonZero) value.negative = false;
    return false;
  }
  value.count = n;
  for (int i = n - 1; i >= 0; --i) {
    if (value.digits[i] != '9') {
      ++value.digits[i];
      return false;
    }
    value.digits[i] = '0';
  }
  // Every kept digit was 9 (or none was kept): 1 followed by n zeros, one power of ten higher.
  // n < count <= 17 here, so the n + 1 digits fit.
  value.digits[0] = '1';
  for (int i = 1; i <= n; ++i) value.digits[i] = '0';
  value.count = n + 1;
  ++value.exponent;
  return true;
}

}  // namespace fmtio
