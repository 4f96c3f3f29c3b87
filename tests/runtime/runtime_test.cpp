// The fatal report, the end of a run and the floating-point traps.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cfenv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>

#include "runtime/fp_traps.h"
#include "runtime/run_time_error.h"
#include "runtime/run_start.h"
#include "runtime/termination.h"

namespace runtime {
namespace {

// A statement's error; an empty message takes the table's text.
RunTimeError Error(int number, StatementKind kind, std::string message = "", std::string name = "DATA.TXT") {
  return {number, 'F', kind, std::move(name), std::move(message)};
}

TEST(FatalReportTest, EveryStatementKindAndLetter) {
  // CR LF, "run-time error ", letter and number, the text of kind 0 to 17 (0 to 10 with the name
  // in parentheses), then "- " and the message (none when it is empty) and CR LF.
  const char* texts[] = {": (DATA.TXT)", ": CLOSE(DATA.TXT)", ": WRITE(DATA.TXT)", ": ENDFILE(DATA.TXT)",
                         ": INQUIRE(DATA.TXT)", ": LOCKING(DATA.TXT)", ": OPEN(DATA.TXT)", ": READ(DATA.TXT)",
                         ": REWIND(DATA.TXT)", ": BACKSPACE(DATA.TXT)", ": EOF(DATA.TXT)", ": $DEBUG", ": ALLOCATE",
                         ": DEALLOCATE", ": BEGINTHREAD", ": MATH", "", ""};
  for (int kind = 0; kind <= 17; ++kind) {
    EXPECT_EQ(FatalReportText(Error(6501, static_cast<StatementKind>(kind), "M")),
              std::string("\r\nrun-time error F6501") + texts[kind] + "\r\n- M\r\n");
  }
  EXPECT_EQ(FatalReportText(Error(6000, StatementKind::kRead)), "\r\nrun-time error F6000: READ(DATA.TXT)\r\n\r\n");
}

// Every number the engine raises has a short text, so a new error cannot arrive without one.
// The trap numbers are reported with their trap names instead.
TEST(ErrorMessageTest, EveryEngineErrorHasATextAndKeywordErrorsNoUnit) {
  const std::regex number(R"(\b6[0-9]{3}\b)");
  for (const char* folder : {"fmtio", "runtime"}) {
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(TRUSS_SOURCE_DIR) / folder)) {
      if (entry.path().extension() != ".cpp" || entry.path().filename() == "fp_traps.cpp") continue;
      std::ifstream file(entry.path());
      const std::string source{std::istreambuf_iterator<char>(file), {}};
      for (std::sregex_iterator it(source.begin(), source.end(), number), end; it != end; ++it) {
        EXPECT_STRNE(ErrorMessage(std::stoi(it->str())), "") << it->str() << " in " << entry.path();
      }
    }
  }
  for (int n : {6304, 6311, 6314, 6700}) EXPECT_TRUE(ShownWithoutUnit(n)) << n;
  for (int n : {6416, 6501, 6207, 6999}) EXPECT_FALSE(ShownWithoutUnit(n)) << n;
}

// Hooks that log what the run-time support asks of the layers above; the closing may report
// errors (and go on) or throw one out.
std::string out, err;
int closings, errorsInClosing;
bool throwInClosing, closingFinished;

void CloseUnitsHook() {
  ++closings;
  for (int i = 0; i < errorsInClosing; ++i) {
    Fatal(Error(6422, StatementKind::kWrite, "M", std::string(1, static_cast<char>('A' + i))));
  }
  if (throwInClosing) Raise(6423);
  closingFinished = true;
}

// The stop leaves the closing to the one who catches the end of the run, which calls Finish.
TEST(TerminationTest, FinishClosesOnceAReportedErrorMakesTheCodeOne) {
  const struct { int errors; bool throws; int code; std::string err; } cases[] = {
      {2, false, 1, "\r\nrun-time error F6422: WRITE(A)\r\n- M\r\n\r\nrun-time error F6422: WRITE(B)\r\n- M\r\n"},
      {0, false, 0, ""},  // after a run whose closing failed
      {0, true, 1, std::string("\r\nrun-time error F6423\r\n- ") + ErrorMessage(6423) + "\r\n"},
  };
  for (const auto& c : cases) {
    // A new run (new hooks) closes again.
    out.clear(), err.clear();
    closings = 0;
    closingFinished = false;
    errorsInClosing = c.errors;
    throwInClosing = c.throws;
    SetHooks({[](const char* b, std::size_t n) { out.append(b, n); },
              [](const char* b, std::size_t n) { err.append(b, n); }, [] { out += "<line end>"; }, CloseUnitsHook});
    EXPECT_THROW(Stop(), RunEnded);
    EXPECT_EQ(out, "<line end>Stop - Program terminated.\r\n");
    EXPECT_EQ(closings, 0);
    EXPECT_FALSE(Terminating());
    EXPECT_EQ(Finish(0), c.code);
    EXPECT_TRUE(Terminating());
    EXPECT_EQ(Finish(0), 0) << "the closing does not start again";
    EXPECT_EQ(closings, 1);
    EXPECT_EQ(closingFinished, !c.throws) << "errors reported during the closing let it go on";
    EXPECT_EQ(err, c.err);
  }
}

// Without the hooks of the layers above, the texts go to the standard streams themselves, whole;
// a stream that refuses them is given up at once.
TEST(TerminationStreamsTest, WrittenWithoutHooks) {
  SetHooks({});
  std::fflush(nullptr);
  const int saved[] = {::dup(1), ::dup(2)};
  FILE* files[] = {std::tmpfile(), std::tmpfile()};
  const int full = ::open("/dev/full", O_WRONLY);
  for (int fd : {1, 2}) ::dup2(::fileno(files[fd - 1]), fd);
  WriteOut("OUT", 3);
  WriteErr("ERR", 3);
  for (int fd : {1, 2}) ::dup2(full, fd);
  WriteOut("LOST", 4);
  WriteErr("LOST", 4);
  std::string texts;
  for (int fd : {1, 2}) {
    ::dup2(saved[fd - 1], fd);
    char bytes[16] = {};
    texts.append(bytes, ::pread(::fileno(files[fd - 1]), bytes, sizeof bytes, 0)).append("|");
  }
  for (int fd : {saved[0], saved[1], full}) ::close(fd);
  EXPECT_EQ(texts, "OUT|ERR|");
}

// The start of a run arms the traps of an invalid operation, a division by zero and an overflow,
// no other; the trapped runs themselves end in the engine's and the program's suites.
TEST(FloatingPointTrapTest, MaskedConversionsLeaveTheTrapsArmed) {
  Start(0, nullptr);
  EXPECT_EQ(Argument(0), nullptr) << "no arguments";
  {
    TrapsMasked masked;
    volatile float zero = 0.0f, result = 1.0f / zero;  // checked by the caller, not fatal
    (void)result;
  }
  EXPECT_EQ(fegetexcept(), FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0) << "the flags raised while masked are cleared";
  DisarmFloatingPointTraps();
  // The traps the program's runs do not reach, and a number that names none.
  const std::pair<int, const char*> names[] = {{6105, "underflow"}, {6106, "inexact"}, {6000, ""}};
  for (const auto& [number, name] : names) EXPECT_STREQ(TrapName(number), name) << number;
}

}  // namespace
}  // namespace runtime
