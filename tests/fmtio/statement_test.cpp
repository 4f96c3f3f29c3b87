// READ and WRITE statements that a case file cannot hold: several statements on one unit, the
// console and its input arriving in blocks, the defaults an OPEN gives a unit, errors of the
// statement and fatal ones; the typed calls beyond the case tables (which run every WRITE and READ
// case through the typed items of each type and in memory); cases the fuzz targets found and the
// engine's bounds against runaway statements.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <span>

#include "fmtio/read_statement.h"
#include "fmtio/typed_io.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

class ReadStatementTest : public EngineRunTest {
 protected:
  // READ(unit, format, ERR=..., END=...) of an INTEGER*4 item into value_; the status.
  int ReadInt(int unit, const char* format) {
    value_ = -1;
    BeginRead(unit, format, -1, kErrorBranch | kEndBranch);
    ReadItem(kInteger4, &value_);
    return EndRead();
  }

  // READ(unit, format, ERR=..., END=...) of a CHARACTER*length item into text_; the status.
  int ReadText(int unit, const char* format, int length) {
    text_.assign(static_cast<std::size_t>(length), '?');
    BeginRead(unit, format, -1, kErrorBranch | kEndBranch);
    ReadItem(kCharacter, text_.data(), length);
    return EndRead();
  }

  std::int32_t value_ = 0;
  std::string text_;
};

// Each READ starts at a record and skips the rest of the last one it read.
TEST_F(ReadStatementTest, StatementsOnTheConsole) {
  StartRun("3 10 20 30 40\n12\n3\n4 5\n6\n'A\nXB' 7\n8\n");
  // READ(*,*) N, (A(I), I = 1, N): later items may depend on earlier ones.
  std::int32_t n = 0, a[4] = {};
  BeginRead(kDefaultUnit, nullptr, 0);
  ReadItem(kInteger4, &n);
  for (int i = 0; i < n; ++i) ReadItem(kInteger4, &a[i]);
  EXPECT_EQ(EndRead(), 0);
  EXPECT_EQ(std::vector<int>(a, a + 4), (std::vector<int>{10, 20, 30, 0}));
  // A unit on CON reads the same console.
  std::string values;
  ASSERT_EQ(OpenFile(10, "CON"), 0);
  for (const char* format : {"(I1)", "(I1)", "*", "*"}) {
    if (format[0] == '*') format = nullptr;
    ReadInt(format ? 10 : kDefaultUnit, format);
    values += std::to_string(value_);
  }
  EXPECT_EQ(values, "1346");
  // A constant over a record end drops the next record's first character.
  EXPECT_EQ(ReadText(kDefaultUnit, nullptr, 2) == 0 ? text_ : "error", "AB");
  EXPECT_EQ(ReadInt(kDefaultUnit, nullptr) == 0 ? value_ : -9, 8);
  EXPECT_EQ(ReadInt(kDefaultUnit, nullptr), -1);
}

TEST_F(ReadStatementTest, ConsoleLinesMustFitTheConsoleBuffer) {
  StartRun(std::string(131, 'x') + "\r\n");
  EXPECT_EQ(ReadText(kDefaultUnit, "(1A80)", 80), 6407);
  StartRun(std::string(50, 'a') + std::string(80, 'b') + "\r\n");
  EXPECT_EQ(ReadText(kDefaultUnit, "(1A80)", 80) == 0 ? text_ : "error", std::string(50, 'a') + std::string(30, 'b'));
}

// Piped input arrives in blocks that split lines anywhere; every line comes through whole.
TEST_F(ReadStatementTest, PipedInputInBlocksLosesNothing) {
  std::string input, expected, values;
  for (int i = 0; i < 500; ++i) {
    input += std::string(static_cast<std::size_t>(i % 120), ' ') + std::to_string(i) + (i % 3 ? "\n" : "\r\n");
    expected += std::to_string(i) + ' ';
  }
  for (const std::size_t block : {1, 7, 132, 0}) {
    StartRun(input, false, {}, block);
    values.clear();
    while (ReadInt(kDefaultUnit, nullptr) == 0) values += std::to_string(value_) + ' ';
    EXPECT_EQ(values, expected) << "block " << block;
  }
}

// PAD= and BLANK= of the OPEN are the unit's defaults; the end of a file stays its end.
TEST_F(ReadStatementTest, UnitDefaultsForPadAndBlank) {
  WriteFile("PAD.TXT", "AB\nCD");
  WriteFile("BLANK.TXT", "1 1\n1 1\n");
  ASSERT_EQ(Open(9, {.file = {"PAD.TXT"}, .pad = {"NO"}}, kErrorBranch) +
                Open(8, {.file = {"BLANK.TXT"}, .blank = {"ZERO"}}, kErrorBranch),
            0);
  EXPECT_EQ(ReadText(9, "(A5)", 5), 6601);
  EXPECT_EQ(ReadText(9, "(A2)", 5), 0);
  EXPECT_EQ(text_, "CD   ");
  EXPECT_EQ(ReadInt(9, nullptr) + ReadInt(9, nullptr), -2);
  std::string values;
  for (const char* format : {"(I3)", "(BN,I3)"}) values += ReadInt(8, format) == 0 ? std::to_string(value_) + ' ' : "error ";
  EXPECT_EQ(values, "101 11 ");
}

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
  ASSERT_EQ(Open(10, {.file = {"OUT.TXT"}, .recl = 10}, kErrorBranch), 0);
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
    const std::string record = std::string(" ").append(299, 'Y');  // appended: gcc 12 warns wrongly on " " + text
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

