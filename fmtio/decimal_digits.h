// The decimal form of a real value, the basis of all real output editing.
#pragma once

#include <cstdint>

namespace fmtio {

// A real value as sign, decimal exponent X and significant digits: value = 0.D1D2... * 10^X with
// D1 not zero. Zero has the digits "0", exponent 0 and no sign.
struct DecimalDigits {
  bool negative = false;
  bool finite = true;
  int exponent = 0;           // X
  int count = 0;              // number of digits held (trailing zeros removed)
  char digits[18] = {};       // '0'..'9', at most 17 significant digits
  const char* special = "";   // when not finite: "1#INF", "1#QNAN", "1#SNAN" or "1#IND"
};

// The decimal digits of a REAL*4 given as its bit pattern, widened exactly to double precision
// and rounded to 17 significant digits. Signalling NaNs are classified without being loaded.
DecimalDigits DecimalDigitsOfReal4(std::uint32_t bits);

// The shortest digits that tell the REAL*4 apart from every other, with the exponent of its exact
// value. When they hold more than n + 1 digits, RoundDigits to n gives what it gives on the
// digits of DecimalDigitsOfReal4: no number of n + 1 digits lies between the exact value and
// them, so both round the same way. With fewer the exact digits are needed.
DecimalDigits ShortestDigitsOfReal4(std::uint32_t bits);

// The same for a REAL*8 bit pattern.
DecimalDigits DecimalDigitsOfReal8(std::uint64_t bits);

// Cuts the digit string to `n` digits (n >= 0), rounding half up; returns true when the rounding
// carried into a new leading digit (the exponent has then been increased by one). A negative
// value whose remaining digits are all zero loses its minus sign.
bool RoundDigits(DecimalDigits& value, int n);

}  // namespace fmtio
