// The typed calls on each C++ type they take, and their option bits. The case tables run every
// WRITE and READ case through the typed items and in memory as well.
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

// Format(format, value) gives `record`, and Parse(record, format, back) the value again; an
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

using TypedCallsTest = EngineRunTest;

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
  // Text: a char array up to its first NUL, a string as it stands; read, a char array is filled.
  char name[6] = "AB";
  EXPECT_EQ(Format("(A,'|',A,'|',A)", name, std::string_view("C D"), std::string("E")), "AB|C D|E");
  char words[2][3] = {};
  EXPECT_EQ(Parse("XY\nZ", "(A2/A)", std::span(words)), 0);
  EXPECT_EQ(std::string(words[0], 6), "XY Z  ");
  // The option bits: the end of the text and errors are returned; the records before an error kept.
  std::int32_t n = 0;
  EXPECT_EQ(Parse(Options{kEndBranch}, "", "(I3)", n), -1);
  std::string records;
  EXPECT_EQ(Format(Options{kErrorBranch}, records, "(I3/F5.1)", 7, 2), 6207);
  EXPECT_EQ(records, "  7");
}

}  // namespace
}  // namespace fmtio
