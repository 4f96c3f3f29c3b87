#include "fmtio/write_statement.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "fmtio/edit_output.h"
#include "fmtio/format_spec.h"
#include "fmtio/io_unit.h"
#include "fmtio/string_unit.h"
#include "runtime/run_time_error.h"

namespace fmtio {
namespace {

constexpr std::size_t kItemBlock = 20000;         // the item list grows by this much
constexpr std::size_t kItemReserve = 1000;        // ... whenever less than this is free
constexpr std::size_t kMaxItemBytes = 64u << 20;  // a list beyond this is refused (6700)
constexpr int kMaxPutAside = 32;                  // statements put aside at once
constexpr int kWholeField = 128;                  // fields up to this width are placed in one piece

// Tag byte of an item list entry: the type code, and whether an address follows.
constexpr unsigned char kByAddress = 0x80;

// One WRITE statement being assembled or run.
struct WriteStatement {
  int unit = 0;
  int options = 0;
  bool formatted = true;
  bool advanceNo = false;
  int deferredError = 0;  // found by BeginWrite; reported by EndWrite
  FormatSpec compiled;
  std::vector<unsigned char> items;  // tagged entries, kept between statements
};

std::vector<std::unique_ptr<WriteStatement>> statements;  // [0, depth) in use
int depth = 0;
int refused = 0;  // statements refused for want of room, above those put aside

// The statement the items go to; none while a refused statement is being assembled.
WriteStatement* Current() {
  return depth > 0 && refused == 0 ? statements[static_cast<std::size_t>(depth - 1)].get() : nullptr;
}

void Append(WriteStatement& statement, const void* bytes, std::size_t count) {
  std::vector<unsigned char>& items = statement.items;
  if (items.capacity() - items.size() < kItemReserve + count) {
    if (items.size() + count > kMaxItemBytes) runtime::Raise(6700);
    runtime::RaisingNoMemory([&] { items.reserve(items.capacity() + kItemBlock + count); });
  }
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  items.insert(items.end(), p, p + count);
}

void AppendValue(int type, const void* value, std::size_t size) {
  WriteStatement* statement = Current();
  if (!statement || statement->deferredError != 0) return;
  try {
    unsigned char entry[1 + sizeof(double) * 2];  // the tag and the value, appended at once
    entry[0] = static_cast<unsigned char>(type);
    std::memcpy(entry + 1, value, size);
    Append(*statement, entry, 1 + size);
  } catch (const runtime::RunTimeError& error) {
    statement->deferredError = error.number;
  }
}

bool SameWordIgnoringCase(const char* text, int length, const char* word) {
  int n = length < 0 ? static_cast<int>(std::strlen(text)) : length;
  while (n > 0 && text[n - 1] == ' ') --n;
  if (n != static_cast<int>(std::strlen(word))) return false;
  for (int i = 0; i < n; ++i) {
    if ((text[i] & ~0x20) != word[i]) return false;
  }
  return true;
}

// One element to edit: its type, its storage and (CHARACTER) its length.
struct Element {
  int type;
  const unsigned char* bytes;
  int length;
};

// The output side of a running WRITE: places fields and literals into the unit's current record.
// While the unit's block holds the record, characters go straight into it and the unit learns
// of them (Commit) before anything else looks at the record, and at the latest when the record
// is dropped, also by an error.
class OutputRecord final : public FormatRecord {
 public:
  OutputRecord(IoUnit& unit, bool interpretFirst) : unit_(unit), interpretFirst_(interpretFirst) {
    if (!unit_.recordOpen) unit_.column = 0;
    Acquire();
  }
  ~OutputRecord() { Commit(); }
  OutputRecord(const OutputRecord&) = delete;
  OutputRecord& operator=(const OutputRecord&) = delete;

  void Literal(const char* text, int count) override { Put(text, count); }
  void EndRecord() override {
    Commit();
    EndOutputRecord(unit_, true);
    unit_.column = 0;
    Acquire();
  }
  void TabRight(int count) override { Move(static_cast<long long>(unit_.column) + count); }
  void TabLeft(int count) override { Move(std::max(0LL, static_cast<long long>(unit_.column) - count)); }
  void TabTo(int column) override { Move(static_cast<long long>(column) - 1); }

