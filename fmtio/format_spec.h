// Format specifications: compiling a format text into a FormatSpec, and walking it against the
// items of a statement with a FormatCursor.
#pragma once

#include <cstdint>
#include <vector>

#include "fmtio/item_types.h"
#include "runtime/run_time_error.h"

namespace fmtio {

// Kind of an entry of a compiled format (bits 0-4 of its code byte).
enum EntryKind : std::uint8_t {
  kLiteral = 2,      // count = length, then the characters
  kScale = 3,        // kP: count = k (signed)
  kEditA = 6,        // A, Aw
  kEditL = 7,        // Lw
  kEditI = 8,        // Iw, Iw.m
  kEditD = 9,        // Dw.d
  kEditE = 10,       // Ew.d, Ew.dEe
  kEditF = 11,       // Fw.d
  kEditG = 12,       // Gw.d, Gw.dEe
  kEditZ = 13,       // Z, Zw, Zw.m
  kGroupOpen = 14,   // ( or n(
  kExtended = 15,    // followed by a sub-kind byte
  kRecordEnd = 18,   // / or n/
  kColon = 19,       // : stop when no item is left
  kPlusOn = 21,      // SP
  kPlusOff = 22,     // S, SS
  kBlankNull = 23,   // BN
  kBlankZero = 24,   // BZ
  kDollar = 25,      // $ or backslash
  kGroupClose = 26,  // ) of an inner group
  kTabTo = 27,       // Tn
  kTabLeft = 28,     // TLn
  kTabRight = 29,    // TRn, nX
  kFinal = 30,       // final ), then a 16-bit reversion offset
  kError = 31,       // then the 16-bit run-time error number
};

// Sub-kind byte of a kExtended entry.
enum SubKind : std::uint8_t {
  kSubNone = 0,
  kSubES = 1,
  kSubEN = 2,
  kSubB = 3,   // base 2
  kSubO = 4,
  kSubQ = 5,
  kSubED = 6,  // Ew.dDe
  kSubGD = 7,  // Gw.dDe
};

// Code byte layout.
inline constexpr std::uint8_t kKindMask = 0x1F;
inline constexpr std::uint8_t kRepeatBit = 0x20;
inline constexpr int kParamShift = 6;
// A stored number at or below this is the k-th "^" placeholder, stored as kPlaceholderBase - k.
inline constexpr int kPlaceholderBase = -121;

// A compiled format: the entries as a byte string. Kept in a vector so that one buffer can be
// reused from one statement execution to the next.
using FormatSpec = std::vector<std::uint8_t>;

// Compiles `length` characters of `text` (-1: up to the first NUL) into `compiled`. Never fails: a
// bad text gives entries up to the bad spot followed by an error entry.
void CompileFormat(const char* text, int length, FormatSpec& compiled);

// What a format asks of the record while it is interpreted, supplied by the running statement.
class FormatRecord {
 public:
  virtual void Literal(const char* text, int count) = 0;  // output places it; input: error 6509
  virtual void EndRecord() = 0;                           // "/" and format reversion
  virtual void TabRight(int count) = 0;                   // nX, TRn
  virtual void TabLeft(int count) = 0;                    // TLn
  virtual void TabTo(int column) = 0;                     // Tn, column 1 first

 protected:
  ~FormatRecord() = default;
};

// The interpretation state of a FormatSpec for one statement.
struct FormatCursor {
  // The current data edit descriptor (valid after NextEditDescriptor returned true).
  std::uint8_t kind = 0;  // EntryKind of a data edit descriptor
  std::uint8_t sub = 0;   // SubKind when kind is kExtended
  int w = 0, d = 1, e = 2;

  int scale = 0;           // kP, kept across groups and reversion
  bool plusSigns = false;  // SP on
  bool blankZero = false;  // BZ on (input)
  bool suppressRecordEnd = false;  // "$" reached after the last item

  // Values for "^" placeholders, the k-th "^" taking values[k]; none by default.
  const int* placeholders = nullptr;
  int placeholderCount = 0;

  // Starts a statement: position at the first entry, counters cleared, modes off.
  void Reset(const FormatSpec& compiled, bool unitBlankZero);

  // Advances to the next data edit descriptor, performing the control entries on the way
  // through `record`. With `itemsRemain` true it returns true when the descriptor for the next
  // item is ready, false when format processing ended without one (the item then fails its type
  // check). With `itemsRemain` false it performs the entries up to where processing ends and
  // returns false. Format errors are raised as run-time errors.
  bool NextEditDescriptor(bool itemsRemain, FormatRecord& record);

 private:
  struct Group {
    std::uint32_t position;       // just after the group's open entry
    int passes;                   // passes still to make
    std::uint32_t effectsAtPass;  // effects_ when the current pass began
  };
  const std::uint8_t* compiled_ = nullptr;
  std::uint32_t position_ = 0;
  int repeat_ = 0;
  int top_ = -1;
  Group groups_[16];  // the open groups, groups_[0..top_]; each is set when it opens
  bool consumedSinceReversion_ = false;
  std::uint32_t effects_ = 0;  // entries performed that change the record or take an item
};

// Raises the error of an item whose class the descriptor does not accept (also when the format
// offered no descriptor for it).
[[noreturn]] inline void RaiseTypeError(ItemClass itemClass) {
  switch (itemClass) {
    case ItemClass::kCharacter: runtime::Raise(6205);
    case ItemClass::kReal: case ItemClass::kComplex: runtime::Raise(6206);
    case ItemClass::kLogical: runtime::Raise(6208);
    default: runtime::Raise(6207);
  }
}

}  // namespace fmtio
