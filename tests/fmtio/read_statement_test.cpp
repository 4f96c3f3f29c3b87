// READ statements that a case file cannot hold: several statements on one unit, the console and
// its input arriving in blocks, the defaults an OPEN gives a unit.
#include "fmtio/read_statement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "fmtio/units.h"
#include "runtime/run_time_error.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

class ReadStatementTest : public EngineRunTest {
 protected:
  // READ(unit, format, ERR=..., END=...) of `count` INTEGER*4 items into value_; the status.
  int ReadInt(int unit, const char* format, int count = 1) {
    std::fill(std::begin(value_), std::end(value_), -1);
    BeginRead(unit, format, -1, kErrorBranch | kEndBranch);
    for (int i = 0; i < count; ++i) ReadItem(kInteger4, &value_[i]);
    return EndRead();
  }

  // READ(unit, format, ...) of a CHARACTER*length item into text_; the status.
  int ReadText(int unit, const char* format, int length, int options = kErrorBranch | kEndBranch) {
    text_.assign(static_cast<std::size_t>(length), '?');
    BeginRead(unit, format, -1, options);
    ReadItem(kCharacter, text_.data(), length);
    return EndRead();
  }

  std::int32_t value_[4] = {};
  std::string text_;
};

// Each READ starts at a record and skips the rest of the last one it read.
TEST_F(ReadStatementTest, StatementsOnTheConsole) {
  StartRun("3 10 20 30 40\n12\n3\n4 5\n6\n'A\nXB' 7\n8\n");
  // READ(*,*) N, (A(I), I = 1, N): later items may depend on earlier ones.
  std::int32_t n = 0;
  BeginRead(kDefaultUnit, nullptr, 0);
  ReadItem(kInteger4, &n);
  for (int i = 0; i < n; ++i) ReadItem(kInteger4, &value_[i]);
  EXPECT_EQ(EndRead(), 0);
  EXPECT_EQ(std::vector<int>(value_, value_ + 4), (std::vector<int>{10, 20, 30, 0}));
  // A unit on CON reads the same console.
  std::string values;
  ASSERT_EQ(OpenFile(10, "CON"), 0);
  for (const char* format : {"(I1)", "(I1)", "*", "*"}) {
    if (format[0] == '*') format = nullptr;
    ReadInt(format ? 10 : kDefaultUnit, format);
    values += std::to_string(value_[0]);
  }
  EXPECT_EQ(values, "1346");
  // A constant over a record end drops the next record's first character.
  EXPECT_EQ(ReadText(kDefaultUnit, nullptr, 2) == 0 ? text_ : "error", "AB");
  EXPECT_EQ(ReadInt(kDefaultUnit, nullptr) == 0 ? value_[0] : -9, 8);
  EXPECT_EQ(ReadInt(kDefaultUnit, nullptr), -1);
}

TEST_F(ReadStatementTest, ConsoleLinesMustFitTheConsoleBuffer) {
  StartRun(std::string(131, 'x') + "\r\n");
  EXPECT_EQ(ReadText(kDefaultUnit, "(1A80)", 80), 6407);
  StartRun(std::string(50, 'a') + std::string(80, 'b') + "\r\n");
  EXPECT_EQ(ReadText(kDefaultUnit, "(1A80)", 80) == 0 ? text_ : "error", std::string(50, 'a') + std::string(30, 'b'));
  StartRun("\x1a\r\n");
  Run([&] { ReadText(kDefaultUnit, "(1A80)", 80, 0); });
  EXPECT_EQ(EndRun(), 1);
  EXPECT_EQ(streams_.err, Report("F6501: READ(CON)", 6501));
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
    while (ReadInt(kDefaultUnit, nullptr) == 0) values += std::to_string(value_[0]) + ' ';
    EXPECT_EQ(values, expected) << "block " << block;
  }
}

// PAD= and BLANK= of the OPEN are the unit's defaults; the end of a file stays its end.
TEST_F(ReadStatementTest, UnitDefaultsForPadAndBlank) {
  WriteFile("PAD.TXT", "AB\nCD");
  WriteFile("BLANK.TXT", "1 1\n1 1\n");
  OpenKeywords noPad, blankZero;
  noPad.file = {"PAD.TXT"};
  noPad.pad = {"NO"};
  blankZero.file = {"BLANK.TXT"};
  blankZero.blank = {"ZERO"};
  ASSERT_EQ(Open(9, noPad, kErrorBranch) + Open(8, blankZero, kErrorBranch), 0);
  EXPECT_EQ(ReadText(9, "(A5)", 5), 6601);
  EXPECT_EQ(ReadText(9, "(A2)", 5), 0);
  EXPECT_EQ(text_, "CD   ");
  EXPECT_EQ(ReadInt(9, nullptr) + ReadInt(9, nullptr), -2);
  std::string values;
  for (const char* format : {"(I3)", "(BN,I3)"}) values += ReadInt(8, format) == 0 ? std::to_string(value_[0]) + ' ' : "error ";
  EXPECT_EQ(values, "101 11 ");
}

}  // namespace
}  // namespace fmtio