  // Places a field of width w, right-justified, or w asterisks when the text does not fit.
  void Field(const char* text, int length, int w) {
    const bool fits = length >= 0 && length <= w;
    if (fits && !interpretFirst_) {
      if (char* span = Span(w)) {
        std::memset(span, ' ', static_cast<std::size_t>(w - length));
        std::memcpy(span + (w - length), text, static_cast<std::size_t>(length));
        return;
      }
    }
    // A field that cannot fit the record places none of its characters.
    if (w > RecordLimit(unit_) - unit_.column) runtime::Raise(6601);
    if (!fits) {
      Repeat('*', w);
      return;
    }
    if (w <= kWholeField) {
      // The blanks and the text go into the record in one piece.
      char field[kWholeField];
      std::memset(field, ' ', static_cast<std::size_t>(w - length));
      std::memcpy(field + (w - length), text, static_cast<std::size_t>(length));
      Put(field, w);
      return;
    }
    Repeat(' ', w - length);
    Put(text, length);
  }

  // Places characters at the current position, after the pending blanks.
  void Put(const char* text, int count) {
    if (interpretFirst_) {
      interpretFirst_ = false;
      ApplyControl(text, count);
      Commit();
      Acquire();
    }
    if (count <= 0) return;
    if (char* span = Span(count)) {
      std::memcpy(span, text, static_cast<std::size_t>(count));
      return;
    }
    Commit();
    PlaceChars(unit_, unit_.column, text, count);
    unit_.column += count;
    Acquire();
  }

  void Repeat(char c, int count) {
    char chunk[64];
    std::memset(chunk, c, sizeof chunk);
    while (count > 0) {
      const int n = std::min(count, 64);
      Put(chunk, n);
      count -= n;
    }
  }

  // Tells the unit of the characters placed straight into its block.
  void Commit() {
    if (low_ < high_) RecordWritten(unit_, low_, high_);
    low_ = high_ = unit_.recordLength;
  }

  // Drops the pending blanks at the end of format processing.
  void DropPendingBlanks() {
    Commit();
    unit_.column = std::min(unit_.column, unit_.recordLength);
  }

 private:
  // Takes the block's place of the record, when the block holds it.
  void Acquire() {
    block_ = RecordBlock(unit_, room_);
    low_ = high_ = unit_.recordLength;
  }

  // The place in the block for `count` characters at the current position, the gap of pending
  // blanks before them filled, and the position moved past them; null when the block does not
  // hold them.
  char* Span(int count) {
    const int column = unit_.column;
    if (!block_ || column > room_ || count > room_ - column) return nullptr;
    if (column > high_) std::memset(block_ + high_, ' ', static_cast<std::size_t>(column - high_));
    low_ = std::min(low_, std::min(column, high_));
    high_ = std::max(high_, column + count);
    unit_.column = column + count;
    return block_ + column;
  }

  void Move(long long column) {
    if (column > (1LL << 30)) runtime::Raise(6601);
    unit_.column = static_cast<int>(std::max(0LL, column));
  }

  // Carriage control on a file unit that interprets it: the first character of the statement's
  // first record is a control character, replaced while the record is built.
  void ApplyControl(const char*& text, int& count) {
    char control = ' ';
    if (unit_.column > unit_.recordLength) {
      --unit_.column;  // the control is the first pending blank
    } else if (count > 0) {
      control = *text++;
      --count;
    }
    if (control == '0') {
      Put("\r\n", 2);
    } else if (control == '1') {
      Put("\f\r \r", 4);
    } else if (control == '+' && unit_.recordLength == 0 && unit_.recordStart > 0) {
      --unit_.recordStart;  // the line feed that ended the previous record is overwritten
    }
  }

