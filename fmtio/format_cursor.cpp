// Walking a compiled format against the items of a statement: the FormatCursor performs the
// control entries through the statement's record and stops at each data edit descriptor.
#include "fmtio/format_spec.h"

#include "runtime/run_time_error.h"

namespace fmtio {

void FormatCursor::Reset(const FormatSpec& compiled, bool unitBlankZero) {
  compiled_ = compiled.data();
  position_ = 0;
  repeat_ = 0;
  top_ = -1;
  scale = 0;
  plusSigns = false;
  blankZero = unitBlankZero;
  suppressRecordEnd = false;
  consumedSinceReversion_ = false;
  effects_ = 0;
  kind = 0;
  sub = 0;
}

namespace {

// Reads a stored number at `at`, advancing it; placeholders take their run-time values.
int ReadLongNumber(const std::uint8_t* compiled, std::uint32_t& at, const int* values, int count);

inline int ReadNumber(const std::uint8_t* compiled, std::uint32_t& at, const int* values, int count) {
  const std::int8_t first = static_cast<std::int8_t>(compiled[at++]);
  return first != 127 ? first : ReadLongNumber(compiled, at, values, count);
}

// A number stored in the four bytes after the marker, or a placeholder.
int ReadLongNumber(const std::uint8_t* compiled, std::uint32_t& at, const int* values, int count) {
  std::uint32_t raw = 0;
  for (int i = 0; i < 4; ++i) raw |= static_cast<std::uint32_t>(compiled[at++]) << (8 * i);
  const int value = static_cast<int>(raw);
  if (value <= kPlaceholderBase) {
    const int index = kPlaceholderBase - value;
    if (index >= count) runtime::Raise(6980);
    return values[index];
  }
  return value;
}

int Read16(const std::uint8_t* compiled, std::uint32_t& at) {
  const int value = compiled[at] | (compiled[at + 1] << 8);
  at += 2;
  return value;
}

bool IsDataEdit(int kind) {
  return (kind >= kEditA && kind <= kEditZ) || kind == kExtended;
}

}  // namespace

bool FormatCursor::NextEditDescriptor(bool itemsRemain, FormatRecord& record) {
  if (--repeat_ >= 1) return itemsRemain;
  for (;;) {
    const std::uint32_t entryStart = position_;
    const std::uint8_t code = compiled_[position_++];
    const int entryKind = code & kKindMask;
    if (entryKind == kFinal) {
      const int offset = Read16(compiled_, position_);
      if (!itemsRemain || offset == 0) {
        position_ = entryStart;
        break;
      }
      // Subtle: a tail that consumes no item would end records forever; the waiting item then
      // meets the end of the format instead.
      if (!consumedSinceReversion_) {
        position_ = entryStart;
        break;
      }
      consumedSinceReversion_ = false;
      record.EndRecord();
      position_ = entryStart + 1 - static_cast<std::uint32_t>(offset);
      continue;
    }
    if (entryKind == kError) {
      position_ = entryStart;
      std::uint32_t at = entryStart + 1;
      runtime::Raise(Read16(compiled_, at));
    }
    std::uint8_t entrySub = 0;
    if (entryKind == kExtended) entrySub = compiled_[position_++];
    repeat_ = 0;
    w = 0;
    d = 1;
    e = 2;
    if (code & kRepeatBit) repeat_ = ReadNumber(compiled_, position_, placeholders, placeholderCount);
    const int params = code >> kParamShift;
    if (params > 0) w = ReadNumber(compiled_, position_, placeholders, placeholderCount);
    if (params > 1) d = ReadNumber(compiled_, position_, placeholders, placeholderCount);
    if (params > 2) e = ReadNumber(compiled_, position_, placeholders, placeholderCount);

    if (IsDataEdit(entryKind)) {
      if (!itemsRemain) {
        position_ = entryStart;
        repeat_ = 0;
        break;
      }
      kind = static_cast<std::uint8_t>(entryKind);
      sub = entrySub;
      consumedSinceReversion_ = true;
      ++effects_;
      return true;
    }
    // Literals, tabs and record ends count as effects, as data edit descriptors do.
    switch (entryKind) {
      case kLiteral: {
        ++effects_;
        const int count = repeat_;
        record.Literal(reinterpret_cast<const char*>(compiled_ + position_), count);
        position_ += static_cast<std::uint32_t>(count);
        break;
      }
      case kScale: scale = repeat_; break;
      case kPlusOn: plusSigns = true; break;
      case kPlusOff: plusSigns = false; break;
      case kBlankNull: blankZero = false; break;
      case kBlankZero: blankZero = true; break;
      case kTabRight: ++effects_; record.TabRight(w); break;
      case kTabLeft: ++effects_; record.TabLeft(w); break;
      case kTabTo: ++effects_; record.TabTo(w); break;
      case kRecordEnd: {
        ++effects_;
        const int count = (code & kRepeatBit) ? repeat_ : 1;
        for (int i = 0; i < count; ++i) record.EndRecord();
        break;
      }
      case kGroupOpen:
        groups_[++top_] = Group{position_, repeat_, effects_};
        break;
      case kGroupClose: {
        // Subtle: a pass that wrote nothing, moved nowhere and took no item (empty groups, modes
        // only) would do the same again, so the passes left are dropped rather than made:
        // (77770(277770())) ends at once instead of after 2E10 empty passes.
        Group& group = groups_[top_];
        if (--group.passes >= 1 && effects_ != group.effectsAtPass) {
          group.effectsAtPass = effects_;
          position_ = group.position;
        } else {
          --top_;
        }
        break;
      }
      case kColon:
        if (!itemsRemain) {
          repeat_ = 0;
          return false;
        }
        break;
      case kDollar:
        if (!itemsRemain) suppressRecordEnd = true;
        break;
      default: break;
    }
    repeat_ = 0;
  }
  repeat_ = 0;
  return false;
}

}  // namespace fmtio
