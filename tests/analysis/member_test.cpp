// A member's geometry, its stiffness and its stress.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "analysis/fixed_array.h"
#include "analysis/member_stiffness.h"
#include "analysis/member_stress.h"
#include "tests/fmtio/engine_run_test.h"

namespace analysis {
namespace {

std::uint32_t Bits(float x) { return std::bit_cast<std::uint32_t>(x); }
const float nan = std::numeric_limits<float>::quiet_NaN();

// Member 1 from node 1 to node 2 with its modulus and area.
struct Member {
  float XC[2], YC[2], ZC[2], E = 0, A = 1;

  Array<float, 6, 6> Stiffness(int I, int J) const {
    Array<float, 6, 6> ESTIFF;
    ESTIFF.Fill(99.0f);
    MemberStiffness(1, I, J, ESTIFF.data(), XC, YC, ZC, &A, &E);
    return ESTIFF;
  }
  float Stress(const float (&D)[6]) const {
    float STRESS = 99.0f;
    MemberStress(1, 1, 2, STRESS, XC, YC, ZC, &E, D);
    return STRESS;
  }
};

TEST(MatrixProductTest, ColumnMajorWithEveryPartialSumRounded) {
  // [1 2 3; 4 5 6] [1 0; 0 1; 2 -1] = [7 -1; 16 -1], and [1 5; 4 3; 2 6]' (1, 0, 2) = (5, 17).
  const float A[] = {1, 4, 2, 5, 3, 6}, B[] = {1, 0, 2, 0, 1, -1};
  std::vector<float> R(4, 9.0f);
  MatrixProduct(A, B, R.data(), 2, 3, 2);
  EXPECT_EQ(R, (std::vector<float>{7, 16, -1, -1}));
  TransposeProduct(A, B, R.data(), 3, 2, 1);
  EXPECT_EQ(R, (std::vector<float>{5, 17, -1, -1}));
  // The products are exact, so only the rounding of the partial sums in their order decides:
  // 1 + 2^-24 rounds back to 1, while 2^-24 + 2^-24 = 2^-23 survives the addition of 1.
  const float tiny = std::ldexp(1.0f, -24), ones[] = {1, 1, 1};
  const float cases[][4] = {{1, tiny, tiny, 1}, {tiny, tiny, 1, 1 + 2 * tiny}, {tiny, 1, tiny, 1}};
  for (const auto& c : cases) {
    float R1 = 0, R2 = 0;
    MatrixProduct(ones, c, &R1, 1, 3, 1);
    TransposeProduct(ones, c, &R2, 3, 1, 1);
    EXPECT_EQ(Bits(R1), Bits(c[3])) << c[0] << " " << c[1] << " " << c[2];
    EXPECT_EQ(Bits(R2), Bits(c[3])) << c[0] << " " << c[1] << " " << c[2];
  }
}

TEST(MemberStiffnessTest, SingleRoundedEntriesSymmetricWhicheverWayRound) {
  // Entry (r, s) of the first block of [C -C; -C C] (r 0: none checked): each is a product of
  // two cosines and the factor E*A/L, the factor kept in double and the whole rounded once.
  const struct {
    Member m;
    int r, s;
    std::uint32_t bits;
  } cases[] = {
      {{{0, 2}, {0, 0}, {0, 0}, 200, 3}, 1, 1, Bits(300.0f)},  // along x: the axial term
      {{{0, 3}, {0, 4}, {0, 0}, 5, 1}, 1, 1, 0x3EB851EC},  // 0.36000001, the float nearest 0.36
      {{{0, 3}, {0, 4}, {0, 0}, 5, 1}, 1, 2, 0x3EF5C290},  // 0.48000002, one above the nearest
      {{{0, 3}, {0, 4}, {0, 0}, 5, 1}, 2, 2, 0x3F23D70B},  // 0.64000005, likewise
      {{{0, 3}, {0, 4}, {0, 0}, 6.5f, 2}, 1, 1, 0x3F6F9DB3},  // with 2.6f first: 0x3F6F9DB2
      {{{0.1f, 0.1f}, {0.3f, 9.3f}, {-0.7f, -0.7f}, 3.3f, 0.7f}, 1, 2, 0},  // on an axis: exact zeros
      {{{1.5f, -4.7f}, {-2.25f, 0.3f}, {3.1f, 7.9f}, 2.1e5f, 0.013f}, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const Array<float, 6, 6> forward = c.m.Stiffness(1, 2), reversed = c.m.Stiffness(2, 1);
    if (c.r) {
      EXPECT_EQ(Bits(forward(c.r, c.s)), c.bits) << c.m.E << " (" << c.r << "," << c.s << ")";
    }
    for (int r = 1; r <= 6; ++r) {
      for (int s = 1; s <= 6; ++s) {
        const float sign = (r <= 3) == (s <= 3) ? 1.0f : -1.0f;
        EXPECT_EQ(Bits(forward(r, s)), Bits(forward(s, r))) << r << "," << s;
        EXPECT_EQ(Bits(forward(r, s)), Bits(reversed(r, s))) << r << "," << s;
        EXPECT_EQ(forward(r, s), sign * forward((r - 1) % 3 + 1, (s - 1) % 3 + 1)) << r << "," << s;
      }
    }
  }
}

TEST(MemberStressTest, PartialSumsRoundedInTheirOrder) {
  const Member alongX{{0, 4}, {0, 0}, {0, 0}, 200};  // G = (-50, 0, 0, 50, 0, 0)
  const struct {
    const char* name;
    Member m;
    float D[6];  // x, y, z of node 1, then of node 2
    float expected;
  } cases[] = {
      {"tension", alongX, {0, 0, 0, 0.01f, 0, 0}, 0.5f},
      {"transverse", alongX, {0, 0.01f, 0.02f, 0, 0.03f, 0.04f}, 0.0f},
      {"rigid, exact products", alongX, {0.25f, 0, 0, 0.25f, 0, 0}, 0.0f},
      // -50 * 0.01f rounds to -0.5 in the first partial sum; the exact product 0.49999998882
      // then leaves -3 * 2^-28, not 0.
      {"rigid, inexact products", alongX, {0.01f, 0, 0, 0.01f, 0, 0}, -std::ldexp(3.0f, -28)},
      {"no modulus", {{0, 4}, {0, 0}, {0, 0}, 0}, {1, 2, 3, 4, 5, 6}, 0.0f},
      // G(4) = 0.6f * 25 / 5 = 3 + 2^-23 rounds once, to 3; 0.6f * 25 rounded first gives 3.0000002.
      {"scaled cosines", {{0, 3}, {0, 4}, {0, 0}, 25}, {0, 0, 0, 1, 0, 0}, 3.0f},
  };
  for (const auto& c : cases) EXPECT_EQ(Bits(c.m.Stress(c.D) + 0.0f), Bits(c.expected)) << c.name;
}

using MemberGeometryTest = fmtio::EngineRunTest;

TEST_F(MemberGeometryTest, NonNumericLengthWritesTheMessageAndStops) {
  const Member m{{0, nan}, {0, 0}, {0, 0}};
  float T[12] = {};
  Run([&] { MemberGeometry(T, 1, 2, m.XC, m.YC, m.ZC); });
  EXPECT_EQ(EndRun(), 2);
  // "0" in the record is a line end first; the stop ends the pending line before its message.
  EXPECT_EQ(streams_.out, "\r\nNEGATIVE LENGTH OF MEMBER\r\nStop - Program terminated.\r\n");
}

}  // namespace
}  // namespace analysis
