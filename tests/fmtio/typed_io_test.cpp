// The typed calls beyond the case tables, which run every WRITE and READ case through the typed
// items of each type and in memory: arrays as spans, the text types, and the option bits.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "fmtio/typed_io.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

using TypedCallsTest = EngineRunTest;

TEST_F(TypedCallsTest, SpansTextAndOptionBits) {
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

}  // namespace
}  // namespace fmtio
