#include "runtime/run_time_error.h"

#include <cstdio>

#include "runtime/termination.h"

namespace runtime {
namespace {

struct MessageEntry {
  int number;
  const char* text;
};

// One short text per statement error, naming the condition.
constexpr MessageEntry kMessages[] = {
    {6100, "integer value too large for the item"},
    {6101, "invalid character in integer field"},
    {6102, "real value overflows in conversion"},
    {6103, "invalid real value"},
    {6104, "value out of REAL*4 range"},
    {6202, "device opened with an access other than sequential"},
    {6205, "A edit descriptor expected for character item"},
    {6206, "D, E, F or G edit descriptor expected for real item"},
    {6207, "I edit descriptor expected for integer item"},
    {6208, "L edit descriptor expected for logical item"},
    {6209, "unit already connected with another access"},
    {6300, "KEEP is not allowed for a scratch file"},
    {6301, "SCRATCH is not allowed with a file name"},
    {6302, "second # in integer field"},
    {6303, "radix outside 2 to 36"},
    {6304, "keyword value not recognised"},
    {6311, "RECL required for direct access"},
    {6314, "unit number out of range"},
    {6404, "file cannot be deleted"},
    {6407, "console line too long"},
    {6412, "invalid file name or argument"},
    {6413, "file already connected to another unit"},
    {6414, "access denied"},
    {6415, "file already exists; the program never overwrites a file: remove or rename it"},
    {6416, "file not found"},
    {6417, "too many open files"},
    {6418, "too many units connected"},
    {6421, "writing refused"},
    {6422, "no space left on device"},
    {6423, "write failure"},
    {6500, "read failure"},
    {6501, "end of file"},
    {6502, "repeat count zero in list-directed input"},
    {6503, "second repeat count for one value"},
    {6504, "list-directed value of the wrong form for the item"},
    {6506, "comma missing in complex value"},
    {6507, "T or F expected in logical value"},
    {6509, "literal edit descriptor in a READ format"},
    {6601, "record length exceeded"},
    {6700, "no memory for a unit, an item list or a statement put aside"},
    {6971, "d greater than w in EN or ES edit descriptor"},
    {6972, "exponent width zero in EN or ES edit descriptor"},
    {6980, "number expected in format"},
    {6981, "format must begin with a left parenthesis"},
    {6982, "zero tab position or sign without P in format"},
    {6983, "repeat count not allowed in format"},
    {6984, "count required before H or P in format"},
    {6986, "groups nested too deeply in format"},
    {6987, "decimal point expected in format"},
    {6988, "format ends early or literal not closed"},
    {6989, "invalid character in format"},
    {6990, "minimum digits greater than width in format"},
    {6991, "number too large in format"},
    {6999, "ADVANCE must be YES or NO"},
};

// The text written after the number, by statement kind.
constexpr const char* kKindTexts[] = {
    ": (",          ": CLOSE(",     ": WRITE(",         ": ENDFILE(",         ": INQUIRE(",
    ": LOCKING(",   ": OPEN(",      ": READ(",          ": REWIND(",          ": BACKSPACE(",
    ": EOF(",       ": $DEBUG\r\n- ", ": ALLOCATE\r\n- ", ": DEALLOCATE\r\n- ", ": BEGINTHREAD\r\n- ",
    ": MATH\r\n- ", "\r\n- ",       "\r\n- ",
};

}  // namespace

void Raise(int number) {
  RunTimeError error;
  error.number = number;
  throw error;
}

const char* ErrorMessage(int number) {
  for (const MessageEntry& entry : kMessages) {
    if (entry.number == number) return entry.text;
  }
  return "";
}

bool ShownWithoutUnit(int number) {
  return number == 6304 || number == 6311 || number == 6314 || number == 6700;
}

std::string FatalReportText(const RunTimeError& error) {
  const int kind = static_cast<int>(error.kind);
  const std::string message = error.message.empty() ? ErrorMessage(error.number) : error.message;
  char number[16];
  std::snprintf(number, sizeof number, "%c%04d", error.letter, error.number);
  std::string text = "\r\nrun-time error ";
  text += number;
  text += kKindTexts[kind >= 0 && kind <= 17 ? kind : 16];
  if (kind <= static_cast<int>(StatementKind::kEof)) {
    text += error.name;
    text += message.empty() ? ")\r\n" : ")\r\n- ";
  }
  text += message;
  text += "\r\n";
  return text;
}

void Fatal(const RunTimeError& error) {
  const std::string text = FatalReportText(error);
  WriteErr(text.data(), text.size());
  if (!Terminating()) throw RunEnded{1};
  NoteClosingError();
}

}  // namespace runtime
