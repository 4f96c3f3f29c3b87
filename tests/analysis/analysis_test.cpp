// The band storage, its assembly and the solver; a member's geometry, its stiffness and its stress.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "analysis/band_solver.h"
#include "analysis/band_stiffness.h"
#include "analysis/fixed_array.h"
#include "analysis/member_stiffness.h"
#include "analysis/member_stress.h"
#include "tests/fmtio/engine_run_test.h"

namespace analysis {
namespace {

std::uint32_t Bits(float x) { return std::bit_cast<std::uint32_t>(x); }
std::vector<std::uint32_t> Bits(const std::vector<float>& v) {
  std::vector<std::uint32_t> bits;
  for (const float x : v) bits.push_back(Bits(x));
  return bits;
}
const float nan = std::numeric_limits<float>::quiet_NaN();

int Location(int I, int J, int NEQ, int MUD) {
  int IR = -7;
  BandLocation(IR, I, J, NEQ, MUD);
  return IR;
}

// Position of (i, j), j >= i, counted row by row: row r holds min(MUD + 1, NEQ - r + 1) entries.
int CountedPosition(int i, int j, int NEQ, int MUD) {
  int p = 1;
  for (int r = 1; r < i; ++r) p += std::min(MUD + 1, NEQ - r + 1);
  return j > i + MUD ? 0 : p + (j - i);
}

TEST(BandLocationTest, EveryBandShapeAndThePlacesLeftOfTheDiagonal) {
  for (int NEQ = 1; NEQ <= 40; ++NEQ) {
    for (int MUD = 0; MUD < NEQ; ++MUD) {
      for (int i = 1; i <= NEQ; ++i) {
        for (int j = i; j <= NEQ; ++j) ASSERT_EQ(Location(i, j, NEQ, MUD), CountedPosition(i, j, NEQ, MUD));
      }
    }
  }
  // Left of the diagonal: places before p(i, i), also in a shortened row; the widest band.
  const int cases[][5] = {{5, 3, 9, 5, 23}, {7, 5, 9, 5, 32}, {3, 1, 9, 8, 16},
                          {297, 297, 297, 296, kBandCapacity}, {150, 150, 150, 20, 150 * 21 - 20 * 21 / 2}};
  for (const auto& c : cases) EXPECT_EQ(Location(c[0], c[1], c[2], c[3]), c[4]) << c[0] << "," << c[1];
}

TEST(FixDofTest, ClearsRowAndColumnAndSetsTheDiagonal) {
  for (const auto [NEQ, MUD] : {std::array{9, 5}, {9, 0}, {6, 5}}) {
    for (int IEQ = 1; IEQ <= NEQ; ++IEQ) {
      std::vector<float> STIFF(kBandCapacity, 7.0f);
      FixDof(STIFF.data(), IEQ, MUD, NEQ);
      int cut = 0;  // the entries of row and column IEQ, which alone change
      for (int i = 1; i <= NEQ; ++i) {
        for (int j = i; j <= std::min(i + MUD, NEQ); ++j) {
          cut += i == IEQ || j == IEQ;
          EXPECT_EQ(STIFF[CountedPosition(i, j, NEQ, MUD) - 1], i == IEQ && j == IEQ ? 1 : i == IEQ || j == IEQ ? 0 : 7)
              << "FixDof(" << IEQ << ") NEQ " << NEQ << " MUD " << MUD << " (" << i << "," << j << ")";
        }
      }
      EXPECT_EQ(std::count(STIFF.begin(), STIFF.end(), 7.0f), kBandCapacity - cut);
    }
  }
}

TEST(SolveBandTest, WorkedCases) {
  const float eps20 = std::ldexp(1.0f, -20);
  const auto bits = [](std::uint32_t b) { return std::bit_cast<float>(b); };
  const struct {
    const char* name;
    int NEQ, NRHS, MUD, MODE;
    float RELTOL;
    std::vector<float> A, R;
    int IER;
    std::vector<float> factor, solution;
  } cases[] = {
      // U33 = sqrt(2.75) stored as 0x3FD44395; the substitutions divide by that stored value,
      // so x3 = 0x3F7FFFFF, not 1.
      {"3x3", 3, 1, 2, 1, 1e-5f, {4, 2, 0, 5, 1, 3}, {6, 8, 4}, 0,
       {2, 1, 0, 2, 0.5f, bits(0x3FD44395)}, {1, 1, bits(0x3F7FFFFF)}},
      // U12 = 1/sqrt(6) from the unrounded root is 0x3ED105EC; from the stored root 0x3ED105EB.
      {"reciprocal of the root", 2, 1, 1, 1, 1e-5f, {6, 1, 1}, {0, 0}, 0,
       {bits(0x401CC471), bits(0x3ED105EC), bits(0x3F69B1E9)}, {0, 0}},
      {"indefinite", 2, 1, 1, 1, 1e-5f, {1, 2, 1}, {2, 2}, -1, {1, 2, 1}, {2, 2}},
      // A zero radicand at row 2 stops there: row 1 holds its factor, row 2 the matrix, R its loads.
      {"stops at its row", 2, 1, 1, 1, 1e-5f, {4, 2, 1}, {2, 2}, -1, {2, 1, 1}, {2, 2}},
      {"not a number", 1, 1, 0, 1, 1e-5f, {nan}, {1}, -1, {nan}, {1}},
      // Radicand 2^-20 below 1.0E-5 times its diagonal: a warning, IER = the row less one.
      {"loss at row 2", 2, 1, 1, 1, 1e-5f, {1, 1, 1 + eps20}, {2, 2}, 1, {1, 1, std::ldexp(1.0f, -10)}, {2, 0}},
      {"loss at row 3", 3, 1, 1, 1, 1e-5f, {1, 0, 1, 1, 1 + eps20}, {1, 2, 2}, 2,
       {1, 0, 1, 1, std::ldexp(1.0f, -10)}, {1, 2, 0}},
      // Every row warns; row 1 leaves IER at 0 and the first warning after it is kept.
      {"every row warns", 3, 1, 0, 1, 1.0f, {1, 4, 16}, {1, 4, 16}, 1, {1, 2, 4}, {1, 1, 1}},
      // A(i,j) = min(i,j) = U'U with U all ones; two columns.
      {"dense, two columns", 4, 2, 3, 1, 1e-5f, {1, 1, 1, 1, 2, 2, 2, 3, 3, 4}, {10, 19, 26, 30, 10, 16, 19, 20},
       0, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {1, 2, 3, 4, 4, 3, 2, 1}},
      {"fixed equation", 3, 1, 2, 1, 1e-5f, {4, 0, 0, 1, 0, 4}, {6, 5, 8}, 0, {2, 0, 0, 1, 0, 2}, {1.5f, 5, 2}},
      {"MUD < 0", 2, 1, -1, 1, 1e-5f, {4, 1}, {1, 1}, -1, {4, 1}, {1, 1}},
      {"NEQ < MUD + 1", 2, 1, 2, 1, 1e-5f, {4, 1, 4}, {1, 1}, -1, {4, 1, 4}, {1, 1}},
      {"MODE 2", 2, 1, 0, 2, 1e-5f, {4, 1}, {1, 1}, -1, {4, 1}, {1, 1}},
  };
  for (const auto& c : cases) {
    std::vector<float> A = c.A, R = c.R;
    int IER = 99;
    SolveBand(R.data(), A.data(), c.NEQ, c.NRHS, c.MUD, c.MODE, c.RELTOL, IER);
    EXPECT_EQ(IER, c.IER) << c.name;
    EXPECT_EQ(Bits(A), Bits(c.factor)) << c.name;
    EXPECT_EQ(Bits(R), Bits(c.solution)) << c.name;
  }
}

// A = U'U for a unit upper triangular band U of small integers: A and the solution of an integer
// system are exact in single precision, for every band shape.
TEST(SolveBandTest, IntegerSystemsFactorAndSolveExactly) {
  for (int N = 1; N <= 50; ++N) {
    for (int p = 0; p < std::min(N, 10); ++p) {
      std::mt19937 rng(static_cast<unsigned>(1000 * N + p));
      std::uniform_int_distribution<int> entry(-2, 2);
      std::vector<int> U(N * N);  // row-major N x N
      for (int i = 1; i <= N; ++i) {
        for (int j = i; j <= std::min(i + p, N); ++j) U[(i - 1) * N + j - 1] = i == j ? 1 : entry(rng);
      }
      const auto A = [&](int i, int j) {
        int a = 0;
        for (int l = 1; l <= std::min(i, j); ++l) a += U[(l - 1) * N + i - 1] * U[(l - 1) * N + j - 1];
        return static_cast<float>(a);
      };
      std::vector<float> band(kBandCapacity), x(N), R(N, 0.0f);
      for (int k = 0; k < N; ++k) x[k] = static_cast<float>((k * 5 + N) % 7 - 3);
      for (int i = 1; i <= N; ++i) {
        for (int j = 1; j <= N; ++j) {
          R[i - 1] += A(i, j) * x[j - 1];
          if (i <= j && j <= i + p) band[CountedPosition(i, j, N, p) - 1] = A(i, j);
        }
      }
      int IER = 99;
      SolveBand(R.data(), band.data(), N, 1, p, 1, 1e-5f, IER);
      ASSERT_EQ(IER, 0) << "N " << N << " p " << p;
      ASSERT_EQ(R, x) << "N " << N << " p " << p;
    }
  }
}

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
  const struct { Member m; int r, s; std::uint32_t bits; } cases[] = {
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
  // D: x, y, z of node 1, then of node 2.
  const struct { const char* name; Member m; float D[6]; float expected; } cases[] = {
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
  EXPECT_EQ(RunAlone([&] { MemberGeometry(T, 1, 2, m.XC, m.YC, m.ZC); }), 2);
  // "0" in the record is a line end first; the stop ends the pending line before its message.
  EXPECT_EQ(streams_.out, "\r\nNEGATIVE LENGTH OF MEMBER\r\nStop - Program terminated.\r\n");
}

}  // namespace
}  // namespace analysis
