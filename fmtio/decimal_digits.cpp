#include "fmtio/decimal_digits.h"

#include <charconv>
#include <cstring>

namespace fmtio {
namespace {

// Fills `out` with the 17 significant digits of a finite, nonzero magnitude.
void FiniteDigits(double magnitude, DecimalDigits& out) {
  // "d.dddddddddddddddde+XXX": 1 + 1 + 16 + 5 characters at most.
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 16);
  const char* end = result.ptr;
  const char* exponent = static_cast<const char*>(std::memchr(text, 'e', static_cast<std::size_t>(end - text)));
  int count = 0;
  out.digits[count++] = text[0];
  for (const char* p = text + 2; p < exponent; ++p) out.digits[count++] = *p;
  while (count > 1 && out.digits[count - 1] == '0') --count;
  out.count = count;
  int value = 0;
  std::from_chars(exponent + (exponent[1] == '+' ? 2 : 1), end, value);
  out.exponent = value + 1;
}

void Zero(DecimalDigits& out) {
  out.negative = false;
  out.exponent = 0;
  out.count = 1;
  out.digits[0] = '0';
}

}  // namespace

DecimalDigits DecimalDigitsOfReal4(std::uint32_t bits) {
  DecimalDigits out;
  const std::uint32_t exponentBits = (bits >> 23) & 0xFF;
  const std::uint32_t fraction = bits & 0x7FFFFF;
  out.negative = (bits >> 31) != 0;
  if (exponentBits == 0xFF) {
    // Non-finite values are classified from their bits: loading a signalling NaN would trap.
    out.finite = false;
    if (fraction == 0) out.special = "1#INF";
    else if ((fraction & 0x400000) == 0) out.special = "1#SNAN";
    else if (out.negative && fraction == 0x400000) out.special = "1#IND";
    else out.special = "1#QNAN";
    return out;
  }
  if ((bits & 0x7FFFFFFF) == 0) {
    Zero(out);
    return out;
  }
  float value;
  std::memcpy(&value, &bits, 4);
  FiniteDigits(value < 0 ? -static_cast<double>(value) : static_cast<double>(value), out);
  return out;
}

DecimalDigits DecimalDigitsOfReal8(std::uint64_t bits) {
  DecimalDigits out;
  const std::uint64_t exponentBits = (bits >> 52) & 0x7FF;
  const std::uint64_t fraction = bits & 0xFFFFFFFFFFFFFull;
  out.negative = (bits >> 63) != 0;
  if (exponentBits == 0x7FF) {
    out.finite = false;
    const std::uint64_t quiet = 0x8000000000000ull;
    if (fraction == 0) out.special = "1#INF";
    else if ((fraction & quiet) == 0) out.special = "1#SNAN";
    else if (out.negative && fraction == quiet) out.special = "1#IND";
    else out.special = "1#QNAN";
    return out;
  }
  if ((bits & 0x7FFFFFFFFFFFFFFFull) == 0) {
    Zero(out);
    return out;
  }
  double value;
  std::memcpy(&value, &bits, 8);
  FiniteDigits(value < 0 ? -value : value, out);
  return out;
}

bool RoundDigits(DecimalDigits& value, int n) {
  if (n < 0) n = 0;
  if (value.count <= n) return false;
  const char next = value.digits[n];
  if (next < '5') {
    value.count = n;
    bool anyNonZero = false;
    for (int i = 0; i < n; ++i) anyNonZero |= value.digits[i] != '0';
    if (!anyNonZero) value.negative = false;
    return false;
  }
  if (n == 0) {
    value.digits[0] = '1';
    value.count = 1;
    ++value.exponent;
    return true;
  }
  value.count = n;
  for (int i = n - 1; i >= 0; --i) {
    if (value.digits[i] != '9') {
      ++value.digits[i];
      return false;
    }
    value.digits[i] = '0';
  }
  // Every digit was 9: the value becomes 1 followed by n zeros, one power of ten higher.
  value.digits[0] = '1';
  for (int i = 1; i <= n && i < 17; ++i) value.digits[i] = '0';
  value.count = n + 1 <= 17 ? n + 1 : 17;
  ++value.exponent;
  return true;
}

}  // namespace fmtio
