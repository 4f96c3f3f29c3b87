#include "runtime/termination.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/fp_traps.h"
#include "runtime/run_time_error.h"

namespace runtime {
namespace {

// Hooks of our own that log what the run-time support asks of the layers above.
std::string out, err;
int closings = 0;
int errorsInClosing = 0;   // Fatal calls the closing makes before it goes on
bool throwInClosing = false;
bool closingFinished = false;

void WriteOutHook(const char* bytes, std::size_t count) { out.append(bytes, count); }
void WriteErrHook(const char* bytes, std::size_t count) { err.append(bytes, count); }
void EndLineHook() { out += "<line end>"; }
void CloseUnitsHook() {
  ++closings;
  for (int i = 0; i < errorsInClosing; ++i) {
    RunTimeError error;
    error.number = 6422;
    error.kind = StatementKind::kWrite;
    error.name = std::string(1, static_cast<char>('A' + i));
    error.message = "M";
    Fatal(error);  // returns during the closing, which goes on
  }
  if (throwInClosing) Raise(6423);
  closingFinished = true;
}

class TerminationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out.clear();
    err.clear();
    closings = 0;
    errorsInClosing = 0;
    throwInClosing = false;
    closingFinished = false;
    SetHooks({WriteOutHook, WriteErrHook, EndLineHook, CloseUnitsHook});
  }
};

int ExitCodeOf(void (*ending)()) {
  try {
    ending();
  } catch (const RunEnded& end) {
    return end.exitCode;
  }
  return -1;
}

TEST_F(TerminationTest, StopEndsThePendingLineFirst) {
  EXPECT_EQ(ExitCodeOf([] { Stop(); }), 0);
  EXPECT_EQ(out, "<line end>Stop - Program terminated.\r\n");
  out.clear();
  EXPECT_EQ(ExitCodeOf([] { Stop("END OF ANALYSIS"); }), 0);
  EXPECT_EQ(out, "<line end>END OF ANALYSIS\r\n");
  EXPECT_EQ(closings, 0) << "the closing is left to the catcher";
}

TEST_F(TerminationTest, FatalWritesTheReportAndEndsWithCodeOne) {
  EXPECT_EQ(ExitCodeOf([] {
              RunTimeError error;
              error.number = 6416;
              error.kind = StatementKind::kOpen;
              error.name = "DATA.TXT";
              Fatal(error);
            }), 1);
  EXPECT_EQ(err, "\r\nrun-time error F6416: OPEN(DATA.TXT)\r\n- file not found\r\n");
  EXPECT_EQ(out, "");
}

TEST_F(TerminationTest, FinishClosesOnce) {
  EXPECT_FALSE(Terminating());
  EXPECT_EQ(Finish(0), 0);
  EXPECT_TRUE(Terminating());
  EXPECT_EQ(Finish(0), 0);
  EXPECT_EQ(Finish(1), 1);
  EXPECT_EQ(closings, 1);
  EXPECT_TRUE(closingFinished);
  // A new run (new hooks) may close again.
  SetHooks({WriteOutHook, WriteErrHook, EndLineHook, CloseUnitsHook});
  EXPECT_FALSE(Terminating());
  EXPECT_EQ(Finish(0), 0);
  EXPECT_EQ(closings, 2);
}

TEST_F(TerminationTest, ErrorsDuringTheClosingAreReportedAndTheClosingGoesOn) {
  errorsInClosing = 2;
  EXPECT_EQ(Finish(0), 1);
  EXPECT_EQ(closings, 1);
  EXPECT_TRUE(closingFinished);
  EXPECT_EQ(err, "\r\nrun-time error F6422: WRITE(A)\r\n- M\r\n\r\nrun-time error F6422: WRITE(B)\r\n- M\r\n");
  EXPECT_EQ(Finish(0), 0) << "the closing does not start again";
  EXPECT_EQ(closings, 1);
}

TEST_F(TerminationTest, ErrorThrownOutOfTheClosingIsReportedOnce) {
  throwInClosing = true;
  EXPECT_EQ(Finish(0), 1);
  EXPECT_EQ(closings, 1);
  EXPECT_EQ(err, std::string("\r\nrun-time error F6423\r\n- ") + ErrorMessage(6423) + "\r\n");
}

TEST_F(TerminationTest, ArgumentsWithoutTheProgramName) {
  char program[] = "truss", first[] = "DATA.TXT", second[] = "OUT.TXT";
  char* argv[] = {program, first, second, nullptr};
  Start(3, argv);
  DisarmFloatingPointTraps();
  EXPECT_EQ(ArgumentCount(), 2);
  EXPECT_STREQ(Argument(0), "DATA.TXT");
  EXPECT_STREQ(Argument(1), "OUT.TXT");
  EXPECT_EQ(Argument(2), nullptr);
  Start(1, argv);
  DisarmFloatingPointTraps();
  EXPECT_EQ(ArgumentCount(), 0);
}

}  // namespace
}  // namespace runtime
