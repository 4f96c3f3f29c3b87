// Fatal run-time errors: the numbered error object, its message table and the fatal report.
#pragma once

#include <new>
#include <string>

namespace runtime {

// The statement or facility an error belongs to; it selects the text written after the number.
enum class StatementKind : unsigned char {
  kNone = 0,
  kClose = 1,
  kWrite = 2,
  kEndfile = 3,
  kInquire = 4,
  kLocking = 5,
  kOpen = 6,
  kRead = 7,
  kRewind = 8,
  kBackspace = 9,
  kEof = 10,
  kDebug = 11,
  kAllocate = 12,
  kDeallocate = 13,
  kBeginThread = 14,
  kMath = 15,
  kKeywords = 16,  // an error in the keywords of a statement, before any unit is known
  kWindow = 17,    // the windowing console, which this system does not have
};

// A numbered run-time error. Engine code throws it with the number alone; the statement that
// catches it fills in its kind and the name to show before it is reported.
struct RunTimeError {
  int number = 0;
  char letter = 'F';                              // 'F' statement errors, 'M' arithmetic errors
  StatementKind kind = StatementKind::kKeywords;  // kinds 0 to 10 show `name` in parentheses
  std::string name;                               // unit or file name to show
  std::string message;                            // empty: the table's text for `number`
};

// Throws a statement error with the given number; the catching statement locates it.
[[noreturn]] void Raise(int number);

// Runs `work`; an allocation that fails in it is raised as error 6700 (no memory).
template <class Work>
void RaisingNoMemory(Work&& work) {
  try {
    work();
  } catch (const std::bad_alloc&) {
    Raise(6700);
  }
}

// The message text of statement error `number` ("" when the number has none).
const char* ErrorMessage(int number);

// True for the errors shown without a unit (errors in the keyword values of a statement).
bool ShownWithoutUnit(int number);

// The complete bytes of the fatal report of `error`, as written to standard error.
std::string FatalReportText(const RunTimeError& error);

// Writes the fatal report to standard error, then ends the run with exit code 1; while the
// end-of-run closing is under way it only writes the report and returns to the closing.
void Fatal(const RunTimeError& error);

}  // namespace runtime
