#include "fmtio/read_statement.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fmtio/edit_input.h"
#include "fmtio/format_spec.h"
#include "fmtio/io_unit.h"
#include "fmtio/string_unit.h"
#include "fmtio/read_error.h"
#include "runtime/run_time_error.h"

namespace fmtio {
namespace {

constexpr int kValueBufferSize = 260;

// The shape of a list-directed value.
enum class ValueForm { kPlain, kCharacter, kComplex };

// The one READ statement that can be active.
struct ReadStatement {
  int unit = 0;
  int options = 0;
  bool formatted = false;
  bool started = false;
  bool recordTaken = false;  // a record was read by this statement
  int error = 0;             // the error that abandoned the statement, or 0
  IoUnit* io = nullptr;
  ReadMark mark;             // where the value or field being read began
  FormatSpec compiled;
  FormatCursor cursor;

  // List-directed state.
  bool commaConsumed = true;  // the separator after the last value held a comma (or: start)
  bool slash = false;         // a slash ended the list
  int repeatLeft = 0;         // further elements of a pending r*
  bool repeatNull = false;    // ... which are null values
  ValueForm form = ValueForm::kPlain;
  char value[kValueBufferSize];
  int valueLength = 0;
  int imagStart = 0;          // complex: the imaginary part starts here in `value` (-1: no comma)
  bool valueOverflow = false; // the value had more characters than the buffer holds
};

ReadStatement statement;

void Check(int error) {
  if (error != 0) runtime::Raise(error);
}

IoUnit& Io() { return *statement.io; }

void TakeRecord() {
  NextInputRecord(Io());
  ++Io().recordsRead;
  statement.recordTaken = true;
}

void EnsureRecord() {
  if (!Io().haveLine) TakeRecord();
}

// ---- Storing values --------------------------------------------------------------------------

void StoreInteger(int type, void* address, std::int32_t value) {
  switch (type) {
    case kInteger1: { const auto v = static_cast<std::int8_t>(value); std::memcpy(address, &v, 1); break; }
    case kInteger2: { const auto v = static_cast<std::int16_t>(value); std::memcpy(address, &v, 2); break; }
    default: std::memcpy(address, &value, 4);
  }
}

void StoreLogical(int type, void* address, bool value) {
  const std::int32_t v = value ? 1 : 0;
  const int size = SizeOf(type);
  std::memset(address, 0, static_cast<std::size_t>(size));
  std::memcpy(address, &v, 1);
}

// Stores a converted real into a REAL*4 or REAL*8 element; the range was checked by the
// conversion, so the narrowing cannot overflow.
void StoreReal(int type, void* address, double value) {
  if (type == kReal4 || type == kComplex8) {
    const float v = static_cast<float>(value);
    std::memcpy(address, &v, 4);
  } else {
    std::memcpy(address, &value, 8);
  }
}

int PartType(int type) { return type == kComplex8 ? kReal4 : type == kComplex16 ? kReal8 : type; }

// ---- Formatted input -------------------------------------------------------------------------

class InputRecord final : public FormatRecord {
 public:
  void Literal(const char*, int) override { runtime::Raise(6509); }
  void EndRecord() override { TakeRecord(); }
  void TabRight(int count) override { MoveTo(static_cast<long long>(Io().linePosition) + count); }
  void TabLeft(int count) override { MoveTo(static_cast<long long>(Io().linePosition) - count); }
  void TabTo(int column) override { MoveTo(static_cast<long long>(column) - 1); }

