// The band storage, its assembly and the solver.
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

namespace analysis {
namespace {

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

std::vector<std::uint32_t> Bits(const std::vector<float>& v) {
  std::vector<std::uint32_t> bits;
  for (const float x : v) bits.push_back(std::bit_cast<std::uint32_t>(x));
  return bits;
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
  const float nan = std::numeric_limits<float>::quiet_NaN(), eps20 = std::ldexp(1.0f, -20);
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
      for (int i = 1; i <= N; ++i) {
        for (int j = i; j <= std::min(i + p, N); ++j) band[CountedPosition(i, j, N, p) - 1] = A(i, j);
      }
      for (int k = 0; k < N; ++k) x[k] = static_cast<float>((k * 5 + N) % 7 - 3);
      for (int i = 1; i <= N; ++i) {
        for (int j = 1; j <= N; ++j) R[i - 1] += A(i, j) * x[j - 1];
      }
      int IER = 99;
      SolveBand(R.data(), band.data(), N, 1, p, 1, 1e-5f, IER);
      ASSERT_EQ(IER, 0) << "N " << N << " p " << p;
      ASSERT_EQ(R, x) << "N " << N << " p " << p;
    }
  }
}

}  // namespace
}  // namespace analysis
