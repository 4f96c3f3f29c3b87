// Cases the fuzz targets found, and the engine's bounds against runaway statements.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "fmtio/platform.h"
#include "fmtio/read_statement.h"
#include "fmtio/units.h"
#include "fmtio/write_statement.h"
#include "fuzz/fuzz_support.h"
#include "runtime/fp_traps.h"
#include "runtime/run_time_error.h"
#include "runtime/termination.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

constexpr int kPutAsideLimit = 32;             // statements that can be put aside at once
constexpr std::size_t kItemListLimit = 64u << 20;  // bytes of one statement's item list

const std::string kReport6700 =
    "\r\nrun-time error F6700\r\n- no memory for a unit, an item list or a statement put aside\r\n";

// Each test runs in a fresh folder with the standard streams in memory; a test may run the
// engine more than once, as a harness does.
class FuzzRegressionTest : public EngineRunTest {
 protected:
  // One whole run of the engine over `statements`, its end caught; returns the exit code.
  template <class Statements>
  int Run(Statements statements) {
    StartEngine({});
    EngineRunTest::Run(statements);
    return EndRun();
  }
};

// The console shows an I3 field of a positive number without its first column, which is the
// carriage control.
std::string ShownI3(int value) {
  std::string shown = std::to_string(value);
  if (value < 10) shown.insert(shown.begin(), ' ');
  return shown;
}

