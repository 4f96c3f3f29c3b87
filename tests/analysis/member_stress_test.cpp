#include "analysis/member_stress.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace analysis {
namespace {

std::uint32_t Bits(float x) { return std::bit_cast<std::uint32_t>(x); }

float Stress(const float (&XC)[2], const float (&YC)[2], const float (&ZC)[2], float E,
             const float (&D)[6], int I = 1, int J = 2) {
  const float EK[1] = {E};
  float STRESS = 99.0f;
  MemberStress(1, I, J, STRESS, XC, YC, ZC, EK, D);
  return STRESS;
}

TEST(MemberStressTest, BarAlongX) {
  // From (0,0,0) to (4,0,0), E = 200: G = (-50, 0, 0, 50, 0, 0).
  const float XC[2] = {0, 4}, YC[2] = {0, 0}, ZC[2] = {0, 0};
  struct Case {
    const char* name;
    float E;
    float D[6];  // x, y, z of node 1, then of node 2
    float expected;
  };
  const Case cases[] = {
      {"tension", 200, {0, 0, 0, 0.01f, 0, 0}, 0.5f},
      {"compression", 200, {0, 0, 0, -0.01f, 0, 0}, -0.5f},
      {"transverse y", 200, {0, 0, 0, 0, 0.01f, 0}, 0.0f},
      {"transverse z", 200, {0, 0, 0, 0, 0, 0.01f}, 0.0f},
      {"rigid, exact products", 200, {0.25f, 0, 0, 0.25f, 0, 0}, 0.0f},
      // Subtle: a rigid movement by 0.01 does not cancel. The first partial sum rounds
      // -50 * 0.01f to -0.5; the second adds the exact product 0.49999998882 and leaves
      // -3 * 2^-28.
      {"rigid, inexact products", 200, {0.01f, 0, 0, 0.01f, 0, 0}, -std::ldexp(3.0f, -28)},
      {"no modulus", 0, {1, 2, 3, 4, 5, 6}, 0.0f},
  };
  for (const Case& c : cases) {
    const float STRESS = Stress(XC, YC, ZC, c.E, c.D);
    EXPECT_EQ(Bits(STRESS + 0.0f), Bits(c.expected))
        << c.name << ": expected " << c.expected << " got " << STRESS;
  }
}

TEST(MemberStressTest, ScaledCosinesAreRoundedOnce) {
  // From (0,0,0) to (3,4,0), E = 25: G(4) = 0.6f * 25 / 5 = 3 + 2^-23, a tie that rounds to 3.
  // Rounding 0.6f * 25 to single precision first would give 3.0000002.
  const float XC[2] = {0, 3}, YC[2] = {0, 4}, ZC[2] = {0, 0};
  const float D[6] = {0, 0, 0, 1, 0, 0};
  EXPECT_EQ(Bits(Stress(XC, YC, ZC, 25, D)), Bits(3.0f));
}

TEST(MemberStressTest, TakesTheDisplacementsOfItsOwnNodes) {
  // Member from node 4 at (0,3,0) to node 2 at the origin in a five-node model, E = 30: c points
  // along -y and E/L = 10. Every other node's displacements are NaN.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float XC[5] = {nan, 0, nan, 0, nan}, YC[5] = {nan, 0, nan, 3, nan};
  const float ZC[5] = {nan, 0, nan, 0, nan};
  float D[15];
  for (float& d : D) d = nan;
  D[3] = 5, D[4] = 0.25f, D[5] = 8;  // node 2
  D[9] = 7, D[10] = 0.5f, D[11] = 9;  // node 4
  const float E[2] = {nan, 30};
  float STRESS = 99.0f;
  MemberStress(2, 4, 2, STRESS, XC, YC, ZC, E, D);
  // Node 4 moves 0.5 along +y, away from node 2, which follows by only 0.25: the bar gets 0.25
  // longer, a tension of 10 * 0.25.
  EXPECT_EQ(STRESS, 2.5f);
}

TEST(MemberStressTest, ObliqueBarMatchesTheClosedFormEitherWayRound) {
  struct Case {
    float XC[2], YC[2], ZC[2], E;
    float D[6];
  };
  const Case cases[] = {
      {{0, 3}, {0, 4}, {0, 0}, 200, {0, 0, 0, 0.01f, 0.02f, 0}},
      {{1.5f, -2.25f}, {3.1f, -4.7f}, {0.3f, 7.9f}, 2.1e5f,
       {1e-3f, -2e-3f, 5e-4f, -1e-3f, 3e-3f, 2e-4f}},
      {{-10, 20}, {5, 5.5f}, {0, -7}, 70, {0.1f, 0.2f, 0.3f, -0.3f, 0.1f, 0.4f}},
  };
  for (const Case& c : cases) {
    const double dx = c.XC[1] - c.XC[0], dy = c.YC[1] - c.YC[0], dz = c.ZC[1] - c.ZC[0];
    const double L = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double closed = c.E / L *
                          (dx / L * (c.D[3] - c.D[0]) + dy / L * (c.D[4] - c.D[1]) +
                           dz / L * (c.D[5] - c.D[2]));
    const float D[6] = {c.D[0], c.D[1], c.D[2], c.D[3], c.D[4], c.D[5]};
    const float forward = Stress(c.XC, c.YC, c.ZC, c.E, D, 1, 2);
    const float reversed = Stress(c.XC, c.YC, c.ZC, c.E, D, 2, 1);
    // Each of the six terms and partial sums carries a single-precision rounding.
    const double scale = c.E / L * (std::fabs(c.D[0]) + std::fabs(c.D[1]) + std::fabs(c.D[2]) +
                                    std::fabs(c.D[3]) + std::fabs(c.D[4]) + std::fabs(c.D[5]));
    EXPECT_NEAR(forward, closed, 16 * std::numeric_limits<float>::epsilon() * scale);
    EXPECT_NEAR(reversed, closed, 16 * std::numeric_limits<float>::epsilon() * scale);
  }
}

}  // namespace
}  // namespace analysis
