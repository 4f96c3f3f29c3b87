#include "fmtio/write_statement.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <type_traits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "fmtio/platform.h"
#include "fmtio/read_statement.h"
#include "fmtio/units.h"
#include "runtime/fp_traps.h"
#include "runtime/run_time_error.h"
#include "runtime/termination.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

std::string Shown(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    switch (c) {
      case '\r': text += "\\r"; break;
      case '\n': text += "\\n"; break;
      case '\f': text += "\\f"; break;
      default: text += static_cast<char>(c);
    }
  }
  return "\"" + text + "\"";
}

std::string FileBytes(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

struct Logical {
  std::int32_t value;
};
struct Complex8 {
  float re, im;
};
using Item = std::variant<std::int32_t, std::int16_t, std::int8_t, float, double, Logical, std::string, Complex8>;
using Items = std::vector<Item>;

void WriteItems(const Items& items) {
  for (const Item& item : items) {
    if (const auto* text = std::get_if<std::string>(&item)) {
      WriteItem(text->data(), static_cast<int>(text->size()));
    } else if (const auto* logical = std::get_if<Logical>(&item)) {
      WriteLogical(logical->value);
    } else if (const auto* complex = std::get_if<Complex8>(&item)) {
      WriteComplex(complex->re, complex->im);
    } else {
      std::visit([](auto value) {
        if constexpr (std::is_arithmetic_v<decltype(value)>) WriteItem(value);
      }, item);
    }
  }
}

// A REAL*4 word holding four characters, as a title is stored.
float Word(const char* four) {
  float word;
  std::memcpy(&word, four, 4);
  return word;
}

// Each test runs the engine in a fresh folder with the standard streams in memory.
class WriteStatementTest : public EngineRunTest {
 protected:
  void SetUp() override {
    EngineRunTest::SetUp();
    StartRun(false);
  }

  void StartRun(bool interactive) {
    platform::MemoryStreams streams;
    streams.interactive = interactive;
    StartEngine(std::move(streams));
  }

  // WRITE(unit, format, ERR=...) items; returns the status.
  static int Write(int unit, const std::string& format, const Items& items, int options = kErrorBranch) {
    BeginWrite(unit, format.c_str(), -1, nullptr, 0, options);
    WriteItems(items);
    return EndWrite();
  }

  // OPEN(10, FILE='OUT.TXT', STATUS='REPLACE'), one WRITE, CLOSE(10): the file's bytes.
  static std::string WrittenFile(const std::string& format, const Items& items, int& status) {
    OpenKeywords keywords;
    keywords.file = {"OUT.TXT"};
    keywords.status = {"REPLACE"};
    EXPECT_EQ(Open(10, keywords, kErrorBranch), 0);
    status = Write(10, format, items);
    EXPECT_EQ(Close(10, {}, kErrorBranch), 0);
    return FileBytes("OUT.TXT");
  }
};

struct EditCase {
  const char* format;
  Items items;
  const char* record;  // without the line end
};

// Every descriptor on a file with plain carriage control: the record as the rules build it.
TEST_F(WriteStatementTest, EditsEveryDescriptor) {
  const float inf = std::numeric_limits<float>::infinity();
  const EditCase cases[] = {
      // I with m, the plus-sign modes and the integer widths.
      {"(I3)", {5}, "  5"},
      {"(I3)", {-99}, "-99"},
      {"(I3)", {1234}, "***"},
      {"(I3)", {-100}, "***"},
      {"(I5.3)", {7}, "  007"},
      {"(I3.0)", {0}, "   "},
      {"(I1)", {0}, "0"},
      {"(SP,I4)", {5}, "  +5"},
      {"(SP,I3.0)", {0}, "   "},
      {"(SP,I3,SS,I3,SP,I3,S,I3)", {1, 2, 3, 4}, " +1  2 +3  4"},
      {"(I6)", {std::int16_t{-32768}}, "-32768"},
      {"(I4)", {std::int8_t{-128}}, "-128"},
      {"(I11)", {std::numeric_limits<std::int32_t>::min()}, "-2147483648"},
      // E: no zero before the point, rounding carries, wide exponents.
      {"(E15.4)", {1.0f}, "      .1000E+01"},
      {"(E15.4)", {-0.000123f}, "     -.1230E-03"},
      {"(E15.4)", {0.0f}, "      .0000E+00"},
      {"(E15.4)", {-0.0f}, "      .0000E+00"},
      {"(E15.4)", {1.0E10f}, "      .1000E+11"},
      {"(E15.5)", {1234.5f}, "     .12345E+04"},
      {"(E10.4)", {-12.5f}, "-.1250E+02"},
      {"(E9.4)", {-12.5f}, "*********"},
      {"(E15.4)", {3.0E-5f}, "      .3000E-04"},
      {"(E15.4)", {0.99996f}, "      .1000E+01"},
      {"(E12.4)", {1.0E100}, "   .1000+101"},
      {"(E12.4E3)", {1.0E100}, "  .1000E+101"},
      {"(E12.4E1)", {1.0E10f}, "************"},
      {"(E20.10)", {1.0f / 3.0f}, "     .3333333000E+00"},
      {"(1P,E15.6)", {12.5f}, "   1.250000E+01"},
      {"(1P,E15.6)", {0.0f}, "   0.000000E+00"},
      // The scale factor from -3 to 3 in E and F.
      {"(-3P,E12.4)", {12.5f}, "   .0001E+05"},
      {"(-2P,E12.4)", {12.5f}, "   .0013E+04"},
      {"(-1P,E12.4)", {12.5f}, "   .0125E+03"},
      {"(0P,E12.4)", {12.5f}, "   .1250E+02"},
      {"(1P,E12.4)", {12.5f}, "  1.2500E+01"},
      {"(2P,E12.4)", {12.5f}, "  12.500E+00"},
      {"(3P,E12.4)", {12.5f}, "  125.00E-01"},
      {"(-3P,F8.2)", {1.5f}, "     .00"},
      {"(-2P,F8.2)", {1.5f}, "     .02"},
      {"(-1P,F8.2)", {1.5f}, "     .15"},
      {"(0P,F8.2)", {1.5f}, "    1.50"},
      {"(1P,F8.2)", {1.5f}, "   15.00"},
      {"(2P,F8.2)", {1.5f}, "  150.00"},
      {"(3P,F8.2)", {1.5f}, " 1500.00"},
      // F: a lone zero only when no digit is shown, the sign of a value shown as zero dropped.
      {"(F6.2)", {0.5f}, "   .50"},
      {"(F6.2)", {-0.001f}, "   .00"},
      {"(F5.1)", {0.06f}, "   .1"},
      {"(F5.0)", {2.7f}, "   3."},
      {"(F6.2)", {0.0f}, "   .00"},
      {"(F5.0)", {0.0f}, "   0."},
      {"(F5.1)", {9.96f}, " 10.0"},
      {"(SP,F6.2)", {1.5f}, " +1.50"},
      {"(F12.9)", {1.0f / 3.0f}, "  .333333300"},
      {"(F20.17)", {0.1}, "  .10000000000000000"},
      {"(2F5.1)", {Complex8{1.5f, -2.5f}}, "  1.5 -2.5"},
      // G: the F form with e + 2 blanks, the E form with the scale factor, adapted to the item.
      {"(G10.3)", {9.9996f}, "  10.0    "},
      {"(G10.3)", {0.05f}, "  .500E-01"},
      {"(G10.3)", {1000.0f}, "  .100E+04"},
      {"(G12.3E3)", {1.5f}, "   1.50     "},
      {"(2P,G10.3)", {9.5f}, "  9.50    "},
      {"(2P,G10.3)", {0.05f}, " 50.00E-03"},
      {"(3G9.2)", {7, 1.5f, Logical{1}}, "       07  1.5            T"},
      {"(G5.1)", {std::string("AB")}, "   AB"},
      // D and the forms with exponent letter D; EN and ES.
      {"(D15.4)", {1.0}, "      .1000D+01"},
      {"(D12.4)", {1.0E100}, "   .1000+101"},
      {"(E15.4D3)", {1.0f}, "     .1000D+001"},
      {"(G15.4D2)", {1.0E10f}, "      .1000D+11"},
      {"(EN12.3)", {12345.0f}, "  12.345E+03"},
      {"(EN12.3)", {1.0f}, "   1.000E+00"},
      {"(EN12.3)", {0.001f}, "   1.000E-03"},
      {"(EN12.3)", {100.0f}, " 100.000E+00"},
      {"(ES12.3)", {12345.0f}, "   1.235E+04"},
      {"(ES10.3)", {9.9996f}, " 1.000E+01"},
      {"(2P,ES12.3)", {12345.0f}, "   1.235E+04"},
      // Values that are not finite: the text and periods, no sign, cut to w.
      {"(E15.4)", {inf}, "1#INF.........."},
      {"(F8.2)", {-inf}, "1#INF..."},
      {"(F8.2)", {std::numeric_limits<float>::quiet_NaN()}, "1#QNAN.."},
      {"(E3.1)", {inf}, "1#I"},
      // L from the lowest byte; A on characters and on the storage of other items.
      {"(L3,L3)", {Logical{1}, Logical{0}}, "  T  F"},
      {"(L2)", {Logical{256}}, " F"},
      {"(A)", {std::string("HELLO")}, "HELLO"},
      {"(A3)", {std::string("HELLO")}, "HEL"},
      {"(A7)", {std::string("HELLO")}, "  HELLO"},
      {"(A4)", {Word("TRUS")}, "TRUS"},
      {"(A2)", {Word("TRUS")}, "TR"},
      {"(A6)", {Word("TRUS")}, "  TRUS"},
      {"(A)", {Word("TRUS")}, "TRUS"},
      {"(2A4)", {std::int32_t{0x53555254}, Word(" ANA")}, "TRUS ANA"},
      // Z, O and B: the storage's value, most significant digit first, w and m as for I.
      {"(Z4)", {255}, "  FF"},
      {"(Z4.3)", {255}, " 0FF"},
      {"(Z)", {255}, "      FF"},
      {"(Z8)", {-1}, "FFFFFFFF"},
      {"(Z8)", {1.0f}, "3F800000"},
      {"(Z4)", {std::string("AB")}, "4142"},
      {"(O5)", {8}, "   10"},
      {"(B8)", {5}, "     101"},
      {"(B8.4)", {5}, "    0101"},
      // Positioning: pending blanks, nothing for X at the end, tab mode replacing characters.
      {"(I1,3X,I1)", {1, 2}, "1   2"},
      {"(I1,3X)", {1}, "1"},
      {"(I1,TR2,I1)", {1, 2}, "1  2"},
      {"(T5,I1)", {1}, "    1"},
      {"(I3,TL2,I1)", {5, 7}, " 75"},
      {"('ABCDEF',T3,'X',T10,'Y')", {}, "ABXDEF   Y"},
      {"('ABCDEF',TL9,'X')", {}, "XBCDEF"},
      // Literals, record ends, reversion.
      {"('IT''S')", {}, "IT'S"},
      {"(3HA B)", {}, "A B"},
      {"(I1,/,I1)", {1, 2}, "1\r\n2"},
      {"(I1,2/,I1)", {1, 2}, "1\r\n\r\n2"},
      {"(' A',/)", {}, " A\r\n"},
      {"(I3,2(1X,F4.1))", {1, 1.5f, 2.5f, 3.5f}, "  1  1.5  2.5\r\n  3.5"},
      {"(13X,I3,'=',E15.5)", {7, 1234.5f}, "               7=     .12345E+04"},
      // Passes of a group that do nothing are not made two thousand million times over.
      {"(1X,77770(277770(2(()),())),I3)", {5}, "   5"},
      {"(2000000000(2000000000(SP,BZ,1P,:)),I3)", {5}, " +5"},
      {"(2(I2,2000000000(2000000000())))", {1, 2}, " 1 2"},
      {"(3(2('A')))", {}, "AAAAAA"},
  };
  for (const EditCase& c : cases) {
    int status = -1;
    const std::string file = WrittenFile(c.format, c.items, status);
    EXPECT_EQ(status, 0) << "format " << c.format;
    EXPECT_EQ(file, c.record + std::string("\r\n")) << "format " << c.format << "\n  expected " << Shown(c.record + std::string("\r\n")) << "\n  actual   " << Shown(file);
  }
}

TEST_F(WriteStatementTest, ItemsByAddressAreArrays) {
  const std::int32_t values[3] = {1, 22, 333};
  const char names[2][3] = {{'A', 'B', 'C'}, {'D', 'E', 'F'}};
  OpenKeywords keywords;
  keywords.file = {"OUT.TXT"};
  ASSERT_EQ(Open(10, keywords), 0);
  // WRITE(10,'(3I4,2A3)') VALUES, NAMES
  BeginWrite(10, "(3I4,2A3)", -1);
  WriteItem(kInteger4, values, 3, 0);
  WriteItem(kCharacter, names, 2, 3);
  EXPECT_EQ(EndWrite(), 0);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(FileBytes("OUT.TXT"), "   1  22 333ABCDEF\r\n");
}

struct ErrorCase {
  const char* format;
  Items items;
  int error;
  const char* written;  // the file afterwards: what was placed before the error
};

// Type checks and format errors: the error number returned, and what was performed before it.
TEST_F(WriteStatementTest, ErrorsComeAfterWhatPrecedesThem) {
  const ErrorCase cases[] = {
      {"(I5)", {std::string("AB")}, 6205, ""},
      {"(A2,I5)", {std::string("AB"), std::string("CD")}, 6205, "AB"},
      {"(I5)", {1.5f}, 6206, ""},
      {"(L5)", {1.5}, 6206, ""},
      {"(F5.1)", {7}, 6207, ""},
      {"(I2,E10.4)", {1, 2}, 6207, " 1"},
      {"(I3,(E10.4))", {1, 2.5f, 3}, 6207, "  1 .2500E+01\r\n"},
      {"(I5)", {Logical{1}}, 6208, ""},
      {"(I1)", {1, 2.0f}, 6206, "1\r\n"},
      {"('AB',I5.7)", {1}, 6990, "AB"},
      {"(I5,E15)", {1, 2.0f}, 6987, "    1"},
      {"(I1,,I1)", {1, 2}, 6989, "1"},
      {"(I1,'AB)", {1}, 6988, "1"},
      {"(I1", {1}, 6988, "1"},
      // A literal closed by the last character is itself the error: nothing of it is written.
      {"('AB'", {}, 6988, ""},
      {"(I5,'ABC'", {1}, 6988, "    1"},
      {"I1", {1}, 6981, ""},
      {"(I1,T0)", {1}, 6982, "1"},
      {"(I1,-2X)", {1}, 6982, "1"},
      {"(I1,3T2)", {1}, 6983, "1"},
      {"(I1,P)", {1}, 6984, "1"},
      {"(I1,EN5.6)", {1}, 6971, "1"},
      {"(I1,EN8.2E0)", {1}, 6972, "1"},
      {"(I1,F)", {1, 2.0f}, 6980, "1"},
      {"(I1,I99999999999)", {1, 2}, 6991, "1"},
      {"(I1,(((((((((((((((((I2))))))))))))))))))", {1, 2}, 6986, "1"},
      // A tail that consumes no item stops with the type-check error of the waiting item.
      {"(5X)", {1}, 6207, ""},
      {"(3HABC)", {1.0f}, 6206, "ABC"},
  };
  for (const ErrorCase& c : cases) {
    int status = 0;
    const std::string file = WrittenFile(c.format, c.items, status);
    EXPECT_EQ(status, c.error) << "format " << c.format;
    EXPECT_EQ(file, c.written) << "format " << c.format << "\n  expected " << Shown(c.written) << "\n  actual   " << Shown(file);
  }
}

TEST_F(WriteStatementTest, ErrorWithoutBranchEndsTheRunWithItsReport) {
  OpenKeywords keywords;
  keywords.file = {"OUT.TXT"};
  keywords.status = {"NEW"};
  Run([&] {
    Open(10, keywords);
    // WRITE(10,'(I3,(E10.4))') 1, 2.5, 3
    Write(10, "(I3,(E10.4))", {1, 2.5f, 3}, 0);
    ADD_FAILURE() << "the run went on after a fatal error";
  });
  EXPECT_EQ(EndRun(), 1);
  EXPECT_EQ(streams_.err, std::string("\r\nrun-time error F6207: WRITE(OUT.TXT)\r\n- ") + runtime::ErrorMessage(6207) + "\r\n");
  EXPECT_EQ(FileBytes("OUT.TXT"), "  1 .2500E+01\r\n");
}

TEST_F(WriteStatementTest, StatementErrorsOfTheHeader) {
  // An ADVANCE other than YES or NO, a unit out of range: returned with the error branch.
  BeginWrite(kDefaultUnit, "(' A')", -1, "MAYBE", 5, kErrorBranch);
  EXPECT_EQ(EndWrite(), 6999);
  EXPECT_EQ(Write(40000, "(' A')", {}), 6314);
  EXPECT_EQ(Write(-40000, "(' A')", {}), 6314);
  EXPECT_EQ(streams_.out, "");
  Run([] { Write(32768, "(' A')", {}, 0); });
  EXPECT_EQ(EndRun(), 1);
  EXPECT_EQ(streams_.err, std::string("\r\nrun-time error F6314\r\n- ") + runtime::ErrorMessage(6314) + "\r\n");
}

TEST_F(WriteStatementTest, RecordLengthOfAFile) {
  OpenKeywords keywords;
  keywords.file = {"OUT.TXT"};
  keywords.recl = 10;
  ASSERT_EQ(Open(10, keywords), 0);
  EXPECT_EQ(Write(10, "(I10)", {1}), 0);
  EXPECT_EQ(Write(10, "('ABCDEFGHIJK')", {}), 6601);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(FileBytes("OUT.TXT"), "         1\r\n");
}

TEST_F(WriteStatementTest, AdvanceNoAndDollarContinueTheLine) {
  OpenKeywords keywords;
  keywords.file = {"OUT.TXT"};
  ASSERT_EQ(Open(10, keywords), 0);
  BeginWrite(10, "(I1)", -1, "no  ", 4);
  WriteItem(1);
  EXPECT_EQ(EndWrite(), 0);
  EXPECT_EQ(Write(10, "(I1,$)", {2}), 0);
  BeginWrite(10, "(I1)", -1, "YES", 3);
  WriteItem(3);
  EXPECT_EQ(EndWrite(), 0);
  // ADVANCE='NO' does not hold back the record ended by reversion.
  BeginWrite(10, "(I1)", -1, "NO", 2);
  WriteItem(4);
  WriteItem(5);
  EXPECT_EQ(EndWrite(), 0);
  EXPECT_EQ(Write(10, "('.')", {}), 0);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(FileBytes("OUT.TXT"), "123\r\n4\r\n5.\r\n");
}

TEST_F(WriteStatementTest, WriteBegunWhileAnotherIsAssembledIsPutAside) {
  OpenKeywords keywords;
  keywords.file = {"OUT.TXT"};
  ASSERT_EQ(Open(10, keywords), 0);
  // WRITE(10,'(2I2)') 1, F(2), where F itself writes two statements, one nested in the other.
  BeginWrite(10, "(2I2)", -1);
  WriteItem(1);
  BeginWrite(10, "('INNER',I2)", -1);
  BeginWrite(10, "('INNERMOST')", -1);
  EXPECT_EQ(EndWrite(), 0);
  WriteItem(9);
  EXPECT_EQ(EndWrite(), 0);
  WriteItem(2);
  EXPECT_EQ(EndWrite(), 0);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(FileBytes("OUT.TXT"), "INNERMOST\r\nINNER 9\r\n 1 2\r\n");
}

// Column 1 of console records: blank a new line, 0 a blank line first, 1 a new page, + the same
// line; the line is left open until the next record or the end of the run.
TEST_F(WriteStatementTest, ConsoleCarriageControl) {
  for (const bool interactive : {false, true}) {
    StartRun(interactive);
    for (const char* format : {"(' A')", "('0B')", "('1C')", "('+D')"}) Write(kDefaultUnit, format, {});
    const std::string expected = "A\r\n\r\nB\r\n\f\r \rC\rD";
    EXPECT_EQ(streams_.out, expected) << "interactive " << interactive << "\n  expected " << Shown(expected) << "\n  actual   " << Shown(streams_.out);
    EXPECT_EQ(EndRun(), 0);
    EXPECT_EQ(streams_.out, expected + "\r\n") << "interactive " << interactive;
  }
}

TEST_F(WriteStatementTest, ConsoleRecordsHaveNoLengthLimit) {
  std::string record = " ";
  for (int i = 0; i < 299; ++i) record += static_cast<char>('0' + i % 10);
  EXPECT_EQ(Write(6, "(A)", {record}), 0);
  EXPECT_EQ(Write(0, "('0Y')", {}), 0);
  EXPECT_EQ(streams_.out, record.substr(1) + "\r\n\r\nY") << Shown(streams_.out);
}

TEST_F(WriteStatementTest, BannerAndFirstPromptLeaveTheLineOpen) {
  Write(kDefaultUnit, "(' TRUSS ANALYSIS PROGRAM ',/)", {}, 0);
  Write(kDefaultUnit, "(' TYPE DATA INPUT FILE NAME: ',$)", {}, 0);
  EXPECT_EQ(streams_.out, "TRUSS ANALYSIS PROGRAM \r\n\r\nTYPE DATA INPUT FILE NAME: ") << Shown(streams_.out);
}

// After a "$" prompt the reply is typed on the prompt's line. With piped input the output line
// stays open, so the next record starts with a line end; at a terminal the typed line end has
// already moved the cursor.
TEST_F(WriteStatementTest, PromptReplyAndNextRecord) {
  for (const bool interactive : {false, true}) {
    StartRun(interactive);
    streams_.input = "DATA.TXT\r\n";
    char reply[80];
    Write(kDefaultUnit, "(' NAME: ',$)", {}, 0);
    BeginRead(kDefaultUnit, "(1A80)", -1);
    ReadItem(kCharacter, reply, 80);
    EXPECT_EQ(EndRead(), 0);
    Write(kDefaultUnit, "(' NEXT')", {}, 0);
    Write(kDefaultUnit, "(' A',$)", {}, 0);
    Write(kDefaultUnit, "(' B')", {}, 0);
    const std::string expected = interactive ? "NAME: NEXT\r\nAB" : "NAME: \r\nNEXT\r\nAB";
    EXPECT_EQ(streams_.out, expected) << "interactive " << interactive << "\n  expected " << Shown(expected) << "\n  actual   " << Shown(streams_.out);
    EXPECT_EQ(std::string(reply, 8), "DATA.TXT");
    EndRun();
  }
}

TEST_F(WriteStatementTest, ListDirectedOutputIsOneRecord) {
  OpenKeywords keywords;
  keywords.file = {"OUT.TXT"};
  ASSERT_EQ(Open(10, keywords), 0);
  // WRITE(10,*) 42, 'AB', .TRUE.
  BeginWrite(10, nullptr, 0);
  WriteItem(42);
  WriteItem("AB", 2);
  WriteLogical(1);
  EXPECT_EQ(EndWrite(), 0);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(FileBytes("OUT.TXT"), " 42 AB T\r\n");
}

}  // namespace
}  // namespace fmtio
