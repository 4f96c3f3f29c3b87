// Output editing of one field: integers, reals and the base-16, base-8 and base-2 forms.
#pragma once

#include <cstdint>

namespace fmtio {

// Every field is edited into one buffer of this size before it is placed.
inline constexpr int kEditBufferSize = 520;

// Edits `value` as Iw.m: sign, leading zeros up to `m` digits, the digits. Writes the text to
// `out` (at least 12 + m characters) and returns its length. A zero with m = 0 has no digits.
// The plus sign is shown in plus-sign mode when the field is not empty.
int EditInteger(std::int64_t value, int m, bool plusSigns, char* out);

// A real data edit descriptor as the format cursor holds it.
struct RealEdit {
  std::uint8_t kind;  // kEditD, kEditE, kEditF, kEditG or kExtended
  std::uint8_t sub;   // kSubES, kSubEN, kSubED, kSubGD when kind is kExtended
  int w, d, e;
};

// Edits one REAL*4 (type 11) or REAL*8 (type 12) value, given by its storage bytes, under the
// descriptor, scale factor and plus-sign mode. Writes the text to `out` (kEditBufferSize
// characters) and returns its length, or -1 when the value cannot be shown as digits in this
// field (exponent too wide for e, or more digits than the edit buffer holds). The caller writes
// w asterisks when the result is -1 or greater than w.
int EditReal(const void* item, int type, const RealEdit& edit, int scale, bool plusSigns, char* out);

// Edits an item's storage as digits of base 16, 8 or 2 (Z, O, B) with a minimum of m digits.
// Returns the length, or -1 when the digits would not fit the edit buffer.
int EditRadix(const void* item, int size, bool characterItem, int base, int m, char* out);

}  // namespace fmtio
