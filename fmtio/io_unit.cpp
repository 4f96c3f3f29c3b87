// Record input and output of a connected unit: the file window that holds a block of the file,
// the pieces of a terminal record, line input, and the ends of records. The only code that hands a
// unit's bytes to the platform.
#include "fmtio/io_unit.h"

#include <algorithm>
#include <cstring>

#include "runtime/run_time_error.h"

namespace fmtio {
namespace {

// A console record has no length limit of its own; this bound only keeps column arithmetic exact.
constexpr int kMaxTerminalRecord = 1 << 30;
// The longest record a file may hand to a READ; a longer one (such as an endless device) is 6601.
constexpr std::size_t kMaxFileRecord = std::size_t{4} << 20;

// ---- File windows -----------------------------------------------------------------------------

[[noreturn]] void RaiseWrite(IoUnit& unit, int number) {
  unit.writeFailed = true;
  unit.dirtyBegin = unit.dirtyEnd = 0;
  runtime::RunTimeError error;
  error.number = number;
  error.kind = runtime::StatementKind::kWrite;
  error.name = unit.name;
  throw error;
}

// After a failed write of the file bytes [start, end): cuts a sequential file back to the end of
// the last record that reached it whole, so that it never ends inside a record. The file's size
// tells how much of the write reached it when the file held nothing beyond `start`; otherwise only
// the bytes before `start` count. A device or a pipe has no size and is left as it is.
void CutToWholeRecords(IoUnit& unit, std::int64_t start, std::int64_t end) {
  if (unit.kind != UnitKind::kSequential) return;
  const std::int64_t size = platform::FileSize(unit.handle);
  const std::int64_t reached = unit.knownSize <= start ? std::clamp(size, start, end) : start;
  std::int64_t cut = unit.wholeEnd;
  for (const std::int64_t recordEnd : unit.windowEnds) {
    if (recordEnd <= reached) cut = recordEnd;
  }
  unit.windowEnds.clear();
  if (cut < size) platform::Truncate(unit.handle, cut);
}

}  // namespace

void FlushWindow(IoUnit& unit) {
  if (unit.dirtyEnd <= unit.dirtyBegin) return;
  const std::int64_t start = unit.filePosition + unit.dirtyBegin, end = unit.filePosition + unit.dirtyEnd;
  const int error = platform::Write(unit.handle, unit.buffer.get() + unit.dirtyBegin,
                                    static_cast<std::size_t>(end - start), start);
  if (error != 0) {
    CutToWholeRecords(unit, start, end);
    RaiseWrite(unit, error);
  }
  unit.knownSize = std::max(unit.knownSize, end);
  unit.dirtyBegin = unit.dirtyEnd = 0;
  if (!unit.windowEnds.empty()) unit.wholeEnd = unit.windowEnds.back();
  unit.windowEnds.clear();
}

namespace {

// Moves the window to `offset`, reading back what the file already holds there, so that the
// bytes around a write stay as they are.
void MoveWindow(IoUnit& unit, std::int64_t offset) {
  FlushWindow(unit);
  unit.filePosition = offset;
  unit.fill = 0;
  unit.readPosition = 0;
  if (offset < unit.knownSize) {
    const long n = platform::ReadAt(unit.handle, unit.buffer.get(),
                                    static_cast<std::size_t>(unit.bufferSize), offset);
    unit.fill = n > 0 ? static_cast<int>(n) : 0;
  }
}

// The place in the window for `count` bytes at file offset `offset`, marked to be written, when
// the window as it stands holds them; null when it must move first (or a write was refused).
char* WindowSpan(IoUnit& unit, std::int64_t offset, int count) {
  const std::int64_t at = offset - unit.filePosition;
  if (unit.writeFailed || at < 0 || at > unit.fill || at + count > unit.bufferSize) return nullptr;
  const int begin = static_cast<int>(at);
  const int end = begin + count;
  if (unit.dirtyEnd <= unit.dirtyBegin) {
    unit.dirtyBegin = begin;
    unit.dirtyEnd = end;
  } else {
    unit.dirtyBegin = std::min(unit.dirtyBegin, begin);
    unit.dirtyEnd = std::max(unit.dirtyEnd, end);
  }
  unit.fill = std::max(unit.fill, end);
  return unit.buffer.get() + begin;
}

void WriteAt(IoUnit& unit, std::int64_t offset, const char* text, int count) {
  if (char* span = WindowSpan(unit, offset, count)) {
    std::memcpy(span, text, static_cast<std::size_t>(count));
    return;
  }
  if (unit.writeFailed) RaiseWrite(unit, 6423);
  while (count > 0) {
    std::int64_t index = offset - unit.filePosition;
    if (index < 0 || index >= unit.bufferSize || index > unit.fill) {
      MoveWindow(unit, offset);
      index = 0;
    }
    const int at = static_cast<int>(index);
    const int n = std::min(count, unit.bufferSize - at);
    std::memcpy(unit.buffer.get() + at, text, static_cast<std::size_t>(n));
    if (unit.dirtyEnd <= unit.dirtyBegin) {
      unit.dirtyBegin = at;
      unit.dirtyEnd = at + n;
    } else {
      unit.dirtyBegin = std::min(unit.dirtyBegin, at);
      unit.dirtyEnd = std::max(unit.dirtyEnd, at + n);
    }
    unit.fill = std::max(unit.fill, at + n);
    offset += n;
    text += n;
    count -= n;
  }
}

void WriteBlanksAt(IoUnit& unit, std::int64_t offset, int count) {
  static constexpr char kBlanks[64] = {
      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  while (count > 0) {
    const int n = std::min(count, 64);
    WriteAt(unit, offset, kBlanks, n);
    offset += n;
    count -= n;
  }
}

// ---- Terminals ---------------------------------------------------------------------------------

int OutputHandle(const IoUnit& unit) {
  return unit.handle == platform::kStdin ? platform::kStdout : unit.handle;
}

// Hands a finished record (or its first piece) to the terminal: column 1 chooses the bytes
// written before the rest when carriage control is interpreted.
void SendFirstPiece(IoUnit& unit, const char* text, int count) {
  if (unit.carriageControl == CarriageControl::kPlain) {
    if (unit.outputPending && !unit.prompt) WriteTerminal(unit, "\r\n", 2);
    WriteTerminal(unit, text, count);
  } else {
    const char control = count > 0 ? text[0] : ' ';
    const bool pending = unit.outputPending && !unit.prompt;
    switch (control) {
      case '0': WriteTerminal(unit, pending ? "\r\n\r\n" : "\r\n", pending ? 4 : 2); break;
      case '1': WriteTerminal(unit, "\r\n\f\r \r", 6); break;
      case '+': WriteTerminal(unit, "\r", 1); break;
      default: if (pending) WriteTerminal(unit, "\r\n", 2); break;
    }
    if (count > 1) WriteTerminal(unit, text + 1, count - 1);
  }
  unit.prompt = false;
  unit.outputPending = true;
}

// Hands the characters of the terminal buffer on as a piece of the current record.
void SendPiece(IoUnit& unit, int count) {
  if (unit.pieceStart == 0) SendFirstPiece(unit, unit.buffer.get(), count);
  else WriteTerminal(unit, unit.buffer.get(), count);
  unit.pieceStart += count;
}

void PlaceOnTerminal(IoUnit& unit, int column, const char* text, int count) {
  for (int i = 0; i < count; ++i) {
    int at = column + i - unit.pieceStart;
    if (at < 0) continue;  // that part of the record is already on the screen
    if (at >= unit.bufferSize) {
      SendPiece(unit, unit.bufferSize);
      at -= unit.bufferSize;
    }
    unit.buffer[static_cast<std::size_t>(at)] = text ? text[i] : ' ';
  }
}

}  // namespace

// Reads one line of at most `limit` bytes before its line feed into unit.line. A longer line is
// error `tooLongError`, raised at once on a file and after the rest of the line on a stream; with
// `tooLongError` 0 the rest of a long line is skipped.
void ReadLine(IoUnit& unit, std::size_t limit, int tooLongError) {
  unit.line.clear();
  unit.haveLine = false;
  bool tooLong = false;
  for (;;) {
    if (unit.readPosition >= unit.fill) {
      long n;
      if (unit.stream) {
        n = platform::Read(unit.handle, unit.buffer.get(), static_cast<std::size_t>(unit.bufferSize));
      } else {
        unit.filePosition += unit.fill;
        n = platform::ReadAt(unit.handle, unit.buffer.get(),
                             static_cast<std::size_t>(unit.bufferSize), unit.filePosition);
      }
      unit.readPosition = 0;
      unit.fill = n > 0 ? static_cast<int>(n) : 0;
      if (n < 0) runtime::Raise(6500);
      if (n == 0) {
        // Subtle: a last line without a line end is a complete record, whatever the size of the
        // file; only a read that finds nothing at all is the end of the file.
        if (unit.line.empty() && !tooLong) {
          if (!unit.console) unit.eof = true;
          runtime::Raise(6501);
        }
        break;
      }
    }
    const char* begin = unit.buffer.get() + unit.readPosition;
    const std::size_t available = static_cast<std::size_t>(unit.fill - unit.readPosition);
    const char* end = static_cast<const char*>(std::memchr(begin, '\n', available));
    const std::size_t n = end ? static_cast<std::size_t>(end - begin) : available;
    const std::size_t room = limit > unit.line.size() ? limit - unit.line.size() : 0;
    if (n > room) {
      tooLong = true;
      if (!unit.stream && tooLongError != 0) runtime::Raise(tooLongError);
    }
    unit.line.append(begin, std::min(n, room));
    unit.readPosition += static_cast<int>(n) + (end ? 1 : 0);
    if (end) break;
  }
  if (tooLong && tooLongError != 0) runtime::Raise(tooLongError);
}

void PrepareOutput(IoUnit& unit) {
  if (unit.kind == UnitKind::kTerminal || unit.writing) return;
  // The next record follows the last one read.
  const std::int64_t next = unit.filePosition + unit.readPosition;
  unit.writing = true;
  unit.haveLine = false;
  unit.filePosition = next;
  unit.fill = 0;
  unit.readPosition = 0;
  unit.recordStart = next;
  unit.wholeEnd = next;  // the records read before stay whole whatever happens to the writes
  unit.recordLength = 0;
}

void PrepareInput(IoUnit& unit) {
  if (unit.console) {
    IoUnit& out = *consoleOut;
    if (out.prompt) {
      out.prompt = false;
    } else if (out.outputPending) {
      WriteTerminal(out, "\r\n", 2);
      out.outputPending = false;
    }
    // Subtle: on a shared console the typed line end moves the cursor to a new line; with
    // separate records (piped input) the output line stays open.
    if (&out == &consoleIn) out.outputPending = false;
    return;
  }
  if (unit.kind == UnitKind::kTerminal || !unit.writing) return;
  const std::int64_t next = unit.recordStart + unit.recordLength;
  FlushWindow(unit);
  // A sequential file ends with the last record written: what it held after that is not read.
  if (unit.kind == UnitKind::kSequential) unit.eof = true;
  unit.writing = false;
  unit.recordOpen = false;
  unit.recordLength = 0;
  unit.filePosition = next;
  unit.fill = 0;
  unit.readPosition = 0;
}

void NextInputRecord(IoUnit& unit) {
  if (unit.eof) runtime::Raise(6501);
  const bool console = unit.console || unit.kind == UnitKind::kTerminal;
  if (console) ReadLine(unit, kConsoleBufferSize - 1, 6407);
  else ReadLine(unit, kMaxFileRecord, 6601);
  if (console && (unit.line == "\x1a" || unit.line == "\x1a\r")) runtime::Raise(6501);
  const std::size_t cr = unit.line.find('\r');
  unit.lineEnd = static_cast<int>(cr == std::string::npos ? unit.line.size() : cr);
  unit.linePosition = 0;
  unit.haveLine = true;
}

int RecordLimit(const IoUnit& unit) {
  return unit.kind == UnitKind::kTerminal ? kMaxTerminalRecord
         : unit.kind == UnitKind::kDirect ? unit.recl - 2
                                          : unit.recl;
}

char* RecordBlock(IoUnit& unit, int& room) {
  if (unit.kind == UnitKind::kTerminal || unit.writeFailed) return nullptr;
  const std::int64_t start = unit.recordStart - unit.filePosition;
  if (start < 0 || start + unit.recordLength > unit.fill) return nullptr;
  room = static_cast<int>(std::min<std::int64_t>(unit.bufferSize - start, RecordLimit(unit)));
  return unit.buffer.get() + start;
}

void RecordWritten(IoUnit& unit, int from, int to) {
  WindowSpan(unit, unit.recordStart + from, to - from);
  unit.recordLength = std::max(unit.recordLength, to);
  unit.recordOpen = true;
}

namespace {

// The place in the block for `count` characters at record column `column`, the gap before them
// blanked, when the block as it stands holds them; null for a terminal, or when the block must
// move first. Beyond the record length: 6601.
char* PlaceSpan(IoUnit& unit, int column, int count) {
  const int limit = RecordLimit(unit);
  if (count > limit || column > limit - count) runtime::Raise(6601);
  if (unit.kind == UnitKind::kTerminal) return nullptr;
  const int gap = std::max(column - unit.recordLength, 0);
  char* span = WindowSpan(unit, unit.recordStart + column - gap, gap + count);
  if (!span) return nullptr;
  if (gap > 0) std::memset(span, ' ', static_cast<std::size_t>(gap));
  unit.recordLength = std::max(unit.recordLength, column + count);
  unit.recordOpen = true;
  return span + gap;
}

}  // namespace

void PlaceChars(IoUnit& unit, int column, const char* text, int count) {
  if (char* span = PlaceSpan(unit, column, count)) {
    if (text) std::memcpy(span, text, static_cast<std::size_t>(count));
    else std::memset(span, ' ', static_cast<std::size_t>(count));
    return;
  }
  if (unit.kind == UnitKind::kTerminal) {
    if (column > unit.recordLength) PlaceOnTerminal(unit, unit.recordLength, nullptr, column - unit.recordLength);
    PlaceOnTerminal(unit, column, text, count);
  } else {
    if (column > unit.recordLength) WriteBlanksAt(unit, unit.recordStart + unit.recordLength, column - unit.recordLength);
    if (text) WriteAt(unit, unit.recordStart + column, text, count);
    else WriteBlanksAt(unit, unit.recordStart + column, count);
  }
  unit.recordLength = std::max(unit.recordLength, column + count);
  unit.recordOpen = true;
}

void EndOutputRecord(IoUnit& unit, bool lineEnd) {
  switch (unit.kind) {
    case UnitKind::kTerminal: {
      const int count = unit.recordLength - unit.pieceStart;
      if (unit.pieceStart == 0) SendFirstPiece(unit, unit.buffer.get(), count);
      else WriteTerminal(unit, unit.buffer.get(), count);
      unit.pieceStart = 0;
      unit.recordLength = 0;
      unit.recordOpen = false;
      return;
    }
    case UnitKind::kDirect: {
      const int data = unit.recl - 2;
      if (unit.recordLength < data) WriteBlanksAt(unit, unit.recordStart + unit.recordLength, data - unit.recordLength);
      if (lineEnd) WriteAt(unit, unit.recordStart + data, "\r\n", 2);
      ++unit.recordNumber;
      unit.recordStart = (unit.recordNumber - 1) * unit.recl;
      unit.recordLength = 0;
      unit.recordOpen = false;
      return;
    }
    default:
      if (!lineEnd) {
        unit.writtenEnd = std::max(unit.writtenEnd, unit.recordStart + unit.recordLength);
        return;
      }
      WriteAt(unit, unit.recordStart + unit.recordLength, "\r\n", 2);
      unit.recordStart += unit.recordLength + 2;
      unit.writtenEnd = unit.recordStart;
      unit.windowEnds.push_back(unit.recordStart);
      unit.recordLength = 0;
      unit.recordOpen = false;
  }
}

void EndConsoleLine() {
  IoUnit& out = *consoleOut;
  if (out.outputPending) {
    platform::Write(OutputHandle(out), "\r\n", 2);
    out.outputPending = false;
  }
  out.prompt = false;
}

void WriteTerminal(IoUnit& unit, const char* bytes, int count) {
  if (count <= 0) return;
  const int error = platform::Write(OutputHandle(unit), bytes, static_cast<std::size_t>(count));
  if (error != 0) RaiseWrite(unit, error);
}

}  // namespace fmtio
