#include "fmtio/edit_output.h"

#include <algorithm>
#include <cstring>

#include "fmtio/decimal_digits.h"
#include "fmtio/format_spec.h"
#include "fmtio/item_types.h"

namespace fmtio {
namespace {

// The shape of a real field once the descriptor and the value are known.
enum class Form { kFixed, kExponent, kScientific, kEngineering, kGeneralFixed };

// Widths, digit counts and scale factors may each be as large as a format number allows, so
// the field's geometry is worked out in 64 bits.
using Wide = long long;

constexpr char kDigitChars[] = "0123456789ABCDEF";

Wide FloorDiv(Wide a, Wide b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Digits before the point in engineering form for exponent X: 1, 2 or 3, so that the exponent
// shown, X minus this, is the largest multiple of three below X.
Wide EngineeringLead(Wide X) { return X - 3 * FloorDiv(X - 1, 3); }

// Number of decimal digits of `magnitude`; 0 for 0.
int DigitCount(std::uint64_t magnitude) {
  int n = 0;
  for (; magnitude != 0; magnitude /= 10) ++n;
  return n;
}

// The digits of the item; a REAL*4 starts from its shortest digits, which EditReal replaces by
// the exact ones where they cannot decide the rounding.
DecimalDigits DigitsOfItem(const void* item, bool single) {
  if (single) {
    std::uint32_t bits;
    std::memcpy(&bits, item, sizeof bits);
    return ShortestDigitsOfReal4(bits);
  }
  std::uint64_t bits;
  std::memcpy(&bits, item, sizeof bits);
  return DecimalDigitsOfReal8(bits);
}

}  // namespace

// Returns -1, rather than writing past the edit buffer, when m asks for more digits than it
// holds. Integer items are at most 4 bytes, which keeps the text within 12 + m characters.
int EditInteger(std::int64_t value, int m, bool plusSigns, char* out) {
  if (m < 0) m = 0;
  const bool negative = value < 0;
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  // The digits, the last first: a 64-bit magnitude has at most 20.
  char reversed[20];
  int count = 0;
  for (; magnitude != 0; magnitude /= 10) reversed[count++] = static_cast<char>('0' + magnitude % 10);
  const bool sign = negative || (plusSigns && (m > 0 || count > 0));
  const Wide length = Wide{sign} + std::max(m, count);
  if (length > kEditBufferSize) return -1;
  int n = 0;
  if (sign) out[n++] = negative ? '-' : '+';
  for (int i = count; i < m; ++i) out[n++] = '0';
  while (count > 0) out[n++] = reversed[--count];
  return n;
}

// Besides F, E, D, G and ES, two shapes are this system's own choice:
// - EN shows the exponent as the largest multiple of three below X, with I = X minus it (1 to 3
//   digits before the point) and S = I + d; the scale factor does not apply. A rounding carry
//   that would put a fourth digit before the point moves on to the next multiple of three
//   (999.96 in EN12.1 is 1.0E+03). Zero is "0." with d zeros and exponent 0.
// - G edits as E (with the scale factor) when X, taken before rounding, is below 0 or above d;
//   otherwise, and for zero, as F with d - X decimals (I = X, S = d, no scale factor) followed by
//   e + 2 blanks. A carry there adds a digit before the point and S stays.
int EditReal(const void* item, int type, const RealEdit& edit, int scale, bool plusSigns, char* out) {
  const bool single = type == kReal4 || type == kComplex8;
  DecimalDigits v = DigitsOfItem(item, single);
  const Wide w = edit.w, d = edit.d, e = edit.e;
  if (!v.finite) {
    // The special text filled up with periods to the width, or cut to it; never a sign.
    const int n = static_cast<int>(std::clamp<Wide>(w, 0, kEditBufferSize));
    const int special = static_cast<int>(std::strlen(v.special));
    for (int i = 0; i < n; ++i) out[i] = i < special ? v.special[i] : '.';
    return n;
  }
  const bool zero = v.digits[0] == '0';
  const bool extended = edit.kind == kExtended;
  const bool general = edit.kind == kEditG || (extended && edit.sub == kSubGD);
  const char letter =
      edit.kind == kEditD || (extended && (edit.sub == kSubED || edit.sub == kSubGD)) ? 'D' : 'E';
  Wide X = v.exponent;
  Form form = Form::kExponent;
  if (edit.kind == kEditF) form = Form::kFixed;
  else if (extended && edit.sub == kSubES) form = Form::kScientific;
  else if (extended && edit.sub == kSubEN) form = Form::kEngineering;
  else if (general && X >= 0 && X <= d) form = Form::kGeneralFixed;  // zero has X = 0

  // I: digits before the point; S: significant digits shown; the exponent written is X - shift.
  Wide I = 0, S = 0, shift = 0;
  switch (form) {
    case Form::kFixed:
      if (zero) {
        S = d;
      } else {
        X += scale;  // the value is shown times 10^k
        I = X;
        S = X + d;
      }
      break;
    case Form::kExponent:
      I = scale;
      S = scale > 0 ? d + 1 : d + scale;
      shift = scale;
      break;
    case Form::kScientific:
      I = 1;
      S = d + 1;
      shift = 1;
      break;
    case Form::kEngineering:
      I = zero ? 1 : EngineeringLead(X);
      S = I + d;
      shift = I;
      break;
    case Form::kGeneralFixed:
      I = X;
      S = d;
      break;
  }
  const int cap = single ? 7 : 16;
  if (single && !zero && v.count <= std::clamp<Wide>(S, 0, cap) + 1) {
    // The shortest digits of a REAL*4 cannot decide rounding to `shown` digits: the exact ones.
    std::uint32_t bits;
    std::memcpy(&bits, item, sizeof bits);
    v = DecimalDigitsOfReal4(bits);
  }
  if (I < -d) {
    // No significant digit falls into the field: it shows zero, without a minus sign.
    I = -d;
    S = 0;
    v.count = 0;
    v.negative = false;
  }
  if (RoundDigits(v, static_cast<int>(std::min<Wide>(S, cap)))) {
    ++X;
    if (form == Form::kFixed) {
      ++I;
      ++S;
    } else if (form == Form::kGeneralFixed) {
      ++I;
    } else if (form == Form::kEngineering) {
      I = EngineeringLead(X);
      S = I + d;
      shift = I;
      RoundDigits(v, static_cast<int>(std::min<Wide>(S, cap)));
    }
  }
  if (S >= kEditBufferSize) return -1;

  // The whole length first, so that a field that cannot fit leaves nothing half written.
  const bool sign = v.negative || plusSigns;
  const bool leadZero = I == 0 && S == 0;
  const Wide before = std::max<Wide>(I, 0);
  const Wide zerosAfter = std::max<Wide>(-I, 0);
  const Wide after = std::max<Wide>(S - before, 0);
  const bool exponent = form != Form::kFixed && form != Form::kGeneralFixed;
  const Wide expValue = zero ? 0 : X - shift;
  const std::uint64_t expMagnitude = static_cast<std::uint64_t>(expValue < 0 ? -expValue : expValue);
  // Subtle: with the default width e = 2 an exponent beyond 99 gives up its letter for a third
  // digit; any other exponent that needs more than e digits overflows the field.
  const bool threeDigits = exponent && e == 2 && expMagnitude > 99;
  Wide expLength = 0;
  if (threeDigits) {
    if (expMagnitude > 999) return -1;
    expLength = 4;
  } else if (exponent) {
    const Wide count = DigitCount(expMagnitude);
    const Wide shown = std::max<Wide>(e, count);
    const Wide number = shown > 0 ? shown + 1 : 0;  // EditInteger signs a field that is not empty
    if (number > e + 1) return -1;
    expLength = 1 + number;
  }
  const Wide blanks = form == Form::kGeneralFixed ? e + 2 : 0;
  const Wide length = Wide{sign} + leadZero + before + 1 + zerosAfter + after + expLength + blanks;
  if (length > kEditBufferSize) return -1;

  int n = 0;
  if (sign) out[n++] = v.negative ? '-' : '+';
  if (leadZero) out[n++] = '0';
  // Digits beyond the rounded string are zeros.
  const auto digit = [&v](Wide index) { return index < v.count ? v.digits[index] : '0'; };
  for (Wide i = 0; i < before; ++i) out[n++] = digit(i);
  out[n++] = '.';
  for (Wide i = 0; i < zerosAfter; ++i) out[n++] = '0';
  const Wide held = std::clamp<Wide>(v.count - before, 0, after);
  if (held > 0) std::memcpy(out + n, v.digits + before, static_cast<std::size_t>(held));
  n += static_cast<int>(held);
  for (Wide i = held; i < after; ++i) out[n++] = '0';
  if (threeDigits) {
    out[n++] = expValue < 0 ? '-' : '+';
    std::uint64_t rest = expMagnitude;
    for (int i = 2; i >= 0; --i, rest /= 10) out[n + i] = static_cast<char>('0' + rest % 10);
    n += 3;
  } else if (exponent) {
    out[n++] = letter;
    if (e == 2 && expMagnitude <= 99) {
      // The usual exponent: its sign and two digits.
      out[n++] = expValue < 0 ? '-' : '+';
      out[n++] = static_cast<char>('0' + expMagnitude / 10);
      out[n++] = static_cast<char>('0' + expMagnitude % 10);
    } else {
      n += EditInteger(expValue, static_cast<int>(e), true, out + n);
    }
  }
  for (Wide i = 0; i < blanks; ++i) out[n++] = ' ';
  return n;
}

// Z, O and B show the storage as one unsigned number, most significant digit first, with
// leading zeros up to m digits and no sign: numeric items by their little-endian value,
// CHARACTER items by their bytes in order, the first the most significant. A zero with m = 0
// has no digits.
int EditRadix(const void* item, int size, bool characterItem, int base, int m, char* out) {
  const unsigned char* bytes = static_cast<const unsigned char*>(item);
  const int bitsPerDigit = base == 16 ? 4 : base == 8 ? 3 : 1;
  if (m < 0) m = 0;
  if (size < 0) size = 0;
  const Wide totalBits = Wide{8} * size;
  const Wide digits = (totalBits + bitsPerDigit - 1) / bitsPerDigit;
  // The top digit of base 8 may reach above the storage; those bits count as zero.
  const Wide padding = digits * bitsPerDigit - totalBits;
  // Bit i of the number, counted from its most significant end.
  const auto bit = [&](Wide i) -> int {
    if (i < 0) return 0;
    const Wide byte = i / 8;
    return (bytes[characterItem ? byte : size - 1 - byte] >> (7 - i % 8)) & 1;
  };
  const auto digitAt = [&](Wide k) {
    int value = 0;
    for (int b = 0; b < bitsPerDigit; ++b) value = value * 2 + bit(k * bitsPerDigit + b - padding);
    return value;
  };
  Wide first = 0;
  while (first < digits && digitAt(first) == 0) ++first;
  const Wide count = digits - first;
  if (std::max<Wide>(count, m) > kEditBufferSize) return -1;
  int n = 0;
  for (Wide i = count; i < m; ++i) out[n++] = '0';
  for (Wide k = first; k < digits; ++k) out[n++] = kDigitChars[digitAt(k)];
  return n;
}

}  // namespace fmtio