TEST_F(WriteStatementTest, TypedCallsSpansTextAndOptionBits) {
  std::array<std::int32_t, 3> values{7, -8, 9}, back{};
  EXPECT_EQ(Format("(3I3)", std::span(values)), "  7 -8  9");
  EXPECT_EQ(Parse("  7 -8  9", "(3I3)", std::span(back)), 0);
  EXPECT_EQ(back, values);
  // A char array is written up to its first NUL and read whole; a span of them is one item each.
  char name[6] = "AB";
  EXPECT_EQ(Format("(A,'|',A,'|',A)", name, std::string_view("C D"), std::string("E")), "AB|C D|E");
  char words[2][3] = {};
  EXPECT_EQ(Parse("XY\nZ", "(A2/A)", std::span(words)), 0);
  EXPECT_EQ(std::string(words[0], 6), "XY Z  ");
  // The end of the text and errors are returned; the records made before an error are kept.
  std::int32_t n = 0;
  EXPECT_EQ(Parse(Options{kEndBranch}, "", "(I3)", n), -1);
  std::string records;
  EXPECT_EQ(Format(Options{kErrorBranch}, records, "(I3/F5.1)", 7, 2), 6207);
  EXPECT_EQ(records, "  7");
}

constexpr int kPutAsideLimit = 32;                 // statements that can be put aside at once
constexpr std::size_t kItemListLimit = 64u << 20;  // bytes of one statement's item list

TEST_F(WriteStatementTest, RunEndedInsideAPutAsideWriteLeavesNoStatementForTheNextRun) {
  const std::int32_t values[3] = {1, 2, 3};
  EXPECT_EQ(RunAlone([&] {
              BeginWrite(kDefaultUnit, "(3I3)", -1);
              WriteItem(kInteger4, values, 3, 0);
              // The WRITE begun inside it has a malformed format and no error branch: the run ends.
              BeginWrite(kDefaultUnit, "(I3", -1);
              WriteItem(std::int32_t{4});
              EndWrite();
            }),
            1);
  EXPECT_EQ(RunAlone([&] {
              BeginWrite(kDefaultUnit, "(I3)", -1);
              WriteItem(std::int32_t{7});
              EXPECT_EQ(EndWrite() + EndWrite(), 0);  // the second has no statement left to run
            }),
            0);
  EXPECT_EQ(streams_.out + streams_.err, " 7\r\n") << "the statement put aside in the first run ran in the second";
}

// Statements put aside and one statement's item list are bounded: beyond, a statement is refused
// with 6700, its items go nowhere, and the next one runs as usual; without the error branch the
// run ends with the report.
TEST_F(WriteStatementTest, RunawayStatementsAreRefusedWith6700) {
  std::string statuses, expected;
  EXPECT_EQ(RunAlone([&] {
              for (int i = 1; i <= kPutAsideLimit; ++i) {
                BeginWrite(kDefaultUnit, "(I3)", -1);
                WriteItem(std::int32_t{i});
              }
              BeginWrite(kDefaultUnit, "(I3)", -1, nullptr, 0, kErrorBranch);
              WriteItem(std::int32_t{99});
              statuses = std::to_string(EndWrite());
              for (int i = kPutAsideLimit; i >= 1; --i) statuses += std::to_string(EndWrite());
            }),
            0);
  EXPECT_EQ(statuses, "6700" + std::string(kPutAsideLimit, '0'));
  for (int i = kPutAsideLimit; i >= 1; --i) expected.append(i < 10 ? " " : "").append(std::to_string(i)).append("\r\n");
  EXPECT_EQ(streams_.out + streams_.err, expected);
  EXPECT_EQ(RunAlone([&] { for (int i = 0; i <= kPutAsideLimit; ++i) BeginWrite(kDefaultUnit, "(I3)", -1); }), 1);
  EXPECT_EQ(streams_.err, Report("F6700", 6700));
  const std::string chunk(kItemListLimit / 4, 'x');
  const auto write = [&](int options, int chunks, const std::string& text) {
    BeginWrite(kDefaultUnit, "(A)", -1, nullptr, 0, options);
    for (int i = 0; i < chunks; ++i) WriteItem(text.data(), static_cast<int>(text.size()));
    statuses += std::to_string(EndWrite());
  };
  statuses.clear();
  EXPECT_EQ(RunAlone([&] { write(kErrorBranch, 4, chunk); write(kErrorBranch, 1, "ok"); }), 0);
  EXPECT_EQ(statuses, "67000");
  EXPECT_EQ(streams_.out, "k\r\n");
  EXPECT_EQ(RunAlone([&] { write(0, 4, chunk); }), 1);
  EXPECT_EQ(streams_.err, Report("F6700", 6700));
}

}  // namespace
}  // namespace fmtio
