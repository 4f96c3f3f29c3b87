#include "analysis/band_solver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/band_stiffness.h"

namespace analysis {
namespace {

float FromBits(std::uint32_t b) { return std::bit_cast<float>(b); }

std::string Show(const std::vector<float>& v) {
  std::ostringstream out;
  out.precision(9);
  out << "(";
  for (std::size_t i = 0; i < v.size(); ++i) out << (i ? ", " : "") << v[i];
  out << ")";
  return out.str();
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::bit_cast<std::uint32_t>(a[i]) != std::bit_cast<std::uint32_t>(b[i])) return false;
  }
  return true;
}

TEST(SolveBandTest, WorkedCases) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float eps20 = std::ldexp(1.0f, -20);
  struct Case {
    const char* name;
    int NEQ, NRHS, MUD, MODE;
    float RELTOL;
    std::vector<float> A, R;
    int IER;
    std::vector<float> factor, solution;
  };
  const Case cases[] = {
      // [4 2 0; 2 5 1; 0 1 3]: U33 = sqrt(2.75) stored as 1.65831244 (0x3FD44395). The
      // substitutions divide by that stored value, so x3 = 0.99999994 (0x3F7FFFFF), not 1.
      {"3x3", 3, 1, 2, 1, 1e-5f, {4, 2, 0, 5, 1, 3}, {6, 8, 4}, 0,
       {2, 1, 0, 2, 0.5f, FromBits(0x3FD44395)}, {1, 1, FromBits(0x3F7FFFFF)}},
      // U12 = 1/sqrt(6) from the unrounded root is 0x3ED105EC; from the stored root 2.4494898
      // (0x401CC471) it would be 0x3ED105EB. U22 = sqrt(1 - U12^2) = 0.91287094.
      {"reciprocal of the root", 2, 1, 1, 1, 1e-5f, {6, 1, 1}, {0, 0}, 0,
       {FromBits(0x401CC471), FromBits(0x3ED105EC), FromBits(0x3F69B1E9)}, {0, 0}},
      {"singular", 2, 1, 1, 1, 1e-5f, {1, 1, 1}, {2, 2}, -1, {1, 1, 1}, {2, 2}},
      {"indefinite", 2, 1, 1, 1, 1e-5f, {1, 2, 1}, {2, 2}, -1, {1, 2, 1}, {2, 2}},
      {"not a number", 1, 1, 0, 1, 1e-5f, {nan}, {1}, -1, {nan}, {1}},
      // Radicand 2^-20 at row 2, below 1.0E-5 times its diagonal: a warning, IER = 1.
      {"loss at row 2", 2, 1, 1, 1, 1e-5f, {1, 1, 1 + eps20}, {2, 2}, 1,
       {1, 1, std::ldexp(1.0f, -10)}, {2, 0}},
      {"loss at row 3", 3, 1, 1, 1, 1e-5f, {1, 0, 1, 1, 1 + eps20}, {1, 2, 2}, 2,
       {1, 0, 1, 1, std::ldexp(1.0f, -10)}, {1, 2, 0}},
      // With RELTOL 1 every row warns; row 1 leaves IER at 0 and the first warning after it
      // (row 2, IER 1) is kept.
      {"every row warns", 3, 1, 0, 1, 1.0f, {1, 4, 16}, {1, 4, 16}, 1, {1, 2, 4}, {1, 1, 1}},
      // The whole upper triangle of A(i,j) = min(i,j) = U'U with U all ones; two columns.
      {"dense, two columns", 4, 2, 3, 1, 1e-5f, {1, 1, 1, 1, 2, 2, 2, 3, 3, 4},
       {10, 19, 26, 30, 10, 16, 19, 20}, 0, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
       {1, 2, 3, 4, 4, 3, 2, 1}},
      // Equation 2 cut loose by a support: factor row (1, 0), solution = its load.
      {"fixed equation", 3, 1, 2, 1, 1e-5f, {4, 0, 0, 1, 0, 4}, {6, 5, 8}, 0, {2, 0, 0, 1, 0, 2},
       {1.5f, 5, 2}},
      {"MUD < 0", 2, 1, -1, 1, 1e-5f, {4, 1}, {1, 1}, -1, {4, 1}, {1, 1}},
      {"NEQ < MUD + 1", 2, 1, 2, 1, 1e-5f, {4, 1, 4}, {1, 1}, -1, {4, 1, 4}, {1, 1}},
      {"MODE 2", 2, 1, 0, 2, 1e-5f, {4, 1}, {1, 1}, -1, {4, 1}, {1, 1}},
  };
  for (const Case& c : cases) {
    std::vector<float> A = c.A, R = c.R;
    int IER = 99;
    SolveBand(R.data(), A.data(), c.NEQ, c.NRHS, c.MUD, c.MODE, c.RELTOL, IER);
    EXPECT_EQ(IER, c.IER) << c.name;
    EXPECT_TRUE(SameBits(A, c.factor))
        << c.name << ": factor expected " << Show(c.factor) << " got " << Show(A);
    EXPECT_TRUE(SameBits(R, c.solution))
        << c.name << ": R expected " << Show(c.solution) << " got " << Show(R);
  }
}

