// Logical units: the unit table, OPEN and CLOSE, record output to files and the console, and
// line input. The only layer that hands bytes to the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fmtio/platform.h"
#include "fmtio/units.h"

namespace fmtio {

// What a unit is connected to.
enum class UnitKind : std::uint8_t {
  kInternal,
  kTerminal,     // the console and devices
  kDirect,       // direct-access formatted file
  kSequential,   // sequential formatted file
  kUnformatted,  // refused by OPEN
  kBinary,       // refused by OPEN
};

enum class CarriageControl : std::uint8_t {
  kInterpreted,  // column 1 chooses the line spacing and is not written
  kPlain,        // column 1 written as data ("LIST")
};

enum class Delim : std::uint8_t { kNone, kApostrophe, kQuote };

// A logical unit's connection record.
struct IoUnit {
  int number = 0;
  std::string name;                      // "CON" for the console, else the trimmed file name
  int handle = -1;                       // platform handle; 0, 1, 2 the standard streams
  UnitKind kind = UnitKind::kSequential;
  CarriageControl carriageControl = CarriageControl::kPlain;
  Delim delim = Delim::kNone;
  std::unique_ptr<char[]> buffer;        // block window of a file, or the console line
  int bufferSize = 0;

  // Files: buffer[0] holds the byte at filePosition; bytes [0, fill) are valid and
  // [dirtyBegin, dirtyEnd) are still to be written.
  std::int64_t filePosition = 0;
  int fill = 0;
  int dirtyBegin = 0;
  int dirtyEnd = 0;
  std::int64_t knownSize = 0;            // bytes the file holds, as far as this unit knows
  std::int64_t writtenEnd = -1;          // end of the last byte written (sequential), or -1
  std::int64_t wholeEnd = 0;             // sequential: end of the last record written out whole
  std::vector<std::int64_t> windowEnds;  // sequential: ends of the records ended since the last write-out

  // Input: the next byte to take from the buffer, and the current record.
  int readPosition = 0;
  std::string line;                      // the current input record, without its line feed
  int linePosition = 0;                  // characters of the record consumed
  int lineEnd = 0;                       // end of the record's data: the first carriage return
  bool haveLine = false;                 // a record is current
  std::int64_t recordsRead = 0;          // records taken by READs: the line number of the current one

  // Output: the current record.
  std::int64_t recordStart = 0;          // file offset of column 1 (files)
  int recordLength = 0;                  // furthest character written
  int column = 0;                        // next position; beyond recordLength by pending blanks
  int pieceStart = 0;                    // terminals: record column held in buffer[0]
  bool recordOpen = false;               // an unfinished record ("$" or ADVANCE='NO')

  std::int64_t recordNumber = 1;         // direct access
  int recl = 1024;                       // record length
  bool outputPending = false;            // terminal line not yet ended
  bool prompt = false;                   // the last WRITE to this terminal ended with "$"
  bool lineEnded = false;                // the closing has already ended the terminal line
  bool scratch = false;
  bool blankZero = false;
  bool eof = false;
  bool console = false;                  // opened on "CON" or "USER", or a console record
  bool padNo = false;
  bool deleteOnClose = false;            // default close disposition DELETE
  bool writing = false;                  // the buffer holds output (else input)
  bool writeFailed = false;              // a write was refused: nothing more is written
  bool stream = false;                   // handle is a stream (no offsets)
  int lastStatus = 0;
  platform::FileIdentity identity;
  bool hasIdentity = false;
};

// ---- Used by the statements ------------------------------------------------------------------

// The unit a READ (`forRead`) or WRITE on unit `number` uses, opened implicitly when needed.
IoUnit& SelectUnit(int number, bool forRead);

// Places `count` characters (blanks when `text` is null) at record column `column` (0 = column
// 1) of the current output record; a gap after the characters written so far is filled with
// blanks. Beyond the record length: 6601.
void PlaceChars(IoUnit& unit, int column, const char* text, int count);

// The unit's block at column 1 of the current output record of a file unit, and in `room` the
// columns of the record it holds (within the record length): characters may be written there
// directly, the unit told by RecordWritten. Null for a terminal, or when the block does not hold
// the record's start and the characters already written.
char* RecordBlock(IoUnit& unit, int& room);

// Records that columns [from, to) of the current output record were written into the block.
void RecordWritten(IoUnit& unit, int from, int to);

// The most characters a record of this unit may hold.
int RecordLimit(const IoUnit& unit);

// Ends the current output record; `lineEnd` false leaves a file's line open ("$").
void EndOutputRecord(IoUnit& unit, bool lineEnd);

// Prepares a unit for output or input of a new statement.
void PrepareOutput(IoUnit& unit);
void PrepareInput(IoUnit& unit);

// Makes the next input record current (in unit.line). Raises 6501 at the end of the file.
void NextInputRecord(IoUnit& unit);

// Ends a pending console output line with CR LF.
void EndConsoleLine();

// Writes bytes to the platform stream of a terminal unit (standard error for "ERR").
void WriteTerminal(IoUnit& unit, const char* bytes, int count);

// ---- Shared by the unit layer's own files ----------------------------------------------------

// The buffer of a console record, and of a device: the longest line a console READ takes.
inline constexpr int kConsoleBufferSize = 132;

// The console record of input, and of output when the console is one device; the record of
// output (consoleIn itself, or a separate one when input or output is redirected).
extern IoUnit consoleIn;
extern IoUnit* consoleOut;

// Writes out the bytes of a file window still to be written.
void FlushWindow(IoUnit& unit);

// Reads one line of at most `limit` bytes before its line feed into unit.line. A longer line is
// error `tooLongError`, raised at once on a file and after the rest of the line on a stream; with
// `tooLongError` 0 the rest of a long line is skipped.
void ReadLine(IoUnit& unit, std::size_t limit, int tooLongError);

}  // namespace fmtio