 private:
  static void MoveTo(long long position) {
    Io().linePosition = static_cast<int>(std::clamp<long long>(position, 0, Io().lineEnd));
  }
};

// The most bytes a kept field of base-16 digits can fill; the bytes of a longer item above
// them are zero.
constexpr int kRadixBytes = kMaxKept / 2;

// Z, B and O input: the digits of base 16, 2 or 8 stored little-endian into the item's bytes.
void ReadRadix(const NumericField& field, int base, void* address, int size) {
  if (field.keptLength > kMaxKept) runtime::Raise(6100);
  const int span = std::min(size, kRadixBytes);
  unsigned char bytes[kRadixBytes] = {};
  for (int i = 0; i < field.keptLength; ++i) {
    const char c = field.kept[i];
    int digit = c >= '0' && c <= '9' ? c - '0'
              : c >= 'a' && c <= 'z' ? c - 'a' + 10
              : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                     : 99;
    if (digit >= base) runtime::Raise(6101);
    // bytes = bytes * base + digit, with a carry out of the item's size being an overflow.
    for (int b = 0; b < span; ++b) {
      const int v = bytes[b] * base + digit;
      bytes[b] = static_cast<unsigned char>(v & 0xFF);
      digit = v >> 8;
    }
    if (digit != 0) runtime::Raise(6100);
  }
  std::memcpy(address, bytes, static_cast<std::size_t>(span));
  std::memset(static_cast<char*>(address) + span, 0, static_cast<std::size_t>(size - span));
}

void ReadCharacters(void* address, int length, int width) {
  IoUnit& io = Io();
  const int w = width == 0 ? length : width;
  int available = io.lineEnd - io.linePosition;
  int take = w;
  if (w > length) {
    const int skip = std::min(w - length, available);
    io.linePosition += skip;
    available -= skip;
    take = length;
  }
  const int n = std::min(take, available);
  if (n < take && io.padNo) runtime::Raise(6601);
  char* target = static_cast<char*>(address);
  std::memcpy(target, io.line.data() + io.linePosition, static_cast<std::size_t>(n));
  std::memset(target + n, ' ', static_cast<std::size_t>(length - n));
  io.linePosition += n;
}

// Reads one field under the cursor's descriptor into an element of `type`.
void ReadField(int type, void* address, int length) {
  IoUnit& io = Io();
  statement.mark = {io.recordsRead, io.linePosition};
  FormatCursor& cursor = statement.cursor;
  const ItemClass itemClass = ClassOf(type);
  std::uint8_t kind = cursor.kind;
  const std::uint8_t sub = kind == kExtended ? cursor.sub : std::uint8_t{kSubNone};
  if (kind == kEditG || sub == kSubGD) {
    if (itemClass == ItemClass::kInteger) kind = kEditI;
    if (itemClass == ItemClass::kLogical) kind = kEditL;
    if (itemClass == ItemClass::kCharacter) kind = kEditA;
  }
  if (kind == kEditA) {
    ReadCharacters(address, type == kCharacter ? length : SizeOf(type), cursor.w);
    return;
  }
  if (sub == kSubQ) {
    if (itemClass != ItemClass::kInteger) RaiseTypeError(itemClass);
    StoreInteger(type, address, io.lineEnd - io.linePosition);
    return;
  }
  NumericField field;
  const auto gather = [&](bool integerField, bool blankZero) {
    Check(GatherNumericField(io.line.data() + io.linePosition, io.lineEnd - io.linePosition, cursor.w,
                             blankZero, integerField, field));
    io.linePosition += field.consumed;
  };
  const int radix = kind == kEditZ ? 16 : sub == kSubO ? 8 : sub == kSubB ? 2 : 0;
  if (radix != 0) {
    gather(false, cursor.blankZero);
    ReadRadix(field, radix, address, type == kCharacter ? length : SizeOf(type));
    return;
  }
  switch (itemClass) {
    case ItemClass::kInteger: {
      if (kind != kEditI) RaiseTypeError(itemClass);
      gather(true, cursor.blankZero);
      if (field.keptLength > kMaxKept) runtime::Raise(6100);
      std::int32_t value = 0;
      Check(ConvertInteger(field.kept, field.keptLength, type, value));
      StoreInteger(type, address, value);
      return;
    }
    case ItemClass::kLogical: {
      if (kind != kEditL) RaiseTypeError(itemClass);
      gather(false, false);
      bool value = false;
      Check(ConvertLogical(field.kept, std::min(field.keptLength, kMaxKept), value));
      StoreLogical(type, address, value);
      return;
    }
    case ItemClass::kReal:
    case ItemClass::kComplex: {
      const bool real = kind == kEditD || kind == kEditE || kind == kEditF || kind == kEditG ||
                        (kind == kExtended && sub != kSubQ);
      if (!real) RaiseTypeError(itemClass);
      gather(false, cursor.blankZero);
      if (field.keptLength > kMaxKept) runtime::Raise(6103);
      double value = 0;
      Check(ConvertReal(field.kept, field.keptLength, cursor.d, cursor.scale, type, value));
      StoreReal(type, address, value);
      return;
    }
    default: RaiseTypeError(itemClass);
  }
}

void ReadFormatted(int type, void* address, int length) {
  static InputRecord record;
  const ItemClass itemClass = ClassOf(type);
  if (itemClass == ItemClass::kComplex) {
    const int part = PartType(type);
    const int size = SizeOf(part);
    for (int i = 0; i < 2; ++i) {
      if (!statement.cursor.NextEditDescriptor(true, record)) RaiseTypeError(itemClass);
      ReadField(part, static_cast<char*>(address) + static_cast<std::ptrdiff_t>(i) * size, 0);  // each part is a real of its own
    }
    return;
  }
  if (!statement.cursor.NextEditDescriptor(true, record)) RaiseTypeError(itemClass);
  ReadField(type, address, length);
}

// ---- List-directed input ---------------------------------------------------------------------

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '/'; }

void AddChar(char c) {
  if (statement.valueLength < kValueBufferSize) statement.value[statement.valueLength++] = c;
  else statement.valueOverflow = true;
}

// After a value: a comma directly after it is consumed as its separator.
void EndValue() {
  IoUnit& io = Io();
  if (io.linePosition < io.lineEnd && io.line[static_cast<std::size_t>(io.linePosition)] == ',') {
    ++io.linePosition;
    statement.commaConsumed = true;
  }
}

void ScanCharacterConstant(char delimiter) {
  IoUnit& io = Io();
  for (;;) {
    if (io.linePosition >= io.lineEnd) {
      // The constant goes on in the next record, whose first character is dropped.
      TakeRecord();
      io.linePosition = std::min(1, io.lineEnd);
      continue;
    }
    const char c = io.line[static_cast<std::size_t>(io.linePosition++)];
    if (c == delimiter) {
      if (io.linePosition < io.lineEnd && io.line[static_cast<std::size_t>(io.linePosition)] == delimiter) {
        ++io.linePosition;
        AddChar(c);
        continue;
      }
      return;
    }
    AddChar(c);
  }
}

// A complex value "(re, im)": blanks and record ends inside are ignored. A missing comma is an
// error of complex items only: any other item refuses the parenthesised form as such.
void ScanComplex() {
  IoUnit& io = Io();
  bool comma = false;
  statement.imagStart = -1;
  for (;;) {
    if (io.linePosition >= io.lineEnd) {
      TakeRecord();
      continue;
    }
    const char c = io.line[static_cast<std::size_t>(io.linePosition++)];
    if (c == ' ' || c == '\t') continue;
    if (c == ')') break;
    if (c == ',' && !comma) {
      comma = true;
      statement.imagStart = statement.valueLength;
      continue;
    }
    AddChar(c);
  }
}

enum class Scanned { kValue, kNull, kSlash };

// Subtle: a carriage return inside a line, not the one before its line feed, ends the record for
// formatted fields; between list-directed values it separates like a blank, so that the values
// after it on the line are read rather than silently dropped. Returns true when one was passed.
bool PassInnerCarriageReturn(IoUnit& io) {
  const std::size_t next = static_cast<std::size_t>(io.lineEnd) + 1;
  if (io.linePosition != io.lineEnd || next >= io.line.size()) return false;
  const std::size_t cr = io.line.find('\r', next);
  io.lineEnd = static_cast<int>(cr == std::string::npos ? io.line.size() : cr);
  ++io.linePosition;
  return true;
}

// Scans the next value of the list into the value buffer.
Scanned ScanValue() {
  IoUnit& io = Io();
  for (;;) {
    EnsureRecord();
    if (io.linePosition >= io.lineEnd) {
      if (PassInnerCarriageReturn(io)) continue;
      io.haveLine = false;  // a record end counts as a blank
      continue;
    }
    const char c = io.line[static_cast<std::size_t>(io.linePosition)];
    if (c == ' ' || c == '\t') {
      ++io.linePosition;
    } else if (c == ',') {
      ++io.linePosition;
      if (statement.commaConsumed) return Scanned::kNull;
      statement.commaConsumed = true;
    } else if (c == '/') {
      ++io.linePosition;
      return Scanned::kSlash;
    } else {
      break;
    }
  }
  statement.mark = {io.recordsRead, io.linePosition};
  statement.commaConsumed = false;
  statement.valueLength = 0;
  statement.valueOverflow = false;
  statement.form = ValueForm::kPlain;

  // A repeat count r*: digits followed directly by an asterisk.
  const auto repeatLength = [&io]() {
    const auto at = [&io](int n) { return static_cast<std::size_t>(io.linePosition) + static_cast<std::size_t>(n); };
    const auto end = static_cast<std::size_t>(io.lineEnd);
    int n = 0;
    while (at(n) < end && io.line[at(n)] >= '0' && io.line[at(n)] <= '9') ++n;
    const bool star = n > 0 && at(n) < end && io.line[at(n)] == '*';
    return star ? n : 0;
  };
  int repeat = 1;
  if (const int digits = repeatLength(); digits > 0) {
    std::int32_t count = 0;
    Check(ConvertInteger(io.line.data() + io.linePosition, digits, kInteger4, count));
    if (count == 0) runtime::Raise(6502);
    io.linePosition += digits + 1;
    if (repeatLength() > 0) runtime::Raise(6503);
    repeat = count;
    if (io.linePosition >= io.lineEnd || IsSeparator(io.line[static_cast<std::size_t>(io.linePosition)])) {
      EndValue();
      statement.repeatLeft = repeat - 1;
      statement.repeatNull = true;
      return Scanned::kNull;
    }
  }
  const char first = io.line[static_cast<std::size_t>(io.linePosition)];
  if (first == '\'' || first == '"') {
    ++io.linePosition;
    statement.form = ValueForm::kCharacter;
    ScanCharacterConstant(first);
  } else if (first == '(') {
    ++io.linePosition;
    statement.form = ValueForm::kComplex;
    ScanComplex();
  } else {
    while (io.linePosition < io.lineEnd && !IsSeparator(io.line[static_cast<std::size_t>(io.linePosition)])) {
      AddChar(io.line[static_cast<std::size_t>(io.linePosition++)]);
    }
  }
  EndValue();
  statement.repeatLeft = repeat - 1;
  statement.repeatNull = false;
  return Scanned::kValue;
}

// Gives the value in the buffer to an element of `type`.
void AssignValue(int type, void* address, int length) {
  const ItemClass itemClass = ClassOf(type);
  const ValueForm form = statement.form;
  const char* text = statement.value;
  const int n = statement.valueLength;
  if (itemClass == ItemClass::kCharacter) {
    if (form == ValueForm::kComplex) runtime::Raise(6504);
    const int copied = std::min(n, length);
    std::memcpy(address, text, static_cast<std::size_t>(copied));
    std::memset(static_cast<char*>(address) + copied, ' ', static_cast<std::size_t>(length - copied));
    return;
  }
  if (itemClass == ItemClass::kComplex) {
    if (form != ValueForm::kComplex) runtime::Raise(6504);
    if (statement.imagStart < 0) runtime::Raise(6506);
    if (statement.valueOverflow) runtime::Raise(6103);
    const int part = PartType(type);
    double re = 0, im = 0;
    Check(ConvertReal(text, statement.imagStart, 0, 0, part, re));
    Check(ConvertReal(text + statement.imagStart, n - statement.imagStart, 0, 0, part, im));
    StoreReal(part, address, re);
    StoreReal(part, static_cast<char*>(address) + SizeOf(part), im);
    return;
  }
  if (form != ValueForm::kPlain) runtime::Raise(6504);
  if (statement.valueOverflow) runtime::Raise(6103);
  switch (itemClass) {
    case ItemClass::kInteger: {
      std::int32_t value = 0;
      Check(ConvertInteger(text, n, type, value));
      StoreInteger(type, address, value);
      return;
    }
    case ItemClass::kLogical: {
      bool value = false;
      Check(ConvertLogical(text, n, value));
      StoreLogical(type, address, value);
      return;
    }
    case ItemClass::kReal: {
      double value = 0;
      Check(ConvertReal(text, n, 0, 0, type, value));
      StoreReal(type, address, value);
      return;
    }
    default: runtime::Raise(6504);
  }
}

void ReadListDirected(int type, void* address, int length) {
  if (statement.slash) return;
  if (statement.repeatLeft > 0) {
    --statement.repeatLeft;
    if (!statement.repeatNull) AssignValue(type, address, length);
    return;
  }
  switch (ScanValue()) {
    case Scanned::kSlash: statement.slash = true; return;
    case Scanned::kNull: return;
    case Scanned::kValue: AssignValue(type, address, length); return;
  }
}

// ---- The statement ---------------------------------------------------------------------------

void StartStatement() {
  statement.started = true;
  IoUnit& io = SelectUnit(statement.unit, true);
  statement.io = &io;
  PrepareInput(io);
  io.haveLine = false;  // every READ begins with a new record
  if (statement.formatted) {
    statement.cursor.Reset(statement.compiled, io.blankZero);
    TakeRecord();
  }
}

// Records the error on the unit and either keeps it for EndRead or ends the run.
void Fail(runtime::RunTimeError& error) {
  IoUnit* io = statement.io;
  if (error.kind == runtime::StatementKind::kKeywords && !runtime::ShownWithoutUnit(error.number)) {
    error.kind = runtime::StatementKind::kRead;
    error.name = io ? io->name : std::string();
  }
  if (io) {
    io->lastStatus = error.number;
    io->haveLine = false;  // the rest of the record is discarded
    if (io->console) io->eof = false;
  }
  const bool endOfFile = error.number == 6501;
  statement.error = error.number;
  if ((statement.options & kErrorBranch) || (endOfFile && (statement.options & kEndBranch))) return;
  statement.error = 0;
  if (io && error.kind == runtime::StatementKind::kRead && error.message.empty()) {
    error.message = LocatedReadMessage(error.number, *io, statement.mark, !statement.formatted);
  }
  runtime::Fatal(error);
}

}  // namespace