// A symmetric band matrix of N equations and p co-diagonals, kept both full (double, for the
// checks) and in the band layout the solver takes.
struct BandSystem {
  int N, p;
  std::vector<float> band;
  std::vector<double> full;  // row-major N x N, upper triangle used

  BandSystem(int n, int mud) : N(n), p(mud), band(static_cast<std::size_t>(kBandCapacity), 0.0f),
                               full(static_cast<std::size_t>(n * n), 0.0) {}
  int Pos(int i, int j) const {
    int IR = 0;
    BandLocation(IR, i, j, N, p);
    return IR - 1;
  }
  double& Full(int i, int j) { return full[static_cast<std::size_t>((i - 1) * N + j - 1)]; }
  void Set(int i, int j, float v) {
    band[static_cast<std::size_t>(Pos(i, j))] = v;
    Full(i, j) = v;
    Full(j, i) = v;
  }
  float Band(int i, int j) const { return band[static_cast<std::size_t>(Pos(i, j))]; }
};

// U: unit upper triangular band with small integer entries. A = U'U is then exact in single
// precision, and so is every step of its factorization and of the solution of integer systems.
std::vector<int> IntegerFactor(int N, int p, std::mt19937& rng) {
  std::uniform_int_distribution<int> entry(-2, 2);
  std::vector<int> U(static_cast<std::size_t>(N * N), 0);
  for (int i = 1; i <= N; ++i) {
    U[static_cast<std::size_t>((i - 1) * N + i - 1)] = 1;
    for (int j = i + 1; j <= std::min(i + p, N); ++j) {
      U[static_cast<std::size_t>((i - 1) * N + j - 1)] = entry(rng);
    }
  }
  return U;
}

BandSystem FromFactor(int N, int p, const std::vector<int>& U) {
  BandSystem S(N, p);
  for (int i = 1; i <= N; ++i) {
    for (int j = i; j <= std::min(i + p, N); ++j) {
      int a = 0;
      for (int l = 1; l <= i; ++l) {
        a += U[static_cast<std::size_t>((l - 1) * N + i - 1)] *
             U[static_cast<std::size_t>((l - 1) * N + j - 1)];
      }
      S.Set(i, j, static_cast<float>(a));
    }
  }
  return S;
}

TEST(SolveBandPropertyTest, IntegerSystemsFactorAndSolveExactly) {
  for (int N = 1; N <= 50; ++N) {
    for (int p = 0; p < std::min(N, 10); ++p) {
      std::mt19937 rng(static_cast<unsigned>(1000 * N + p));
      const std::vector<int> U = IntegerFactor(N, p, rng);
      BandSystem S = FromFactor(N, p, U);
      std::uniform_int_distribution<int> value(-3, 3);
      std::vector<float> x(static_cast<std::size_t>(2 * N)), R(static_cast<std::size_t>(2 * N));
      for (float& v : x) v = static_cast<float>(value(rng));
      for (int c = 0; c < 2; ++c) {
        for (int i = 1; i <= N; ++i) {
          double b = 0;
          for (int j = 1; j <= N; ++j) {
            b += S.Full(std::min(i, j), std::max(i, j)) * x[c * N + j - 1];
          }
          R[c * N + i - 1] = static_cast<float>(b);
        }
      }
      int IER = 99;
      SolveBand(R.data(), S.band.data(), N, 2, p, 1, 1e-5f, IER);
      ASSERT_EQ(IER, 0) << "(p=" << p << ",N=" << N << ")";
      for (int i = 1; i <= N; ++i) {
        for (int j = i; j <= std::min(i + p, N); ++j) {
          ASSERT_EQ(S.Band(i, j), U[(i - 1) * N + j - 1])
              << "(p=" << p << ",N=" << N << ")[" << i << "," << j << "]";
        }
      }
      for (int k = 0; k < 2 * N; ++k) {
        ASSERT_EQ(R[k], x[k]) << "(p=" << p << ",N=" << N << ") solution entry " << k + 1;
      }
    }
  }
}

