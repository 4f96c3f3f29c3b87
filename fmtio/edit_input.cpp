#include "fmtio/edit_input.h"

#include <charconv>
#include <cstring>
#include <string>

#include "fmtio/item_types.h"
#include "runtime/fp_traps.h"

namespace fmtio {
namespace {

constexpr double kReal4Max = 3.402823466385289e38;
constexpr int kExponentLimit = 5200;   // decimal exponents beyond this overflow or underflow
constexpr long long kExponentClamp = 1000000;
constexpr long long kSafeOrder = 300;  // values of 10^-300 to 10^300 convert without overflow or underflow

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of `c` as a digit of any base up to 36, or 99.
int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

int CheckRange(long long value, int itemType, std::int32_t& out) {
  if (itemType == kInteger1 && (value < -128 || value > 127)) return 6100;
  if (itemType == kInteger2 && (value < -32768 || value > 32767)) return 6100;
  out = static_cast<std::int32_t>(value);
  return 0;
}

// The radix form r#digits: r from 2 to 36, 16 when empty or 0. The digits give the 32-bit
// pattern, so values from 80000000 to FFFFFFFF (base 16) are the negative integers.
int ConvertRadix(const char* text, int length, int hash, int itemType, std::int32_t& out) {
  long long radix = 0;
  for (int i = 0; i < hash; ++i) {
    if (!IsDigit(text[i])) return 6101;
    radix = radix * 10 + (text[i] - '0');
    if (radix > 36) return 6303;
  }
  if (radix == 0) radix = 16;
  if (radix < 2) return 6303;
  unsigned long long value = 0;
  for (int i = hash + 1; i < length; ++i) {
    if (text[i] == '#') return 6302;
    const int digit = DigitValue(text[i]);
    if (digit >= radix) return 6101;
    value = value * static_cast<unsigned long long>(radix) + static_cast<unsigned long long>(digit);
    if (value > 0xFFFFFFFFull) return 6100;
  }
  const auto bits = static_cast<std::uint32_t>(value);
  std::int32_t signedValue;
  std::memcpy(&signedValue, &bits, 4);
  return CheckRange(signedValue, itemType, out);
}

int CheckReal4Range(int itemType, double value) {
  return (itemType == kReal4 || itemType == kComplex8) && (value > kReal4Max || value < -kReal4Max) ? 6104 : 0;
}

// The common shapes of a real, converted straight from the text: an optional sign, at most
// kPlainDigits digits with a point among them (or none, when `d` is 0), and an optional exponent
// letter E or e with an optional sign and one or two digits (or none, when `scale` is 0). The
// magnitude of such a number lies far inside the range of a double, so the conversion can
// neither overflow nor underflow and runs with the traps as they are. Returns false, leaving
// the text to the general conversion, for any other shape.
constexpr int kPlainDigits = 40;

bool ConvertPlainReal(const char* text, int length, int d, int scale, double& value) {
  const char* p = text;
  const char* const end = text + length;
  const bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+')) ++p;
  const char* const mantissa = p;
  int digits = 0;
  bool point = false;
  for (; p < end; ++p) {
    if (IsDigit(*p)) {
      ++digits;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0 || digits > kPlainDigits || (!point && d != 0)) return false;
  if (p < end) {
    if (*p != 'E' && *p != 'e') return false;
    const char* exponent = p + 1;
    if (exponent < end && (*exponent == '+' || *exponent == '-')) ++exponent;
    const long exponentDigits = end - exponent;
    if (exponentDigits < 1 || exponentDigits > 2 || !IsDigit(exponent[0]) || !IsDigit(end[-1])) return false;
  } else if (scale != 0) {
    return false;
  }
  double result = 0.0;
  const auto parsed = std::from_chars(mantissa, end, result);
  if (parsed.ec != std::errc() || parsed.ptr != end) return false;
  value = negative ? -result : result;
  return true;
}

}  // namespace

int GatherNumericField(const char* record, int available, int w, bool blankZero, bool integerField,
                       NumericField& field) {
  field.keptLength = 0;
  field.consumed = 0;
  bool anyKept = false;
  bool anySignificant = false;  // a digit of any radix: the zeros after it are not leading
  bool zeroDropped = false;     // leading zeros of an integer field were dropped
  bool afterExponentLetter = false;
  const int limit = w < available ? w : available;
  const auto keep = [&field](char c) {
    if (field.keptLength < kMaxKept) field.kept[field.keptLength] = c;
    ++field.keptLength;
  };
  for (int i = 0; i < limit; ++i) {
    char c = record[i];
    if (c == '\r' || c == '\n') break;
    field.consumed = i + 1;
    if (c == ',') break;
    if (c == 26) return 6501;
    if (c == ' ' || c == '\t') {
      // Blanks are dropped, or read as zeros after the first kept character (but never right
      // after an exponent letter).
      if (!blankZero || !anyKept || afterExponentLetter) {
        afterExponentLetter = false;
        continue;
      }
      c = '0';
    }
    // Leading zeros of an integer field are dropped, also before a sign ("0-5" reads -5); every
    // other character goes to the conversion unchanged.
    if (integerField && c == '0' && !anySignificant) {
      zeroDropped = true;
      continue;
    }
    zeroDropped = false;
    keep(c);
    anyKept = true;
    anySignificant = anySignificant || DigitValue(c) < 36;
    afterExponentLetter = c == 'E' || c == 'e';
  }
  if (zeroDropped) keep('0');  // a field of zeros alone, or a sign and zeros, is zero
  return 0;
}

int ConvertInteger(const char* text, int length, int itemType, std::int32_t& value) {
  value = 0;
  if (length <= 0) return 0;
  if (length == 11 && std::memcmp(text, "-2147483648", 11) == 0) {
    return CheckRange(-2147483648LL, itemType, value);
  }
  if (const void* hash = std::memchr(text, '#', static_cast<std::size_t>(length))) {
    return ConvertRadix(text, length, static_cast<int>(static_cast<const char*>(hash) - text), itemType, value);
  }
  int i = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '+' || text[0] == '-') ++i;
  if (i == length) return 6101;  // a sign alone is no number
  for (int k = i; k < length; ++k) {
    if (!IsDigit(text[k])) return 6101;
  }
  long long magnitude = 0;
  for (; i < length; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > 2147483647LL) return 6100;
  }
  return CheckRange(negative ? -magnitude : magnitude, itemType, value);
}