void BeginRead(int unit, const char* format, int formatLength, int options) {
  statement.unit = unit;
  statement.options = options;
  statement.formatted = format != nullptr;
  statement.started = false;
  statement.recordTaken = false;
  statement.error = 0;
  statement.io = nullptr;
  statement.mark = {};
  statement.commaConsumed = true;
  statement.slash = false;
  statement.repeatLeft = 0;
  statement.repeatNull = false;
  statement.form = ValueForm::kPlain;
  statement.valueLength = 0;
  statement.valueOverflow = false;
  if (unit != kDefaultUnit && unit != kStringUnit && (unit < -32767 || unit > 32767)) {
    statement.error = 6314;
    statement.started = true;
    runtime::RunTimeError error;
    error.number = 6314;
    if (!(options & kErrorBranch)) runtime::Fatal(error);
    return;
  }
  if (statement.formatted) {
    try {
      runtime::RaisingNoMemory([&] { CompileFormat(format, formatLength, statement.compiled); });
    } catch (runtime::RunTimeError& error) {
      Fail(error);
    }
  }
}

void ReadItem(int itemType, void* address, int length) {
  if (statement.error != 0) return;
  try {
    runtime::RaisingNoMemory([&] {
      if (!statement.started) StartStatement();
      if (ClassOf(itemType) == ItemClass::kInvalid || (itemType == kCharacter && length < 0)) runtime::Raise(6207);
      if (statement.formatted) ReadFormatted(itemType, address, length);
      else ReadListDirected(itemType, address, length);
    });
  } catch (runtime::RunTimeError& error) {
    Fail(error);
  }
}

int EndRead() {
  if (statement.error == 0) {
    try {
      runtime::RaisingNoMemory([] {
        if (!statement.started) StartStatement();
        if (statement.formatted) {
          static InputRecord record;
          statement.cursor.NextEditDescriptor(false, record);
        } else if (!statement.recordTaken) {
          TakeRecord();  // a READ with no items still passes one record
        }
        Io().haveLine = false;  // the rest of the record is skipped
      });
    } catch (runtime::RunTimeError& error) {
      Fail(error);
    }
  }
  const int error = statement.error;
  statement.error = 0;
  statement.started = false;
  if (error == 6501) return -1;
  return error;
}

}  // namespace fmtio