TEST_F(FuzzRegressionTest, RunEndedInsideAPutAsideWriteLeavesNoStatementForTheNextRun) {
  const std::int32_t values[3] = {1, 2, 3};
  const int first = Run([&] {
    BeginWrite(kDefaultUnit, "(3I3)", -1);
    WriteItem(kInteger4, values, 3, 0);
    // The WRITE begun inside it has a malformed format and no error branch: the run ends.
    BeginWrite(kDefaultUnit, "(I3", -1);
    WriteItem(std::int32_t{4});
    EndWrite();
  });
  EXPECT_EQ(first, 1);

  int status = -1;
  int extra = -1;
  const int second = Run([&] {
    BeginWrite(kDefaultUnit, "(I3)", -1);
    WriteItem(std::int32_t{7});
    status = EndWrite();
    extra = EndWrite();  // no statement is left: nothing to run
  });
  EXPECT_EQ(second, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(extra, 0);
  EXPECT_EQ(streams_.out, " 7\r\n") << "the statement put aside in the first run must not run in the second";
  EXPECT_EQ(streams_.err, "");
}

TEST_F(FuzzRegressionTest, WriteBeyondThePutAsideLimitIsRefusedWith6700AndTheOthersStayIntact) {
  int refusedStatus = 0;
  std::string statuses;
  const int code = Run([&] {
    for (int i = 1; i <= kPutAsideLimit; ++i) {
      BeginWrite(kDefaultUnit, "(I3)", -1);
      WriteItem(std::int32_t{i});
    }
    BeginWrite(kDefaultUnit, "(I3)", -1, nullptr, 0, kErrorBranch);
    WriteItem(std::int32_t{99});
    refusedStatus = EndWrite();
    for (int i = kPutAsideLimit; i >= 1; --i) statuses += std::to_string(EndWrite());
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(refusedStatus, 6700);
  EXPECT_EQ(statuses, std::string(kPutAsideLimit, '0'));
  std::string expected;
  for (int i = kPutAsideLimit; i >= 1; --i) expected.append(ShownI3(i)).append("\r\n");
  EXPECT_EQ(streams_.out, expected) << "the refused statement's item must go nowhere";
  EXPECT_EQ(streams_.err, "");
}

TEST_F(FuzzRegressionTest, WriteBeyondThePutAsideLimitWithoutErrorBranchEndsTheRun) {
  const int code = Run([&] {
    for (int i = 0; i <= kPutAsideLimit; ++i) BeginWrite(kDefaultUnit, "(I3)", -1);
  });
  EXPECT_EQ(code, 1);
  EXPECT_EQ(streams_.err, kReport6700);
}

TEST_F(FuzzRegressionTest, ItemListBeyondItsLimitIsRefusedWith6700) {
  const std::string chunk(kItemListLimit / 4, 'x');
  int refused = 0;
  int next = -1;
  const int code = Run([&] {
    BeginWrite(kDefaultUnit, "(A)", -1, nullptr, 0, kErrorBranch);
    for (int i = 0; i < 4; ++i) WriteItem(chunk.data(), static_cast<int>(chunk.size()));
    refused = EndWrite();
    // The list is emptied with the refused statement; the next one runs as usual.
    BeginWrite(kDefaultUnit, "(A)", -1, nullptr, 0, kErrorBranch);
    WriteItem("ok", 2);
    next = EndWrite();
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(refused, 6700);
  EXPECT_EQ(next, 0);
  EXPECT_EQ(streams_.out, "k\r\n");
}

TEST_F(FuzzRegressionTest, ItemListBeyondItsLimitWithoutErrorBranchEndsTheRun) {
  const std::string chunk(kItemListLimit / 2, 'x');
  const int code = Run([&] {
    BeginWrite(kDefaultUnit, "(A)", -1);
    for (int i = 0; i < 2; ++i) WriteItem(chunk.data(), static_cast<int>(chunk.size()));
    EndWrite();
  });
  EXPECT_EQ(code, 1);
  EXPECT_EQ(streams_.err, kReport6700);
}

// An item read under A or Z: each part of a complex item takes a field of its own and its own
// bytes only, and a long character item takes no more than its length.
struct ReadWithinItemCase {
  const char* format;
  int type;
  int length;  // CHARACTER items
  const char* record;
  const char* expectedBytes;  // the item's storage after the READ
  int size;
};

TEST_F(FuzzRegressionTest, ReadUnderCharacterOrRadixEditingStaysWithinTheItem) {
  const ReadWithinItemCase cases[] = {
      {"(2A4)", kComplex8, 0, "abcdefgh", "abcdefgh", 8},
      {"(2A2)", kComplex8, 0, "abcd", "ab  cd  ", 8},
      {"(2A6)", kComplex8, 0, "uvabcdwxefgh", "abcdefgh", 8},
      {"(2A8)", kComplex16, 0, "abcdefghijklmnop", "abcdefghijklmnop", 16},
      // 3F800000 is 1.0 and 40000000 is 2.0, stored little-endian.
      {"(2Z8)", kComplex8, 0, "3F80000040000000", "\x00\x00\x80\x3F\x00\x00\x00\x40", 8},
      // Eight bytes of value, little-endian, then zeros up to the item's 40 bytes.
      {"(Z16)", kCharacter, 40, "0123456789ABCDEF",
       "\xEF\xCD\xAB\x89\x67\x45\x23\x01\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 40},
  };
  for (const ReadWithinItemCase& c : cases) {
    {
      FILE* file = std::fopen("IN.TXT", "wb");
      ASSERT_NE(file, nullptr);
      std::fputs(c.record, file);
      std::fputs("\r\n", file);
      std::fclose(file);
    }
    unsigned char storage[64];
    std::memset(storage, '~', sizeof storage);
    int status = -1;
    Run([&] {
      OpenKeywords keywords;
      keywords.file = {"IN.TXT"};
      keywords.status = {"OLD"};
      Open(10, keywords);
      BeginRead(10, c.format, -1, kErrorBranch);
      ReadItem(c.type, storage, c.length);
      status = EndRead();
    });
    const std::size_t size = static_cast<std::size_t>(c.size);
    EXPECT_EQ(status, 0) << c.format << " over " << c.record;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(storage), size), std::string(c.expectedBytes, size))
        << c.format << " over " << c.record;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(storage) + size, sizeof storage - size),
              std::string(sizeof storage - size, '~'))
        << c.format << " over " << c.record << ": bytes after the item were changed";
  }
}

// The targets skip a format whose bound exceeds kMaxFormatWork; a bound below the real work
// lets a statement of 1E12 steps through as a timeout, one far above it hides formats from the
// fuzzer. Bounds by hand: an entry is a step, a literal a step and one per character, n/ n steps,
// a data edit descriptor min(n, elements + 1) steps; a group passes * (1 + steps of a pass), its
// passes at most elements + 1 when it takes an item, and so the whole format.
struct FormatWorkCase {
  const char* format;
  double elements;
  double expected;
};

TEST(FuzzFormatWorkTest, BoundsTheStepsAFormatAsksFor) {
  const FormatWorkCase cases[] = {
      {"(I5)", 1, 2},
      {"(3I5)", 0, 1},
      {"(1000(I2))", 4, 50},
      {"(1000(TL5,X))", 0, 3000},  // TL and BZ take no item: all 1000 passes count
      {"(1000(BZ,X))", 0, 3000},
      {"(2(3(X)))", 0, 14},
      {"(1 0(X))", 0, 20},  // blanks inside a number
      {"(10(X)) 1000000(X)", 0, 20},  // the text after the final parenthesis is not run
      {"(5HA(B)C,3/)", 0, 9},  // a Hollerith literal hides its parentheses
      {"('A''(',2(X))", 0, 8},
      {"(10(10(X)", 0, 210},  // groups left open run up to the error
      {"X(10(X))", 0, 0},
      // Found by the write target: 77775 passes of 27717027 moves each; the statement ends with
      // 6601 after 2**30 columns, some 1E9 moves later.
      {"(1X77775(27717027(X)71X)(1(6", 0, 1 + 77775 * (1 + (27717027.0 * 2 + 1)) + 2},
      {"(X771014172(7X)", 0, 1 + 771014172 * 2.0},
  };
  for (const FormatWorkCase& c : cases) {
    EXPECT_EQ(fuzz::FormatWork(c.format, c.elements), c.expected) << c.format << " over " << c.elements
                                                                   << " elements";
  }
  EXPECT_GT(fuzz::FormatWork("(1X77775(27717027(X)71X)(1(6", 0), fuzz::kMaxFormatWork);
}

}  // namespace
}  // namespace fmtio
