// Item type codes shared by READ and WRITE statements, and the statement option bits.
#pragma once

namespace fmtio {

// The default unit "*".
inline constexpr int kDefaultUnit = -34000;

// Type code of one item handed to WriteItem or ReadItem.
enum ItemType : int {
  kInteger1 = 1,
  kInteger2 = 2,
  kInteger4 = 3,
  kLogical1 = 6,
  kLogical2 = 7,
  kLogical4 = 8,
  kCharacter = 10,
  kReal4 = 11,
  kReal8 = 12,
  kComplex8 = 14,
  kComplex16 = 15,
};

// The class of an item type, which decides the descriptors it accepts.
enum class ItemClass { kInteger, kLogical, kCharacter, kReal, kComplex, kInvalid };

constexpr ItemClass ClassOf(int type) {
  switch (type) {
    case kInteger1: case kInteger2: case kInteger4: return ItemClass::kInteger;
    case kLogical1: case kLogical2: case kLogical4: return ItemClass::kLogical;
    case kCharacter: return ItemClass::kCharacter;
    case kReal4: case kReal8: return ItemClass::kReal;
    case kComplex8: case kComplex16: return ItemClass::kComplex;
    default: return ItemClass::kInvalid;
  }
}

// Storage size in bytes of one element of a non-character type (0 for CHARACTER and invalid).
constexpr int SizeOf(int type) {
  switch (type) {
    case kInteger1: case kLogical1: return 1;
    case kInteger2: case kLogical2: return 2;
    case kInteger4: case kLogical4: case kReal4: return 4;
    case kReal8: case kComplex8: return 8;
    case kComplex16: return 16;
    default: return 0;
  }
}

// Option bits of a statement.
inline constexpr int kErrorBranch = 1;  // error branch or status variable: errors are returned
inline constexpr int kEndBranch = 2;    // READ only: end of file returns -1

}  // namespace fmtio