int ConvertReal(const char* text, int length, int d, int scale, int itemType, double& value) {
  if (ConvertPlainReal(text, length, d, scale, value)) return CheckReal4Range(itemType, value);
  return ConvertRealGeneral(text, length, d, scale, itemType, value);
}

int ConvertRealGeneral(const char* text, int length, int d, int scale, int itemType, double& value) {
  value = 0.0;
  int i = 0;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // The mantissa's significant digits (leading zeros dropped) and the place of the point.
  std::string digits;
  long long pointShift = 0;  // the value is digits * 10^pointShift before the exponent
  bool point = false;
  long long fractionDigits = 0, allDigits = 0;
  for (; i < length; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      ++allDigits;
      if (point) ++fractionDigits;
      if (c != '0' || !digits.empty()) digits += c;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  bool exponentGiven = false;
  long long exponent = 0;
  if (i < length && std::strchr("EeDd+-", text[i]) != nullptr && text[i] != '\0') {
    exponentGiven = true;
    const bool signForm = text[i] == '+' || text[i] == '-';
    if (!signForm) ++i;
    bool negativeExponent = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    const int exponentStart = i;
    for (; i < length && IsDigit(text[i]); ++i) {
      if (exponent < kExponentClamp) exponent = exponent * 10 + (text[i] - '0');
    }
    // An exponent needs digits: "1.5-", "1e+" and "E" are no numbers.
    if (i == exponentStart) return 6103;
    if (negativeExponent) exponent = -exponent;
  }
  if (i < length) return 6103;
  // Without a point the last d digits are the fraction; without an exponent the scale factor
  // divides the value by 10^k.
  pointShift = point ? -fractionDigits : -static_cast<long long>(d);
  if (!exponentGiven) exponent = -scale;
  (void)allDigits;
  if (digits.empty()) {
    value = negative ? -0.0 : 0.0;
    return 0;
  }
  const long long decimalExponent = exponent + pointShift;  // value = digits * 10^decimalExponent
  const long long magnitudeOrder = decimalExponent + static_cast<long long>(digits.size());
  if (magnitudeOrder > kExponentLimit) return 6102;
  if (magnitudeOrder < -kExponentLimit) {
    value = negative ? -0.0 : 0.0;
    return 0;
  }
  digits += 'e';
  digits += std::to_string(decimalExponent);
  double result = 0.0;
  const auto convert = [&] { return std::from_chars(digits.data(), digits.data() + digits.size(), result); };
  std::from_chars_result parsed;
  if (magnitudeOrder > -kSafeOrder && magnitudeOrder < kSafeOrder) {
    parsed = convert();  // far inside the range: nothing can trap
  } else {
    const runtime::TrapsMasked masked;
    parsed = convert();
  }
  if (parsed.ec == std::errc::result_out_of_range) {
    if (magnitudeOrder > 0) return 6102;
    result = 0.0;
  }
  value = negative ? -result : result;
  return CheckReal4Range(itemType, value);
}

int ConvertLogical(const char* text, int length, bool& value) {
  int i = 0;
  if (i < length && text[i] == '.') ++i;
  if (i >= length) return 6507;
  switch (text[i]) {
    case 'T': case 't': value = true; return 0;
    case 'F': case 'f': value = false; return 0;
    default: return 6507;
  }
}

}  // namespace fmtio
