// The typed calls on each C++ type they take: the record Format makes of a value, and the value
// Parse reads back from it. The case tables run every WRITE and READ case through them as well.
#include <gtest/gtest.h>

#include <array>
#include <complex>
#include <cstdint>
#include <span>
#include <string>

#include "fmtio/typed_io.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

class TypedCallsTest : public EngineRunTest {
 protected:
  // Format(format, value) gives `record`; Parse(record, format, back) gives the value again. An
  // array goes as a std::span of it.
  template <class T>
  void RoundTrip(const char* format, T value, const std::string& record) {
    const auto item = [](T& v) -> decltype(auto) {
      if constexpr (requires { std::span(v); }) return std::span(v);
      else return (v);
    };
    EXPECT_EQ(Format(format, item(value)), record) << format;
    T back{};
    EXPECT_EQ(Parse(record, format, item(back)), 0) << format;
    EXPECT_EQ(back, value) << format;
  }
};

TEST_F(TypedCallsTest, EachItemTypeWritesAndReadsBack) {
  RoundTrip("(I4)", std::int8_t{-12}, " -12");
  RoundTrip("(I7)", std::int16_t{-1234}, "  -1234");
  RoundTrip("(I11)", std::int32_t{-2147483647}, "-2147483647");
  RoundTrip("(F6.2)", 1.25f, "  1.25");
  RoundTrip("(D11.4)", 1250.0, "  .1250D+04");
  RoundTrip("(2F5.1)", std::complex<float>{1.5f, -2.0f}, "  1.5 -2.0");
  RoundTrip("(2F6.2)", std::complex<double>{1.25, 4.0}, "  1.25  4.00");
  RoundTrip("(L2)", true, " T");
  RoundTrip("(3I3)", std::array<std::int32_t, 3>{7, -8, 9}, "  7 -8  9");
  RoundTrip("(A4)", std::array<char, 4>{'A', 'B', ' ', 'D'}, "AB D");
  // Text: a char array up to its first NUL, a std::string_view or std::string as it stands.
  char name[6] = "AB";
  EXPECT_EQ(Format("(A,'|',A,'|',A)", name, std::string_view("C D"), std::string("E")), "AB|C D|E");
  // A char array is read whole and padded; a span of text items is one item each.
  char words[2][3] = {};
  EXPECT_EQ(Parse("XY\nZ", "(A2/A)", std::span(words)), 0);
  EXPECT_EQ(std::string(words[0], 6), "XY Z  ");
  EXPECT_EQ(Parse("Q", "(A)", name), 0);
  EXPECT_EQ(std::string(name, 6), "Q     ");
}

// The option bits: errors and the end of the text are returned, and the records before an error
// are kept.
TEST_F(TypedCallsTest, OptionBitsReturnTheStatus) {
  std::int32_t n = 5;
  EXPECT_EQ(Parse(Options{kEndBranch}, "", "(I3)", n), -1);
  EXPECT_EQ(Parse(Options{kErrorBranch}, "1.5", "(I3)", n), 6101);
  EXPECT_EQ(n, 5);
  std::string records;
  EXPECT_EQ(Format(Options{kErrorBranch}, records, "(I3/F5.1)", 7, 2), 6207);
  EXPECT_EQ(records, "  7");
  EXPECT_EQ(Format("(2(I2,:,','))", std::span<const std::int32_t>(std::array{1, 2, 3})), " 1, 2,\n 3");
}

}  // namespace
}  // namespace fmtio