TEST(SolveBandPropertyTest, RandomPositiveDefiniteFactorRebuildsTheMatrix) {
  for (int N = 1; N <= 50; ++N) {
    for (int p = 0; p < std::min(N, 10); ++p) {
      std::mt19937 rng(static_cast<unsigned>(7919 * N + p));
      std::uniform_real_distribution<float> off(-1.0f, 1.0f), extra(0.5f, 1.5f);
      // Diagonally dominant, hence positive definite with eigenvalues in [0.5, 2p + 1.5].
      BandSystem S(N, p);
      std::vector<double> rowSum(static_cast<std::size_t>(N), 0.0);
      for (int i = 1; i <= N; ++i) {
        for (int j = i + 1; j <= std::min(i + p, N); ++j) {
          const float v = off(rng);
          S.Set(i, j, v);
          rowSum[i - 1] += std::fabs(v);
          rowSum[j - 1] += std::fabs(v);
        }
      }
      for (int i = 1; i <= N; ++i) S.Set(i, i, static_cast<float>(rowSum[i - 1] + extra(rng)));
      std::vector<float> x(static_cast<std::size_t>(N)), R(static_cast<std::size_t>(N));
      for (float& v : x) v = off(rng);
      for (int i = 1; i <= N; ++i) {
        double b = 0;
        for (int j = 1; j <= N; ++j) b += S.Full(std::min(i, j), std::max(i, j)) * x[j - 1];
        R[i - 1] = static_cast<float>(b);
      }
      const std::vector<float> b = R;
      int IER = 99;
      SolveBand(R.data(), S.band.data(), N, 1, p, 1, 1e-5f, IER);
      ASSERT_EQ(IER, 0) << "(p=" << p << ",N=" << N << ")";
      // U(l, k) for l <= k, zero outside the band.
      auto u = [&](int l, int k) -> double { return k - l > p || l > k ? 0.0 : S.Band(l, k); };
      // Each stored entry carries one single-precision rounding: |U'U - A| is within a few
      // float epsilons of sum |U(l,i)| |U(l,j)|.
      for (int i = 1; i <= N; ++i) {
        for (int j = i; j <= std::min(i + p, N); ++j) {
          double rebuilt = 0, scale = 0;
          for (int l = 1; l <= i; ++l) {
            rebuilt += u(l, i) * u(l, j);
            scale += std::fabs(u(l, i) * u(l, j));
          }
          const double a = S.Full(i, j);
          ASSERT_LE(std::fabs(rebuilt - a), 4 * FLT_EPSILON * scale)
              << "(p=" << p << ",N=" << N << ")[" << i << "," << j << "]: " << rebuilt << " " << a;
        }
      }
      // The manufactured solution: the residual is that of a backward-stable solve, and the
      // error is bounded through the condition number (at most 8p + 3 here).
      for (int i = 1; i <= N; ++i) {
        double r = b[i - 1], scale = std::fabs(b[i - 1]);
        for (int j = 1; j <= N; ++j) {
          const double aij = S.Full(std::min(i, j), std::max(i, j));
          r -= aij * R[j - 1];
          scale += std::fabs(aij * R[j - 1]);
        }
        ASSERT_LE(std::fabs(r), 8 * FLT_EPSILON * scale)
            << "(p=" << p << ",N=" << N << ") residual " << i << ": " << r;
        ASSERT_NEAR(R[i - 1], x[i - 1], 4 * (8 * p + 3) * FLT_EPSILON)
            << "(p=" << p << ",N=" << N << ") x " << i;
      }
    }
  }
}

TEST(SolveBandPropertyTest, NonPositiveRadicandStopsAtItsRow) {
  struct Case {
    int N, p, m;
    int lowering;  // subtracted from A(m,m): 1 leaves a zero radicand, 2 a negative one
  };
  const Case cases[] = {
      {1, 0, 1, 1}, {1, 0, 1, 2}, {6, 2, 1, 2}, {6, 2, 4, 1}, {6, 5, 6, 2},
      {17, 3, 9, 2}, {50, 9, 26, 1}, {50, 9, 50, 2}, {50, 4, 2, 1},
  };
  for (const Case& c : cases) {
    std::mt19937 rng(static_cast<unsigned>(31 * c.N + c.m));
    const std::vector<int> U = IntegerFactor(c.N, c.p, rng);
    BandSystem S = FromFactor(c.N, c.p, U);
    S.Set(c.m, c.m, S.Band(c.m, c.m) - static_cast<float>(c.lowering));
    const std::vector<float> before = S.band;
    std::vector<float> R(static_cast<std::size_t>(c.N), 3.0f);
    int IER = 99;
    SolveBand(R.data(), S.band.data(), c.N, 1, c.p, 1, 1e-5f, IER);
    EXPECT_EQ(IER, -1) << "(p=" << c.p << ",N=" << c.N << ") row " << c.m;
    EXPECT_EQ(R, std::vector<float>(static_cast<std::size_t>(c.N), 3.0f))
        << "(p=" << c.p << ",N=" << c.N << ") row " << c.m;
    // Rows above m hold U; row m and below still hold the matrix.
    for (int i = 1; i <= c.N; ++i) {
      for (int j = i; j <= std::min(i + c.p, c.N); ++j) {
        const float expected = i < c.m ? static_cast<float>(U[(i - 1) * c.N + j - 1])
                                       : before[static_cast<std::size_t>(S.Pos(i, j))];
        EXPECT_EQ(S.Band(i, j), expected)
            << "(p=" << c.p << ",N=" << c.N << ") row " << c.m << " [" << i << "," << j << "]";
      }
    }
  }
}

}  // namespace
}  // namespace analysis
