// WRITE statements that a case file cannot hold: several on one unit, errors of the statement
// and fatal ones, the console.
#include "fmtio/write_statement.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fmtio/read_statement.h"
#include "fmtio/units.h"
#include "runtime/run_time_error.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

using WriteStatementTest = EngineRunTest;

TEST_F(WriteStatementTest, StatementsOnOneFile) {
  ASSERT_EQ(OpenFile(10, "OUT.TXT"), 0);
  // WRITE(10,'(3I4,2A3)') VALUES, NAMES: items by address are arrays.
  const std::int32_t values[3] = {1, 22, 333};
  const char names[2][3] = {{'A', 'B', 'C'}, {'D', 'E', 'F'}};
  BeginWrite(10, "(3I4,2A3)", -1);
  WriteItem(kInteger4, values, 3, 0);
  WriteItem(kCharacter, names, 2, 3);
  EXPECT_EQ(EndWrite(), 0);
  // ADVANCE='NO' and $ continue the line; ADVANCE='NO' does not hold back a record ended by
  // reversion.
  const struct { const char* format; const char* advance; int items; } statements[] = {
      {"(I1)", "no  ", 1}, {"(I1,$)", nullptr, 1}, {"(I1)", "YES", 1}, {"(I1)", "NO", 2}};
  int item = 0;
  for (const auto& statement : statements) {
    BeginWrite(10, statement.format, -1, statement.advance, statement.advance ? static_cast<int>(std::strlen(statement.advance)) : 0);
    for (int i = 0; i < statement.items; ++i) WriteItem(++item);
    EXPECT_EQ(EndWrite(), 0);
  }
  EXPECT_EQ(WriteText(10, "('.')"), 0);
  // WRITE(10,'(2I2)') 1, F(2), where F writes two statements, one nested in the other: a WRITE
  // begun while another is assembled puts the other aside.
  BeginWrite(10, "(2I2)", -1);
  WriteItem(1);
  BeginWrite(10, "('INNER',I2)", -1);
  EXPECT_EQ(WriteText(10, "('INNERMOST')", 0), 0);
  WriteItem(9);
  EXPECT_EQ(EndWrite(), 0);
  WriteItem(2);
  EXPECT_EQ(EndWrite(), 0);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(FileBytes("OUT.TXT"), "   1  22 333ABCDEF\r\n123\r\n4\r\n5.\r\nINNERMOST\r\nINNER 9\r\n 1 2\r\n");
}

// A record over RECL is refused; an ADVANCE other than YES or NO and a unit out of range are
// returned with the error branch. Without it an error ends the run with its report, and what
// preceded it stays.
TEST_F(WriteStatementTest, Errors) {
  ASSERT_EQ(OpenFile(10, "OUT.TXT", nullptr, kErrorBranch, 10), 0);  // RECL=10
  EXPECT_EQ(WriteText(10, "('         1')"), 0);
  EXPECT_EQ(WriteText(10, "('ABCDEFGHIJK')"), 6601);
  EXPECT_EQ(WriteText(kDefaultUnit, "(' A')", kErrorBranch, "MAYBE"), 6999);
  EXPECT_EQ(WriteText(40000, "(' A')") + WriteText(-40000, "(' A')"), 2 * 6314);
  Run([] { WriteText(32768, "(' A')", 0); });
  EXPECT_EQ(EndRun(), 1);
  EXPECT_EQ(streams_.out + streams_.err, Report("F6314", 6314));
  EXPECT_EQ(FileBytes("OUT.TXT"), "         1\r\n");
}

// Column 1 of console records: blank a new line, 0 a blank line first, 1 a new page, + the same
// line; the line is left open until the next record or the end of the run, and has no length
// limit; after "$" the next record goes on on the same line. The reply to a "$" prompt is typed on
// the prompt's line: with piped input the output line stays open, so the next record starts with
// a line end; at a terminal the typed line end has already moved the cursor.
TEST_F(WriteStatementTest, ConsoleCarriageControlAndPrompts) {
  for (const bool interactive : {false, true}) {
    StartRun("DATA.TXT\r\n", interactive);
    for (const char* format : {"(' A')", "('0B')", "('1C')", "('+D')", "(' TRUSS ',/)", "(' NAME: ',$)"}) {
      WriteText(kDefaultUnit, format);
    }
    const std::string record = " " + std::string(299, 'Y');
    WriteText(6, ("('" + record + "')").c_str());
    WriteText(0, "('0Z')");
    std::string expected = "A\r\n\r\nB\r\n\f\r \rC\rD\r\nTRUSS \r\n\r\nNAME: " + record.substr(1) + "\r\n\r\nZ";
    EXPECT_EQ(streams_.out, expected) << "interactive " << interactive << ": " << Shown(streams_.out);
    char reply[80];
    WriteText(kDefaultUnit, "(' NAME: ',$)", 0);
    BeginRead(kDefaultUnit, "(1A80)", -1);
    ReadItem(kCharacter, reply, 80);
    EXPECT_EQ(EndRead(), 0);
    EXPECT_EQ(std::string(reply, 8), "DATA.TXT");
    for (const char* format : {"(' NEXT')", "(' A',$)", "(' B')"}) WriteText(kDefaultUnit, format, 0);
    // CLOSE(0) ends the pending line and leaves the console connected; a re-OPEN of unit 6 ends
    // a prompt line as CLOSE would.
    EXPECT_EQ(Close(0), 0);
    WriteText(6, "(' C',$)");
    ASSERT_EQ(OpenFile(6, "NUL"), 0);
    WriteText(0, "(' D')");
    expected += interactive ? "\r\nNAME: NEXT\r\nAB\r\nC\r\nD\r\n" : "\r\nNAME: \r\nNEXT\r\nAB\r\nC\r\nD\r\n";
    EXPECT_EQ(EndRun(), 0);
    EXPECT_EQ(streams_.out, expected) << "interactive " << interactive << ": " << Shown(streams_.out);
  }
}

}  // namespace
}  // namespace fmtio
