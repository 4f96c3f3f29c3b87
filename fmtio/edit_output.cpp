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

int FloorDiv(int a, int b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Writes the decimal digits of |value| backwards from `end`; returns how many.
int ReverseDigits(std::uint64_t magnitude, char* end) {
  int n = 0;
  while (magnitude != 0) {
    *--end = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
    ++n;
  }
  return n;
}

}  // namespace

int EditInteger(std::int64_t value, int m, bool plusSigns, char* out) {
  if (m < 0) m = 0;
  if (m > kEditBufferSize - 12) return -1;
  const bool negative = value < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char digits[24];
  const int count = ReverseDigits(magnitude, digits + sizeof digits);
  int length = 0;
  if (negative) out[length++] = '-';
  else if (plusSigns && (m > 0 || count > 0)) out[length++] = '+';
  for (int i = count; i < m; ++i) out[length++] = '0';
  std::memcpy(out + length, digits + sizeof digits - count, static_cast<std::size_t>(count));
  return length + count;
}

int EditReal(const void* item, int type, const RealEdit& edit, int scale, bool plusSigns, char* out) {
  const bool single = type == kReal4 || type == kComplex8;
  DecimalDigits v;
  if (single) {
    std::uint32_t bits;
    std::memcpy(&bits, item, 4);
    v = DecimalDigitsOfReal4(bits);
  } else {
    std::uint64_t bits;
    std::memcpy(&bits, item, 8);
    v = DecimalDigitsOfReal8(bits);
  }
  const int w = edit.w, d = edit.d, e = edit.e;
  if (!v.finite) {
    // The special text, filled up with periods to the width and cut to it; no sign.
    const int n = std::min(w, kEditBufferSize);
    const int special = static_cast<int>(std::strlen(v.special));
    for (int i = 0; i < n; ++i) out[i] = i < special ? v.special[i] : '.';
    return n;
  }
  const bool zero = v.digits[0] == '0';
  const bool general = edit.kind == kEditG || (edit.kind == kExtended && edit.sub == kSubGD);
  const char letter = edit.kind == kEditD || (edit.kind == kExtended && (edit.sub == kSubED || edit.sub == kSubGD)) ? 'D' : 'E';
  Form form = Form::kExponent;
  if (edit.kind == kEditF) form = Form::kFixed;
  else if (edit.kind == kExtended && edit.sub == kSubES) form = Form::kScientific;
  else if (edit.kind == kExtended && edit.sub == kSubEN) form = Form::kEngineering;
  else if (general && (zero || (v.exponent >= 0 && v.exponent <= d))) form = Form::kGeneralFixed;

  // I: digits before the point; S: significant digits shown; shift: the exponent written is
  // X - shift.
  int I = 0, S = 0, shift = 0;
  switch (form) {
    case Form::kFixed:
      if (zero) {
        I = 0;
        S = d;
      } else {
        v.exponent += scale;  // the value is shown times 10^k
        I = v.exponent;
        S = v.exponent + d;
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
      // The exponent shown is the largest multiple of three below X, so that one to three
      // digits stand before the point; zero shows as 0.000...E+00.
      I = zero ? 1 : v.exponent - 3 * FloorDiv(v.exponent - 1, 3);
      S = I + d;
      shift = I;
      break;
    case Form::kGeneralFixed:
      I = zero ? 0 : v.exponent;
      S = d;
      break;
  }
  if (I < -d) {
    // No significant digit falls into the field: it shows zero, without a sign.
    I = -d;
    S = 0;
    v.negative = false;
    v.count = 0;
  }
  const int cap = single ? 7 : 16;
  if (RoundDigits(v, std::min(S, cap))) {
    if (form == Form::kFixed) {
      ++I;
      ++S;
    } else if (form == Form::kGeneralFixed) {
      ++I;
    } else if (form == Form::kEngineering) {
      // A carry into a fourth digit before the point moves to the next multiple of three.
      const int carried = v.exponent - 3 * FloorDiv(v.exponent - 1, 3);
      if (carried != I) {
        I = carried;
        S = I + d;
        shift = I;
        RoundDigits(v, std::min(S, cap));
      } else {
        shift = I;
      }
    }
  }
  if (S >= kEditBufferSize || S < 0) return -1;

  const bool exponent = form != Form::kFixed && form != Form::kGeneralFixed;
  const int expValue = zero ? 0 : v.exponent - shift;
  const int before = std::max(I, 0);
  const int after = S - before;
  const int blanks = form == Form::kGeneralFixed ? e + 2 : 0;
  const long long length = 1LL + (I == 0 && S == 0) + before + 1 + std::max(-I, 0) + after + (exponent ? e + 3 : 0) + blanks;
  if (length > kEditBufferSize) return -1;

  int n = 0;
  if (v.negative) out[n++] = '-';
  else if (plusSigns) out[n++] = '+';
  if (I == 0 && S == 0) out[n++] = '0';
  const auto digit = [&v](int index) { return index < v.count ? v.digits[index] : '0'; };
  for (int i = 0; i < before; ++i) out[n++] = digit(i);
  out[n++] = '.';
  for (int i = 0; i < -I; ++i) out[n++] = '0';
  for (int i = 0; i < after; ++i) out[n++] = digit(before + i);
  if (exponent) {
    const int magnitude = expValue < 0 ? -expValue : expValue;
    if (e == 2 && magnitude > 99) {
      // A three-digit exponent takes the place of the letter.
      if (magnitude > 999) return -1;
      out[n++] = expValue < 0 ? '-' : '+';
      n += EditInteger(magnitude, 3, false, out + n);
    } else {
      out[n++] = letter;
      char text[kEditBufferSize];
      const int written = EditInteger(expValue, e, true, text);
      if (written < 0 || written > e + 1) return -1;
      std::memcpy(out + n, text, static_cast<std::size_t>(written));
      n += written;
    }
  }
  for (int i = 0; i < blanks; ++i) out[n++] = ' ';
  return n;
}

// Z, O and B show the storage as one unsigned number, most significant digit first: numeric
// items by their little-endian value, CHARACTER items by their bytes in order.
int EditRadix(const void* item, int size, bool characterItem, int base, int m, char* out) {
  const unsigned char* bytes = static_cast<const unsigned char*>(item);
  const int bitsPerDigit = base == 16 ? 4 : base == 8 ? 3 : 1;
  const long long totalBits = 8LL * size;
  const long long digits = (totalBits + bitsPerDigit - 1) / bitsPerDigit;
  if (m < 0) m = 0;
  // Bit `i` counted from the most significant end.
  const auto bit = [&](long long i) {
    if (i < 0) return 0;
    const long long byte = i / 8;
    const long long index = characterItem ? byte : size - 1 - byte;
    return (bytes[index] >> (7 - i % 8)) & 1;
  };
  const long long lead = digits * bitsPerDigit - totalBits;  // padding bits of the top digit
  long long first = 0;
  const auto digitAt = [&](long long k) {
    int value = 0;
    for (int b = 0; b < bitsPerDigit; ++b) value = value * 2 + bit(k * bitsPerDigit + b - lead);
    return value;
  };
  while (first < digits && digitAt(first) == 0) ++first;
  const long long count = digits - first;
  const long long length = std::max<long long>(count, m);
  if (length > kEditBufferSize) return -1;
  int n = 0;
  for (long long i = count; i < m; ++i) out[n++] = '0';
  for (long long k = first; k < digits; ++k) out[n++] = "0123456789ABCDEF"[digitAt(k)];
  return n;
}

}  // namespace fmtio