  IoUnit& unit_;
  bool interpretFirst_;
  char* block_ = nullptr;  // the block at column 1 of the record, or null
  int room_ = 0;           // columns of the record the block holds (within the record length)
  int low_ = 0;            // record columns [low_, high_) written straight into the block
  int high_ = 0;
};

std::int64_t IntegerValue(const Element& element) {
  switch (element.type) {
    case kInteger1: { std::int8_t v; std::memcpy(&v, element.bytes, 1); return v; }
    case kInteger2: { std::int16_t v; std::memcpy(&v, element.bytes, 2); return v; }
    default: { std::int32_t v; std::memcpy(&v, element.bytes, 4); return v; }
  }
}

int StorageLength(const Element& element) {
  return element.type == kCharacter ? element.length : SizeOf(element.type);
}

// Edits one element under the cursor's descriptor and places it.
void EditElement(const Element& element, const FormatCursor& cursor, OutputRecord& record) {
  static char text[kEditBufferSize];
  const ItemClass itemClass = ClassOf(element.type);
  std::uint8_t kind = cursor.kind;
  const std::uint8_t sub = kind == kExtended ? cursor.sub : std::uint8_t{kSubNone};
  const bool general = kind == kEditG || sub == kSubGD;
  // G on an integer, logical or character item edits as I, L or A with the same w and d.
  if (general && itemClass == ItemClass::kInteger) kind = kEditI;
  if (general && itemClass == ItemClass::kLogical) kind = kEditL;
  if (general && itemClass == ItemClass::kCharacter) kind = kEditA;

  const int radix = kind == kEditZ ? 16 : sub == kSubO ? 8 : sub == kSubB ? 2 : 0;
  if (radix != 0) {
    // Z, O and B show the item's storage: numbers as their little-endian value, CHARACTER items
    // as their bytes in order, the first the most significant.
    const int size = StorageLength(element);
    const int bits = radix == 16 ? 4 : radix == 8 ? 3 : 1;
    const int w = cursor.w != 0 ? cursor.w : (8 * size + bits - 1) / bits;
    const int length = EditRadix(element.bytes, size, element.type == kCharacter, radix, cursor.d, text);
    record.Field(text, length, w);
    return;
  }
  if (kind == kEditA) {
    const int size = StorageLength(element);
    const char* chars = reinterpret_cast<const char*>(element.bytes);
    if (cursor.w == 0) {
      record.Put(chars, size);
    } else if (cursor.w <= size) {
      record.Put(chars, cursor.w);
    } else {
      record.Repeat(' ', cursor.w - size);
      record.Put(chars, size);
    }
    return;
  }
  switch (itemClass) {
    case ItemClass::kInteger: {
      if (kind != kEditI) RaiseTypeError(itemClass);
      if (cursor.d > cursor.w) {
        record.Repeat('*', cursor.w);
        return;
      }
      const int length = EditInteger(IntegerValue(element), cursor.d, cursor.plusSigns, text);
      record.Field(text, length, cursor.w);
      return;
    }
    case ItemClass::kLogical: {
      if (kind != kEditL) RaiseTypeError(itemClass);
      record.Field(element.bytes[0] != 0 ? "T" : "F", 1, cursor.w);
      return;
    }
    case ItemClass::kReal: {
      const bool real = kind == kEditD || kind == kEditE || kind == kEditF || kind == kEditG ||
                        (kind == kExtended && sub != kSubQ);
      if (!real) RaiseTypeError(itemClass);
      const RealEdit edit{kind, sub, cursor.w, cursor.d, cursor.e};
      const int length = EditReal(element.bytes, element.type, edit, cursor.scale, cursor.plusSigns, text);
      record.Field(text, length, cursor.w);
      return;
    }
    default: RaiseTypeError(itemClass);
  }
}

// The plain form of a WRITE without a format: one record, each value after one blank; integers
// with their digits, REAL*4 as 1PE14.6 and REAL*8 as 1PE23.15 (all the digits each holds),
// logicals as T or F, characters as they stand.
void EditListDirected(const Element& element, OutputRecord& record) {
  static char text[kEditBufferSize];
  record.Put(" ", 1);
  switch (ClassOf(element.type)) {
    case ItemClass::kInteger:
      record.Put(text, EditInteger(IntegerValue(element), 1, false, text));
      return;
    case ItemClass::kLogical:
      record.Put(element.bytes[0] != 0 ? "T" : "F", 1);
      return;
    case ItemClass::kCharacter:
      record.Put(reinterpret_cast<const char*>(element.bytes), element.length);
      return;
    default: {
      const bool single = element.type == kReal4;
      const RealEdit edit{kEditE, kSubNone, single ? 14 : 23, single ? 6 : 15, 2};
      const int length = EditReal(element.bytes, element.type, edit, 1, false, text);
      record.Field(text, length, edit.w);
    }
  }
}

// Calls `visit` for every element of the item list, complex elements as their two parts.
template <class Visit>
void ForEachElement(const std::vector<unsigned char>& items, Visit visit) {
  std::size_t at = 0;
  while (at < items.size()) {
    const unsigned char tag = items[at++];
    const int type = tag & ~kByAddress;
    const unsigned char* address;
    int count = 1;
    int length = 0;
    if (tag & kByAddress) {
      std::memcpy(&address, &items[at], sizeof address);
      std::memcpy(&count, &items[at + sizeof address], 4);
      std::memcpy(&length, &items[at + sizeof address + 4], 4);
      at += sizeof address + 8;
    } else if (type == kCharacter) {
      std::memcpy(&length, &items[at], 4);
      address = &items[at + 4];
      at += 4 + static_cast<std::size_t>(length);
    } else {
      address = &items[at];
      at += static_cast<std::size_t>(SizeOf(type));
    }
    const int size = type == kCharacter ? length : SizeOf(type);
    for (int i = 0; i < count; ++i) {
      const unsigned char* bytes = address + static_cast<std::size_t>(i) * static_cast<std::size_t>(size);
      const bool more = at < items.size() || i + 1 < count;
      if (type == kComplex8 || type == kComplex16) {
        const int part = type == kComplex8 ? kReal4 : kReal8;
        visit(Element{part, bytes, 0}, true);
        visit(Element{part, bytes + size / 2, 0}, more);
      } else {
        visit(Element{type, bytes, length}, more);
      }
    }
  }
}

void Run(WriteStatement& statement, IoUnit*& selected) {
  if (statement.deferredError != 0) runtime::Raise(statement.deferredError);
  IoUnit& unit = SelectUnit(statement.unit, false);
  selected = &unit;
  PrepareOutput(unit);
  const bool interpret = unit.kind != UnitKind::kTerminal &&
                         unit.carriageControl == CarriageControl::kInterpreted && !unit.recordOpen;
  OutputRecord record(unit, interpret);
  bool suppress = false;
  if (statement.formatted) {
    FormatCursor cursor;
    cursor.Reset(statement.compiled, unit.blankZero);
    ForEachElement(statement.items, [&](const Element& element, bool) {
      if (!cursor.NextEditDescriptor(true, record)) RaiseTypeError(ClassOf(element.type));
      EditElement(element, cursor, record);
    });
    cursor.NextEditDescriptor(false, record);
    suppress = cursor.suppressRecordEnd;
  } else {
    ForEachElement(statement.items, [&](const Element& element, bool) { EditListDirected(element, record); });
  }
  if (!suppress) record.DropPendingBlanks();
  record.Commit();
  EndOutputRecord(unit, !suppress && !statement.advanceNo);
  if ((suppress && unit.kind == UnitKind::kTerminal) || statement.advanceNo) unit.prompt = true;
}

}  // namespace

void BeginWrite(int unit, const char* format, int formatLength, const char* advance, int advanceLength,
                int options) {
  // Too many statements put aside, or no memory for one more: this one is refused, the others
  // stay as they are. With an error branch its items go nowhere and its EndWrite returns 6700.
  bool room = depth < kMaxPutAside;
  if (room && static_cast<std::size_t>(depth) == statements.size()) {
    try {
      statements.push_back(std::make_unique<WriteStatement>());
      statements.back()->items.reserve(kItemBlock);
    } catch (const std::bad_alloc&) {
      room = false;
    }
  }
  if (!room) {
    runtime::RunTimeError error;
    error.number = 6700;
    if (options & kErrorBranch) {
      ++refused;
      return;
    }
    runtime::Fatal(error);
  }
  WriteStatement& statement = *statements[static_cast<std::size_t>(depth++)];
  statement.unit = unit;
  statement.options = options;
  statement.items.clear();
  statement.deferredError = 0;
  statement.advanceNo = false;
  statement.formatted = format != nullptr;
  if (unit != kDefaultUnit && unit != kStringUnit && (unit < -32767 || unit > 32767)) {
    statement.deferredError = 6314;
  } else if (advance) {
    if (SameWordIgnoringCase(advance, advanceLength, "NO")) statement.advanceNo = true;
    else if (!SameWordIgnoringCase(advance, advanceLength, "YES")) statement.deferredError = 6999;
  }
  if (statement.formatted) {
    try {
      CompileFormat(format, formatLength, statement.compiled);
    } catch (const std::bad_alloc&) {
      statement.deferredError = 6700;
    }
  }
}

void WriteItem(std::int32_t value) { AppendValue(kInteger4, &value, 4); }
void WriteItem(std::int16_t value) { AppendValue(kInteger2, &value, 2); }
void WriteItem(std::int8_t value) { AppendValue(kInteger1, &value, 1); }
void WriteItem(float value) { AppendValue(kReal4, &value, 4); }
void WriteItem(double value) { AppendValue(kReal8, &value, 8); }
void WriteLogical(std::int32_t value) { AppendValue(kLogical4, &value, 4); }

void WriteComplex(float real, float imag) {
  const float parts[2] = {real, imag};
  AppendValue(kComplex8, parts, sizeof parts);
}

void WriteComplex(double real, double imag) {
  const double parts[2] = {real, imag};
  AppendValue(kComplex16, parts, sizeof parts);
}

void WriteItem(const char* text, int length) {
  WriteStatement* statement = Current();
  if (!statement || statement->deferredError != 0) return;
  if (length < 0) length = 0;
  try {
    const unsigned char tag = kCharacter;
    Append(*statement, &tag, 1);
    Append(*statement, &length, 4);
    Append(*statement, text, static_cast<std::size_t>(length));
  } catch (const runtime::RunTimeError& error) {
    statement->deferredError = error.number;
  }
}

void WriteItem(int type, const void* address, int count, int length) {
  WriteStatement* statement = Current();
  if (!statement || statement->deferredError != 0) return;
  if (ClassOf(type) == ItemClass::kInvalid || count < 0 || (type == kCharacter && length < 0)) {
    statement->deferredError = 6207;
    return;
  }
  try {
    const unsigned char tag = static_cast<unsigned char>(type) | kByAddress;
    Append(*statement, &tag, 1);
    Append(*statement, &address, sizeof address);
    Append(*statement, &count, 4);
    Append(*statement, &length, 4);
  } catch (const runtime::RunTimeError& error) {
    statement->deferredError = error.number;
  }
}

int EndWrite() {
  if (refused > 0) {
    --refused;
    return 6700;
  }
  WriteStatement* statement = Current();
  if (!statement) return 0;
  IoUnit* unit = nullptr;
  int status = 0;
  try {
    runtime::RaisingNoMemory([&] { Run(*statement, unit); });
  } catch (runtime::RunTimeError& error) {
    if (error.kind == runtime::StatementKind::kKeywords && !runtime::ShownWithoutUnit(error.number)) {
      error.kind = runtime::StatementKind::kWrite;
      error.name = unit ? unit->name : std::string();
    }
    if (unit) unit->lastStatus = error.number;
    status = error.number;
    statement->items.clear();
    --depth;
    if (!(statement->options & kErrorBranch)) runtime::Fatal(error);
    return status;
  }
  statement->items.clear();
  --depth;
  return status;
}

void AbandonWriteStatements() {
  for (int i = 0; i < depth; ++i) statements[static_cast<std::size_t>(i)]->items.clear();
  depth = 0;
  refused = 0;
}

}  // namespace fmtio
