// Input conversion: gathering a numeric field from a record and turning text into integer, real
// and logical values. Each routine returns 0 or the number of the run-time error.
#pragma once

#include <cstdint>

namespace fmtio {

// Result of gathering a numeric field (I, D, E, F, G) of width w from a record.
struct NumericField {
  char kept[64 + 8];  // the characters that go to the conversion (at most kMaxKept)
  int keptLength;     // number of kept characters; more than kMaxKept: error 6101/6103 by caller
  int consumed;       // characters of the record used up, including an ending comma
};

// The most characters kept for one numeric field; a longer field is an error of its conversion.
inline constexpr int kMaxKept = 64;

// Takes up to `w` characters from `record` (of which `available` remain before the record end)
// by the rules of numeric input fields: blanks and tabs dropped or read as zeros by the blank
// mode, a comma ends the field and is consumed, a carriage return or line feed ends it unread,
// leading zeros of an integer field dropped. Returns 0, or 6501 for the byte 26.
int GatherNumericField(const char* record, int available, int w, bool blankZero, bool integerField,
                       NumericField& field);

// Converts an integer text (sign, digits, or the radix form r#digits) into an item of type 1, 2
// or 3. An empty text is zero. Errors: 6100, 6101, 6302, 6303.
int ConvertInteger(const char* text, int length, int itemType, std::int32_t& value);

// Converts a real text into the nearest double. Without a decimal point the last `d` digits are
// the fraction; without an exponent the value is divided by 10^scale. `itemType` 11 or 14 checks
// the REAL*4 range. An empty text is zero. Errors: 6102, 6103, 6104.
int ConvertReal(const char* text, int length, int d, int scale, int itemType, double& value);

// The same conversion by the general way, for any text: the common shapes that ConvertReal
// converts straight give the same value and error here.
int ConvertRealGeneral(const char* text, int length, int d, int scale, int itemType, double& value);

// Converts a logical text: optional ".", then T, t, F or f. Error: 6507.
int ConvertLogical(const char* text, int length, bool& value);

}  // namespace fmtio
