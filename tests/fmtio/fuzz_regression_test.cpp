// Cases the fuzz targets found that a case file cannot hold, and the engine's bounds against
// runaway statements.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fmtio/units.h"
#include "fmtio/write_statement.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

constexpr int kPutAsideLimit = 32;                 // statements that can be put aside at once
constexpr std::size_t kItemListLimit = 64u << 20;  // bytes of one statement's item list

// A test may run the engine more than once, as a harness does.
class FuzzRegressionTest : public EngineRunTest {
 protected:
  // One whole run of the engine over `statements`, its end caught; returns the exit code.
  template <class Statements>
  int Run(Statements statements) {
    StartRun();
    EngineRunTest::Run(statements);
    return EndRun();
  }
};

TEST_F(FuzzRegressionTest, RunEndedInsideAPutAsideWriteLeavesNoStatementForTheNextRun) {
  const std::int32_t values[3] = {1, 2, 3};
  EXPECT_EQ(Run([&] {
              BeginWrite(kDefaultUnit, "(3I3)", -1);
              WriteItem(kInteger4, values, 3, 0);
              // The WRITE begun inside it has a malformed format and no error branch: the run ends.
              BeginWrite(kDefaultUnit, "(I3", -1);
              WriteItem(std::int32_t{4});
              EndWrite();
            }),
            1);
  EXPECT_EQ(Run([&] {
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
TEST_F(FuzzRegressionTest, RunawayStatementsAreRefusedWith6700) {
  std::string statuses, expected;
  EXPECT_EQ(Run([&] {
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
  EXPECT_EQ(Run([&] { for (int i = 0; i <= kPutAsideLimit; ++i) BeginWrite(kDefaultUnit, "(I3)", -1); }), 1);
  EXPECT_EQ(streams_.err, Report("F6700", 6700));
  const std::string chunk(kItemListLimit / 4, 'x');
  const auto write = [&](int options, int chunks, const std::string& text) {
    BeginWrite(kDefaultUnit, "(A)", -1, nullptr, 0, options);
    for (int i = 0; i < chunks; ++i) WriteItem(text.data(), static_cast<int>(text.size()));
    statuses += std::to_string(EndWrite());
  };
  statuses.clear();
  EXPECT_EQ(Run([&] { write(kErrorBranch, 4, chunk); write(kErrorBranch, 1, "ok"); }), 0);
  EXPECT_EQ(statuses, "67000");
  EXPECT_EQ(streams_.out, "k\r\n");
  EXPECT_EQ(Run([&] { write(0, 4, chunk); }), 1);
  EXPECT_EQ(streams_.err, Report("F6700", 6700));
}

}  // namespace
}  // namespace fmtio
