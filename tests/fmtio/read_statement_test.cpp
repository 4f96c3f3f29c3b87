#include "fmtio/read_statement.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fmtio/platform.h"
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
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else if (c < 32) {
      text += "\\x";
      text += std::to_string(c);
    } else {
      text += static_cast<char>(c);
    }
  }
  return "\"" + text + "\"";
}

void WriteFile(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

// One READ target: its type code, length and storage, filled beforehand with a marker so that
// an element the READ leaves alone shows as such (-1 for numbers, '?' for characters).
struct Target {
  int type;
  int length = 0;
  bool word = false;  // a REAL*4 word shown as its four characters
  unsigned char storage[320] = {};

  Target(int type, int length = 0, bool word = false) : type(type), length(length), word(word) {
    if (type == kCharacter) {
      std::memset(storage, '?', sizeof storage);
    } else if (type == kReal4 || type == kComplex8) {
      const float marker[2] = {-1.0f, -1.0f};
      std::memcpy(storage, marker, sizeof marker);
    } else if (type == kReal8) {
      const double marker = -1.0;
      std::memcpy(storage, &marker, sizeof marker);
    } else if (type == kLogical4) {
      storage[0] = 7;
    } else {
      std::memset(storage, 0xFF, 4);
    }
  }

  std::string Text() const {
    char text[64];
    switch (type) {
      case kInteger1: return std::to_string(static_cast<std::int8_t>(storage[0]));
      case kInteger2: { std::int16_t v; std::memcpy(&v, storage, 2); return std::to_string(v); }
      case kInteger4: { std::int32_t v; std::memcpy(&v, storage, 4); return std::to_string(v); }
      case kLogical4: { std::int32_t v; std::memcpy(&v, storage, 4); return v == 1 ? "T" : v == 0 ? "F" : std::to_string(v); }
      case kCharacter: return std::string(reinterpret_cast<const char*>(storage), static_cast<std::size_t>(length));
      case kReal8: {
        double v;
        std::memcpy(&v, storage, 8);
        return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
      }
      case kComplex8: {
        float v[2];
        std::memcpy(v, storage, 8);
        std::string pair = "(";
        pair.append(text, std::to_chars(text, text + sizeof text, v[0]).ptr);
        pair += ',';
        pair.append(text, std::to_chars(text, text + sizeof text, v[1]).ptr);
        return pair + ")";
      }
      default: {
        if (word) return std::string(reinterpret_cast<const char*>(storage), 4);
        float v;
        std::memcpy(&v, storage, 4);
        return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
      }
    }
  }
};

Target I4() { return Target(kInteger4); }
Target R4() { return Target(kReal4); }
Target R8() { return Target(kReal8); }
Target L4() { return Target(kLogical4); }
Target C(int length) { return Target(kCharacter, length); }
Target Word() { return Target(kReal4, 0, true); }

std::string Joined(const std::vector<Target>& targets) {
  std::string text;
  for (const Target& target : targets) {
    if (!text.empty()) text += '|';
    text += target.Text();
  }
  return text;
}

// READ(unit, format, ERR=..., END=...) targets; returns the status (-1 at the end of the file).
int Read(int unit, const char* format, std::vector<Target>& targets, int options = kErrorBranch | kEndBranch) {
  BeginRead(unit, format, -1, options);
  for (Target& target : targets) ReadItem(target.type, target.storage, target.length);
  return EndRead();
}

struct ReadCase {
  const char* format;  // null: list-directed
  std::string input;
  std::vector<Target> targets;
  std::string values;  // the targets afterwards, joined by "|"
  int status;
};

class ReadStatementTest : public EngineRunTest {
 protected:
  void SetUp() override {
    EngineRunTest::SetUp();
    StartRun("");
  }

  // A new run whose piped standard input holds `input`.
  void StartRun(const std::string& input, std::size_t blockLimit = 0) {
    platform::MemoryStreams streams;
    streams.input = input;
    streams.blockLimit = blockLimit;
    StartEngine(std::move(streams));
  }

  // OPEN(9, FILE=name, STATUS='OLD') on a file holding `bytes`.
  static void OpenData(const std::string& bytes, OpenKeywords keywords = {}) {
    WriteFile("DATA.TXT", bytes);
    keywords.file = {"DATA.TXT"};
    keywords.status = {"OLD"};
    ASSERT_EQ(Open(9, keywords, kErrorBranch), 0);
  }

  // Each case in a run of its own, its input piped on the console.
  void CheckCases(std::vector<ReadCase>& cases) {
    for (ReadCase& c : cases) {
      StartRun(c.input);
      const int status = Read(kDefaultUnit, c.format, c.targets);
      const std::string values = Joined(c.targets);
      const std::string shown = std::string("format ") + (c.format ? c.format : "*") + " input " + Shown(c.input);
      EXPECT_EQ(status, c.status) << shown;
      EXPECT_EQ(values, c.values) << shown << "\n  expected " << Shown(c.values) << "\n  actual   " << Shown(values);
    }
  }
};

TEST_F(ReadStatementTest, FormattedFields) {
  std::vector<ReadCase> cases = {
      // I: blanks ignored or read as zeros, a comma ends the field, the radix form.
      {"(I5)", "  1 2\n", {I4()}, "12", 0},
      {"(BZ,I5)", "  1 2\n", {I4()}, "102", 0},
      {"(I5)", "     \n", {I4()}, "0", 0},
      {"(I5)", "\n", {I4()}, "0", 0},
      {"(I3,I3)", "12345\n", {I4(), I4()}, "123|45", 0},
      {"(I5,I5)", "12,34\n", {I4(), I4()}, "12|34", 0},
      {"(I3)", "-7\n", {I4()}, "-7", 0},
      {"(I3)", "1.5\n", {I4()}, "-1", 6101},
      {"(I3)", "-00\n", {I4()}, "0", 0},
      {"(I3)", " - \n", {I4()}, "-1", 6101},
      {"(I3)", "00-\n", {I4()}, "-1", 6101},
      {"(I11)", "-2147483648\n", {I4()}, "-2147483648", 0},
      {"(I11)", "2147483648\n", {I4()}, "-1", 6100},
      {"(I4)", "128\n", {Target(kInteger1)}, "-1", 6100},
      {"(I6)", "-32768\n", {Target(kInteger2)}, "-32768", 0},
      {"(I6)", "16#FF\n", {I4()}, "255", 0},
      {"(I5)", "2#101\n", {I4()}, "5", 0},
      // Only the zeros before the first digit of any radix are leading.
      {"(I4)", "#d0\n", {I4()}, "208", 0},
      {"(I5)", "#f00f\n", {I4()}, "61455", 0},
      {"(I4)", "#0a0\n", {I4()}, "160", 0},
      // F, E, D, G, EN, ES: the implied point, exponents, the scale factor without exponent.
      {"(F7.2)", "12345\n", {R4()}, "123.45", 0},
      {"(F7.2)", "1.5\n", {R4()}, "1.5", 0},
      {"(F7.2)", "1.5E2\n", {R4()}, "150", 0},
      {"(E10.3)", "  1.25E+02\n", {R4()}, "125", 0},
      {"(E10.3)", "1.5+3\n", {R4()}, "1500", 0},
      {"(D10.3)", "1.5D2\n", {R8()}, "150", 0},
      {"(G10.3)", "2.5\n", {R4()}, "2.5", 0},
      {"(EN10.3)", "12.5E3\n", {R4()}, "12500", 0},
      {"(ES10.3)", "1.25E1\n", {R4()}, "12.5", 0},
      {"(2P,F7.2)", "12345\n", {R4()}, "1.2345", 0},
      {"(2P,E10.3)", "1.5E2\n", {R4()}, "150", 0},
      {"(-1P,F5.0)", "12\n", {R4()}, "120", 0},
      {"(BZ,F6.2)", "1 5   \n", {R4()}, "1050", 0},
      {"(BZ,E6.1)", "1.5E 2\n", {R4()}, "150", 0},
      {"(BZ,E6.1)", "1.5E  \n", {R4()}, "1.5", 0},
      {"(E6.1)", "1.5E  \n", {R4()}, "-1", 6103},
      {"(F5.1)", "1.5x\n", {R4()}, "-1", 6103},
      {"(2F4.1)", " 1.5-2.5\n", {Target(kComplex8)}, "(1.5,-2.5)", 0},
      // A on CHARACTER and on REAL*4 words, with and without w.
      {"(A)", "HELLO WORLD\n", {C(5)}, "HELLO", 0},
      {"(A3)", "HELLO\n", {C(5)}, "HEL  ", 0},
      {"(A7)", "ABCDEFG\n", {C(5)}, "CDEFG", 0},
      {"(A7)", "ABC\n", {C(5)}, "C    ", 0},
      {"(A4)", "TRUS\n", {Word()}, "TRUS", 0},
      {"(A)", "AB\n", {Word()}, "AB  ", 0},
      {"(3A4)", "0123456789\r\n", {Word(), Word(), Word()}, "0123|4567|89  ", 0},
      {"(1A80)", "\r\n", {C(80)}, std::string(80, ' '), 0},
      {"(1A80)", "TT:\r\n", {C(80)}, std::string("TT:").append(77, ' '), 0},
      // L, Z, B, O, Q.
      {"(L7)", ".TRUE.\n", {L4()}, "T", 0},
      {"(L2)", "F \n", {L4()}, "F", 0},
      {"(L3)", "  t\n", {L4()}, "T", 0},
      {"(L1)", "X\n", {L4()}, "7", 6507},
      {"(Z4)", "00FF\n", {I4()}, "255", 0},
      {"(Z8)", "FFFFFFFF\n", {I4()}, "-1", 0},
      {"(Z2)", "1G\n", {I4()}, "-1", 6101},
      {"(B8)", "00000101\n", {I4()}, "5", 0},
      {"(O3)", "777\n", {I4()}, "511", 0},
      {"(Q,A3)", "ABC\n", {I4(), C(3)}, "3|ABC", 0},
      // G adapted to the item.
      {"(G5.0)", "   42\n", {I4()}, "42", 0},
      {"(G3.1)", "ABC\n", {C(3)}, "ABC", 0},
      // Positioning, record ends and reversion.
      {"(2X,I2)", "xx42\n", {I4()}, "42", 0},
      {"(T3,I2)", "ab42\n", {I4()}, "42", 0},
      {"(I2,TL2,I2)", "42\n", {I4(), I4()}, "42|42", 0},
      {"(TR1,I1)", "x7\n", {I4()}, "7", 0},
      {"(5X,I2)", "abc\n", {I4()}, "0", 0},
      {"(I1,/,I1)", "1\n2\n", {I4(), I4()}, "1|2", 0},
      {"(I1,/,/,I1)", "1\n\n3\n", {I4(), I4()}, "1|3", 0},
      {"(I2)", "1\n2\n3\n", {I4(), I4(), I4()}, "1|2|3", 0},
      {"(I1,(I1))", "12\n3\n", {I4(), I4(), I4()}, "1|2|3", 0},
      {"(BZ,I3,BN,I3)", " 1 1 1\n", {I4(), I4()}, "10|11", 0},
      // Errors: the literal after the first value, type checks, the end of the input.
      {"(1X,I3,' ',I3)", " 12  34\n", {I4(), I4()}, "12|-1", 6509},
      {"(F5.1)", "1\n", {I4()}, "-1", 6207},
      {"(I5)", "1\n", {R4()}, "-1", 6206},
      {"(I5)", "1\n", {C(2)}, "??", 6205},
      {"(I5)", "1\n", {L4()}, "7", 6208},
      {"(I1)", "", {I4()}, "-1", -1},
      {"(I1,/,I1)", "1\n", {I4(), I4()}, "1|-1", -1},
  };
  CheckCases(cases);
}

TEST_F(ReadStatementTest, ListDirectedValues) {
  std::vector<ReadCase> cases = {
      // Separators, null values, record ends.
      {nullptr, "1 2 3\n", {I4(), I4(), I4()}, "1|2|3", 0},
      {nullptr, "1,2,3\n", {I4(), I4(), I4()}, "1|2|3", 0},
      {nullptr, "1 , 2\n", {I4(), I4()}, "1|2", 0},
      {nullptr, "1\t2\n", {I4(), I4()}, "1|2", 0},
      // A carriage return inside a line separates values; the one before the line feed ends it.
      {nullptr, "1\r2\r3\r\n4\n", {I4(), I4(), I4(), I4()}, "1|2|3|4", 0},
      {nullptr, "1\r\r\n2\n", {I4(), I4()}, "1|2", 0},
      {"(2I2)", "1\r2\r\n", {I4(), I4()}, "1|0", 0},
      {nullptr, "2 3\n", {I4(), I4()}, "2|3", 0},
      {nullptr, "2\n3\n", {I4(), I4()}, "2|3", 0},
      {nullptr, "\n\n  \n5\n", {I4()}, "5", 0},
      {nullptr, "2,,7\n", {I4(), I4(), I4()}, "2|-1|7", 0},
      {nullptr, ",5\n", {I4(), I4()}, "-1|5", 0},
      {nullptr, "1,\n,3\n", {I4(), I4(), I4()}, "1|-1|3", 0},
      // Repeat counts.
      {nullptr, "3*0.0\n", {R4(), R4(), R4()}, "0|0|0", 0},
      {nullptr, "2* 5\n", {I4(), I4(), I4()}, "-1|-1|5", 0},
      {nullptr, "2*7 8\n", {I4(), I4(), I4()}, "7|7|8", 0},
      {nullptr, "0*5\n", {I4()}, "-1", 6502},
      {nullptr, "2*3*5\n", {I4()}, "-1", 6503},
      // A slash ends the list.
      {nullptr, "1 2 / 3\n", {I4(), I4(), I4(), I4()}, "1|2|-1|-1", 0},
      {nullptr, "1/\n", {I4(), I4()}, "1|-1", 0},
      {nullptr, "3*1/\n", {I4(), I4(), I4(), I4(), I4()}, "1|1|1|-1|-1", 0},
      // Character values.
      {nullptr, "'IT''S'\n", {C(6)}, "IT'S  ", 0},
      {nullptr, "\"A\"\"B\"\n", {C(3)}, "A\"B", 0},
      {nullptr, "'AB\n XY'\n", {C(6)}, "ABXY  ", 0},
      {nullptr, "'ABCDEF'\n", {C(3)}, "ABC", 0},
      {nullptr, "HELLO\n", {C(8)}, "HELLO   ", 0},
      {nullptr, "'A B', 5\n", {C(3), I4()}, "A B|5", 0},
      // Complex and logical values, and values of the wrong form.
      {nullptr, "(1.5, -2.5)\n", {Target(kComplex8)}, "(1.5,-2.5)", 0},
      {nullptr, "(1.5,\n2.5)\n", {Target(kComplex8)}, "(1.5,2.5)", 0},
      {nullptr, "(1.5)\n", {Target(kComplex8)}, "(-1,-1)", 6506},
      {nullptr, "1.5\n", {Target(kComplex8)}, "(-1,-1)", 6504},
      {nullptr, "(1,2)\n", {I4()}, "-1", 6504},
      {nullptr, "(1.0 2.0)\n", {R4()}, "-1", 6504},
      {nullptr, "'A'\n", {I4()}, "-1", 6504},
      {nullptr, "'A'\n", {R4()}, "-1", 6504},
      {nullptr, "T F .TRUE. .false. t\n", {L4(), L4(), L4(), L4(), L4()}, "T|F|T|F|T", 0},
      {nullptr, "X\n", {L4()}, "7", 6507},
      // Integer conversion.
      {nullptr, "1.5\n", {I4()}, "-1", 6101},
      {nullptr, "1E3\n", {I4()}, "-1", 6101},
      {nullptr, "+\n", {I4()}, "-1", 6101},
      {nullptr, "-\n", {I4()}, "-1", 6101},
      {nullptr, "16#FF #ff 2#101\n", {I4(), I4(), I4()}, "255|255|5", 0},
      {nullptr, "37#1\n", {I4()}, "-1", 6303},
      {nullptr, "2#102\n", {I4()}, "-1", 6101},
      {nullptr, "16#1#2\n", {I4()}, "-1", 6302},
      {nullptr, "-2147483648\n", {I4()}, "-2147483648", 0},
      {nullptr, "2147483648\n", {I4()}, "-1", 6100},
      {nullptr, "128\n", {Target(kInteger1)}, "-1", 6100},
      {nullptr, "-32768\n", {Target(kInteger2)}, "-32768", 0},
      // Real conversion.
      {nullptr, "1E3\n", {R4()}, "1000", 0},
      {nullptr, "1.5+3\n", {R4()}, "1500", 0},
      // An exponent needs digits: no typo is read as a number.
      {nullptr, "1e+ 1\n", {R4(), R4()}, "-1|-1", 6103},
      {nullptr, "1e\n", {R4()}, "-1", 6103},
      {nullptr, "2.5D+\n", {R8()}, "-1", 6103},
      {nullptr, "1.0E\n", {R4()}, "-1", 6103},
      {nullptr, "E+\n", {R4()}, "-1", 6103},
      {nullptr, "e\n", {R4()}, "-1", 6103},
      {nullptr, "-.e\n", {R4()}, "-1", 6103},
      {nullptr, "1.5+\n", {R4()}, "-1", 6103},
      {nullptr, "- .\n", {R4(), R4()}, "-0|0", 0},
      {nullptr, "1.5D2\n", {R8()}, "150", 0},
      {nullptr, "1E39\n", {R4()}, "-1", 6104},
      {nullptr, "1E400\n", {R8()}, "-1", 6102},
      {nullptr, "1E5300\n", {R8()}, "-1", 6102},
      {nullptr, "1E-50\n", {R4()}, "0", 0},
      {nullptr, "1E-5300\n", {R8()}, "0", 0},
      // The common shapes, converted straight, and the rest by the general way: the same values.
      {nullptr, "+.5e-2 -1.e1 -0 1.5D0 1.5+0 25.e-01\n", {R4(), R4(), R4(), R4(), R4(), R4()},
       "0.005|-10|-0|1.5|1.5|2.5", 0},
      {nullptr, "0.100000000000000000000000000000000000000000000000001 -3.4028236E38\n", {R8(), R4()},
       "0.1|-1", 6104},
      {nullptr, "3 1 0 1 0.0 2.5E+01 -1.5 0 0 -1000.\n",
       {I4(), I4(), I4(), I4(), R4(), R4(), R4(), R4(), R4(), R4()}, "3|1|0|1|0|25|-1.5|0|0|-1000", 0},
      // The end of the input, also in the middle of the list.
      {nullptr, "", {I4()}, "-1", -1},
      {nullptr, "1 2\n", {I4(), I4(), I4()}, "1|2|-1", -1},
  };
  CheckCases(cases);
}

// A list-directed value holds at most 260 characters: a longer numeric value is an error, a
// longer character value is cut. Lines this long come from files (the console holds 132 bytes).
TEST_F(ReadStatementTest, ListDirectedValueBuffer) {
  std::string text300;
  for (int i = 0; i < 300; ++i) text300 += static_cast<char>('A' + i % 26);
  const std::string long261 = std::string("1").append(260, '0');
  std::vector<ReadCase> cases = {
      {nullptr, std::string("1.").append(258, '0') + "\n", {R4()}, "1", 0},
      {nullptr, long261 + "\n", {I4()}, "-1", 6103},
      {nullptr, long261 + "\n", {R4()}, "-1", 6103},
      {nullptr, text300 + " 5\n", {C(300), I4()}, text300.substr(0, 260) + std::string(40, ' ') + "|5", 0},
  };
  for (ReadCase& c : cases) {
    StartRun("");
    OpenData(c.input);
    const int status = Read(9, nullptr, c.targets);
    const std::string values = Joined(c.targets);
    EXPECT_EQ(status, c.status) << "input " << Shown(c.input);
    EXPECT_EQ(values, c.values) << "input " << Shown(c.input) << "\n  expected " << Shown(c.values) << "\n  actual   " << Shown(values);
  }
}

TEST_F(ReadStatementTest, LaterItemsMayDependOnEarlierOnes) {
  StartRun("3 10 20 30 40\n");
  // READ(*,*) N, (A(I), I = 1, N)
  std::int32_t n = 0;
  std::int32_t values[4] = {-1, -1, -1, -1};
  BeginRead(kDefaultUnit, nullptr, 0);
  ReadItem(kInteger4, &n);
  for (int i = 0; i < n; ++i) ReadItem(kInteger4, &values[i]);
  EXPECT_EQ(EndRead(), 0);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(values[0], 10);
  EXPECT_EQ(values[2], 30);
  EXPECT_EQ(values[3], -1);
}

TEST_F(ReadStatementTest, EveryReadStartsAtARecord) {
  StartRun("12\n3\n4 5\n6\n'A\nXB' 7\n8\n");
  std::vector<Target> one = {I4()};
  Read(kDefaultUnit, "(I1)", one);
  EXPECT_EQ(Joined(one), "1");
  Read(kDefaultUnit, "(I1)", one);
  EXPECT_EQ(Joined(one), "3");
  Read(kDefaultUnit, nullptr, one);
  EXPECT_EQ(Joined(one), "4");
  Read(kDefaultUnit, nullptr, one);
  EXPECT_EQ(Joined(one), "6") << "the rest of '4 5' is skipped";
  std::vector<Target> two = {C(2)};
  Read(kDefaultUnit, nullptr, two);
  EXPECT_EQ(Joined(two), "AB") << "a constant over a record end drops the next record's first character";
  Read(kDefaultUnit, nullptr, one);
  EXPECT_EQ(Joined(one), "8");
}

TEST_F(ReadStatementTest, ConsoleLinesMustFitTheConsoleBuffer) {
  std::vector<Target> name = {C(80)};
  const std::string line130(130, 'x');
  StartRun(line130 + "y\r\n");
  EXPECT_EQ(Read(kDefaultUnit, "(1A80)", name), 6407) << "131 characters and CR LF";
  StartRun(std::string(50, 'a') + std::string(80, 'b') + "\r\n");
  EXPECT_EQ(Read(kDefaultUnit, "(1A80)", name), 0) << "130 characters and CR LF";
  EXPECT_EQ(Joined(name), std::string(50, 'a') + std::string(30, 'b'));
  StartRun("\x1a\r\n");
  Run([&] { Read(kDefaultUnit, "(1A80)", name, 0); });
  EXPECT_EQ(EndRun(), 1);
  EXPECT_EQ(streams_.err, std::string("\r\nrun-time error F6501: READ(CON)\r\n- ") + runtime::ErrorMessage(6501) + "\r\n");
}

// Piped input arrives in blocks that split lines anywhere; every line comes through whole.
TEST_F(ReadStatementTest, PipedInputInBlocksLosesNothing) {
  for (const std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{132}, std::size_t{0}}) {
    std::string input;
    for (int i = 0; i < 500; ++i) {
      input += std::string(static_cast<std::size_t>(i % 120), ' ') + std::to_string(i) + (i % 3 ? "\n" : "\r\n");
    }
    StartRun(input, block);
    int mismatches = 0;
    for (int i = 0; i < 500; ++i) {
      std::vector<Target> value = {I4()};
      const int status = Read(kDefaultUnit, nullptr, value);
      if (status != 0 || value[0].Text() != std::to_string(i)) {
        ADD_FAILURE() << "block " << block << " line " << i << ": status " << status << " value " << value[0].Text();
        if (++mismatches > 3) break;
      }
    }
    std::vector<Target> after = {I4()};
    EXPECT_EQ(Read(kDefaultUnit, nullptr, after), -1) << "block " << block;
  }
}

