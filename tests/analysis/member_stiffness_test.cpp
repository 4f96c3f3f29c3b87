#include "analysis/member_stiffness.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "analysis/fixed_array.h"
#include "fmtio/platform.h"
#include "fmtio/units.h"
#include "runtime/fp_traps.h"
#include "runtime/termination.h"

namespace analysis {
namespace {

std::uint32_t Bits(float x) { return std::bit_cast<std::uint32_t>(x); }
float FromBits(std::uint32_t b) { return std::bit_cast<float>(b); }

// A two-node model: node 1 and node 2 with the given coordinates, member 1 with E and A.
struct TwoNodes {
  float XC[2], YC[2], ZC[2];
  float E[1], A[1];
};

TwoNodes Member(float x1, float y1, float z1, float x2, float y2, float z2, float E, float A) {
  return {{x1, x2}, {y1, y2}, {z1, z2}, {E}, {A}};
}

Array<float, 6, 6> Stiffness(const TwoNodes& m, int I = 1, int J = 2) {
  Array<float, 6, 6> ESTIFF;
  ESTIFF.Fill(99.0f);
  MemberStiffness(1, I, J, ESTIFF.data(), m.XC, m.YC, m.ZC, m.A, m.E);
  return ESTIFF;
}

TEST(MatrixProductTest, MultipliesColumnMajorMatrices) {
  // A = [1 2 3; 4 5 6] (2 x 3), B = [1 0; 0 1; 2 -1] (3 x 2): A*B = [7 -1; 16 -1].
  const float A[] = {1, 4, 2, 5, 3, 6};
  const float B[] = {1, 0, 2, 0, 1, -1};
  float R[4] = {9, 9, 9, 9};
  MatrixProduct(A, B, R, 2, 3, 2);
  EXPECT_EQ(R[0], 7.0f);
  EXPECT_EQ(R[1], 16.0f);
  EXPECT_EQ(R[2], -1.0f);
  EXPECT_EQ(R[3], -1.0f);
}

TEST(MatrixProductTest, TransposeProductMultipliesByTheTranspose) {
  // A = [1 2; 3 4; 5 6] (3 x 2), B = [1; 1; 1]: A'*B = [9; 12].
  const float A[] = {1, 3, 5, 2, 4, 6};
  const float B[] = {1, 1, 1};
  float R[2] = {9, 9};
  TransposeProduct(A, B, R, 3, 2, 1);
  EXPECT_EQ(R[0], 9.0f);
  EXPECT_EQ(R[1], 12.0f);
}

TEST(MatrixProductTest, RoundsEveryPartialSumToSinglePrecision) {
  // A row of ones times a column: the products are exact, so only the rounding of the partial
  // sums and their order decide the result. 1 + 2^-24 rounds back to 1 (tie to even), while
  // 2^-24 + 2^-24 = 2^-23 survives the addition of 1.
  const float tiny = std::ldexp(1.0f, -24);
  struct Case {
    float b[3];
    float expected;
  };
  const Case cases[] = {
      {{1.0f, tiny, tiny}, 1.0f},
      {{tiny, tiny, 1.0f}, 1.0f + 2 * tiny},
      {{tiny, 1.0f, tiny}, 1.0f},
  };
  const float ones[] = {1, 1, 1};
  for (const Case& c : cases) {
    float R = 0;
    MatrixProduct(ones, c.b, &R, 1, 3, 1);
    EXPECT_EQ(Bits(R), Bits(c.expected)) << "b = (" << c.b[0] << ", " << c.b[1] << ", " << c.b[2]
                                         << ") expected " << c.expected << " got " << R;
    TransposeProduct(ones, c.b, &R, 3, 1, 1);
    EXPECT_EQ(Bits(R), Bits(c.expected)) << "transpose, b = (" << c.b[0] << ", " << c.b[1]
                                         << ", " << c.b[2] << ")";
  }
}

TEST(MemberGeometryTest, OverwritesAllOfTWithTheCosines) {
  const TwoNodes m = Member(0, 0, 0, 3, 4, 0, 1, 1);
  float T[12];
  for (float& t : T) t = 99.0f;
  MemberGeometry(T, 1, 2, m.XC, m.YC, m.ZC);
  const float expected[12] = {0.6f, 0, 0.8f, 0, 0, 0, 0, 0.6f, 0, 0.8f, 0, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(T[i], expected[i]) << "T vector entry " << i + 1;
}

TEST(MemberStiffnessTest, BarAlongXHasOnlyItsAxialTerms) {
  // From (0,0,0) to (2,0,0), E = 200, A = 3: E*A/L = 300.
  const Array<float, 6, 6> ESTIFF = Stiffness(Member(0, 0, 0, 2, 0, 0, 200, 3));
  for (int r = 1; r <= 6; ++r) {
    for (int c = 1; c <= 6; ++c) {
      float expected = 0.0f;
      if ((r == 1 || r == 4) && (c == 1 || c == 4)) expected = r == c ? 300.0f : -300.0f;
      EXPECT_EQ(ESTIFF(r, c), expected) << "ESTIFF(" << r << "," << c << ")";
    }
  }
}

TEST(MemberStiffnessTest, ObliqueBarEntriesAreSingleRoundedCosineProducts) {
  // From (0,0,0) to (3,4,0) with E*A = 5: L = 5, factor 1, c = (0.6f, 0.8f, 0). Each entry is
  // the product of two cosines rounded once: 0.6f*0.6f is the float nearest 0.36, but 0.8f*0.8f
  // and 0.6f*0.8f land one unit above the floats nearest 0.64 and 0.48.
  const Array<float, 6, 6> ESTIFF = Stiffness(Member(0, 0, 0, 3, 4, 0, 5, 1));
  const float c11 = FromBits(0x3EB851EC);  // 0.36000001
  const float c12 = FromBits(0x3EF5C290);  // 0.48000002
  const float c22 = FromBits(0x3F23D70B);  // 0.64000005
  const float C[3][3] = {{c11, c12, 0}, {c12, c22, 0}, {0, 0, 0}};
  for (int r = 1; r <= 6; ++r) {
    for (int c = 1; c <= 6; ++c) {
      const float sign = (r <= 3) == (c <= 3) ? 1.0f : -1.0f;
      const float expected = sign * C[(r - 1) % 3][(c - 1) % 3];
      EXPECT_EQ(Bits(ESTIFF(r, c)), Bits(expected + 0.0f))
          << "ESTIFF(" << r << "," << c << ") expected " << expected << " got " << ESTIFF(r, c);
    }
  }
}

TEST(MemberStiffnessTest, FactorIsNotRoundedBeforeTheProduct) {
  // E*A/L = 13/5 kept in double: 2.6 * 0.36000001 rounds to 0x3F6F9DB3; with the factor first
  // rounded to 2.6f the entry would be 0x3F6F9DB2.
  const Array<float, 6, 6> ESTIFF = Stiffness(Member(0, 0, 0, 3, 4, 0, 6.5f, 2));
  EXPECT_EQ(Bits(ESTIFF(1, 1)), 0x3F6F9DB3u) << ESTIFF(1, 1);
  EXPECT_EQ(Bits(ESTIFF(4, 1)), 0xBF6F9DB3u) << ESTIFF(4, 1);
}

TEST(MemberStiffnessTest, IsExactlySymmetricAndIndependentOfTheAxisDirection) {
  const TwoNodes members[] = {
      Member(1.5f, -2.25f, 3.1f, -4.7f, 0.3f, 7.9f, 2.1e5f, 0.013f),
      Member(0, 0, 0, 1e-3f, 7.0f, -1e3f, 3.0f, 7.0f),
      Member(10, 20, 30, 11, 19, 33, 1.0f, 1.0f),
  };
  for (const TwoNodes& m : members) {
    const Array<float, 6, 6> forward = Stiffness(m, 1, 2);
    const Array<float, 6, 6> reversed = Stiffness(m, 2, 1);
    for (int r = 1; r <= 6; ++r) {
      for (int c = 1; c <= 6; ++c) {
        EXPECT_EQ(Bits(forward(r, c)), Bits(forward(c, r))) << "(" << r << "," << c << ")";
        EXPECT_EQ(Bits(forward(r, c)), Bits(reversed(r, c))) << "(" << r << "," << c << ")";
        // The blocks are [C -C; -C C].
        const float block = forward((r - 1) % 3 + 1, (c - 1) % 3 + 1);
        const float sign = (r <= 3) == (c <= 3) ? 1.0f : -1.0f;
        EXPECT_EQ(forward(r, c), sign * block) << "(" << r << "," << c << ")";
      }
    }
  }
}

TEST(MemberStiffnessTest, BarOnAnAxisHasExactZerosForTheOtherDirections) {
  const TwoNodes m = Member(0.1f, 0.3f, -0.7f, 0.1f, 9.3f, -0.7f, 3.3f, 0.7f);
  const Array<float, 6, 6> ESTIFF = Stiffness(m);
  for (int r = 1; r <= 6; ++r) {
    for (int c = 1; c <= 6; ++c) {
      if ((r - 1) % 3 == 1 && (c - 1) % 3 == 1) {
        EXPECT_NE(ESTIFF(r, c), 0.0f) << "(" << r << "," << c << ")";
      } else {
        EXPECT_EQ(ESTIFF(r, c), 0.0f) << "(" << r << "," << c << ") = " << ESTIFF(r, c);
      }
    }
  }
}

TEST(MemberGeometryTest, ZeroLengthRaisesInvalidOperationWithoutTheMessage) {
  // Both ends at one point: 0/0 cosines. With the traps armed that ends the run with an
  // invalid-operation error; here the traps are masked, so only the flag and the NaN show.
  const TwoNodes m = Member(1, 2, 3, 1, 2, 3, 1, 1);
  float T[12] = {};
  std::feclearexcept(FE_ALL_EXCEPT);
  MemberGeometry(T, 1, 2, m.XC, m.YC, m.ZC);
  EXPECT_TRUE(std::fetestexcept(FE_INVALID));
  EXPECT_TRUE(std::isnan(T[0]));
  std::feclearexcept(FE_ALL_EXCEPT);
}

// Runs the engine on in-memory standard streams, as a run of the program would.
class MemberGeometryConsoleTest : public testing::Test {
 protected:
  void SetUp() override {
    fmtio::platform::UseMemoryStreams(&streams_);
    fmtio::Start(0, nullptr);
    runtime::DisarmFloatingPointTraps();
  }
  void TearDown() override {
    runtime::Finish(0);
    fmtio::platform::UseMemoryStreams(nullptr);
  }
  fmtio::platform::MemoryStreams streams_;
};

TEST_F(MemberGeometryConsoleTest, NonNumericLengthWritesTheMessageAndStops) {
  const TwoNodes m = Member(0, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0, 0, 1, 1);
  float T[12] = {};
  int exitCode = -1;
  try {
    MemberGeometry(T, 1, 2, m.XC, m.YC, m.ZC);
  } catch (const runtime::RunEnded& e) {
    exitCode = e.exitCode;
  }
  EXPECT_EQ(exitCode, 0);
  // The console record "0NEGATIVE LENGTH OF MEMBER": "0" is a line end first, then the text;
  // the stop ends the pending line before its own message.
  EXPECT_EQ(streams_.out, "\r\nNEGATIVE LENGTH OF MEMBER\r\nStop - Program terminated.\r\n");
}

}  // namespace
}  // namespace analysis