// A last line without a line end is a record, whatever the size of the file.
TEST_F(ReadStatementTest, LastLineWithoutLineEnd) {
  for (const std::size_t size : {std::size_t{1023}, std::size_t{1024}, std::size_t{1025}, std::size_t{2048}}) {
    StartRun("");
    const std::string first = std::string(size - 6, 'A') + "\r\n";
    OpenData(first + "1234");
    std::vector<Target> head = {C(1)}, value = {I4()};
    EXPECT_EQ(Read(9, "(A1)", head), 0) << "size " << size;
    EXPECT_EQ(Read(9, nullptr, value), 0) << "size " << size;
    EXPECT_EQ(Joined(value), "1234") << "size " << size;
    EXPECT_EQ(Read(9, nullptr, value), -1) << "size " << size;
    EXPECT_EQ(Read(9, nullptr, value), -1) << "the end-of-file mark stays, size " << size;
  }
}

// A fatal READ error on a file names where the read stood: the line and column where the faulty
// value or field begins and its text as typed, or the line the file ends after.
TEST_F(ReadStatementTest, FileErrorsNameWhereTheReadStood) {
  struct Case {
    const char* format;
    std::string input;
    std::vector<Target> targets;
    const char* number;
    std::string message;  // after "- "
  };
  std::vector<Case> cases = {
      {nullptr, "1 2\r\n", {I4(), I4(), I4()}, "F6501", "end of file after line 1"},
      {nullptr, "1 2\n 3 4.O\n", {I4(), I4(), I4(), R4()}, "F6103", "invalid real value \"4.O\" in line 2, column 4"},
      {nullptr, "1\n2*1.5,7\n", {I4(), R4(), I4()}, "F6101",
       "invalid character in integer field \"2*1.5\" in line 2, column 1"},
      {nullptr, " 2*3*1\n", {I4()}, "F6503", "second repeat count for one value \"2*3*1\" in line 1, column 2"},
      {nullptr, "(1.0 2.0)\n", {R4()}, "F6504",
       "list-directed value of the wrong form for the item \"(1.0 2.0)\" in line 1, column 1"},
      // A constant that ran over a record end is named by where it began.
      {nullptr, "5 'AB\nC'\n", {I4(), I4()}, "F6504",
       "list-directed value of the wrong form for the item in line 1, column 3"},
      {nullptr, "7 " + std::string(30, 'x') + "\n", {I4(), I4()}, "F6101",
       "invalid character in integer field \"" + std::string(20, 'x') + "\"... in line 1, column 3"},
      {nullptr, "\x01\xff\n", {I4()}, "F6101",
       "invalid character in integer field \"\\x01\\xFF\" in line 1, column 1"},
      {"(2X,I3)", "ab1x5\n", {I4()}, "F6101", "invalid character in integer field \"1x5\" in line 1, column 3"},
      {"(I1,I5)", "1 2x,9\n", {I4(), I4()}, "F6101", "invalid character in integer field \" 2x\" in line 1, column 2"},
      {"(/,I1,' ',I1)", "\n12\n", {I4(), I4()}, "F6509",
       "literal edit descriptor in a READ format in line 2, column 2"},
      {"(I1)", "5\n", {R4()}, "F6206", "D, E, F or G edit descriptor expected for real item in line 1, column 1"},
  };
  for (Case& c : cases) {
    StartRun("");
    OpenData(c.input);
    Run([&] { Read(9, c.format, c.targets, 0); });
    EXPECT_EQ(EndRun(), 1);
    const std::string head = std::string("\r\nrun-time error ") + c.number + ": READ(DATA.TXT)\r\n- ";
    EXPECT_EQ(streams_.err, head + c.message + "\r\n") << Shown(c.input);
  }
}

TEST_F(ReadStatementTest, UnitDefaultsForPadAndBlank) {
  OpenKeywords noPad;
  noPad.pad = {"NO"};
  OpenData("AB\nCD\n", noPad);
  std::vector<Target> text = {C(5)};
  EXPECT_EQ(Read(9, "(A5)", text), 6601);
  EXPECT_EQ(Read(9, "(A2)", text), 0);
  EXPECT_EQ(Joined(text), "CD   ");

  StartRun("");
  OpenKeywords blankZero;
  blankZero.blank = {"ZERO"};
  OpenData("1 1\n1 1\n", blankZero);
  std::vector<Target> value = {I4()};
  EXPECT_EQ(Read(9, "(I3)", value), 0);
  EXPECT_EQ(Joined(value), "101");
  EXPECT_EQ(Read(9, "(BN,I3)", value), 0);
  EXPECT_EQ(Joined(value), "11");
}

}  // namespace
}  // namespace fmtio
