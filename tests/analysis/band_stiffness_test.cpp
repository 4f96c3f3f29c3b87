#include "analysis/band_stiffness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include "analysis/fixed_array.h"

namespace analysis {
namespace {

int Location(int I, int J, int NEQ, int MUD) {
  int IR = -7;
  BandLocation(IR, I, J, NEQ, MUD);
  return IR;
}

// Position of (i, j) counted row by row: row r holds min(MUD + 1, NEQ - r + 1) entries.
int CountedPosition(int i, int j, int NEQ, int MUD) {
  int p = 1;
  for (int r = 1; r < i; ++r) p += std::min(MUD + 1, NEQ - r + 1);
  return p + (j - i);
}

TEST(BandLocationTest, NineEquationsFiveCoDiagonals) {
  // Rows 1-4 are full (6 positions), rows 5-9 take 5, 4, 3, 2 and 1.
  const int rowStart[] = {1, 7, 13, 19, 25, 30, 34, 37, 39};
  for (int i = 1; i <= 9; ++i) {
    for (int j = i; j <= std::min(i + 5, 9); ++j) {
      EXPECT_EQ(Location(i, j, 9, 5), rowStart[i - 1] + (j - i)) << "(" << i << "," << j << ")";
    }
  }
  EXPECT_EQ(Location(5, 5, 9, 5), 25);
  EXPECT_EQ(Location(6, 6, 9, 5), 30);
  EXPECT_EQ(Location(9, 9, 9, 5), 39);
  EXPECT_EQ(Location(4, 9, 9, 5), 24);
}

TEST(BandLocationTest, SpecialPositions) {
  struct Case {
    int I, J, NEQ, MUD, expected;
  };
  const Case cases[] = {
      {2, 8, 9, 5, 0},  // right of the band
      {1, 7, 9, 5, 0},
      {1, 6, 9, 5, 6},
      {5, 3, 9, 5, 23},   // left of the diagonal: two places before p(5,5)
      {7, 5, 9, 5, 32},   // the same in a shortened row: two places before p(7,7) = 34
      {3, 1, 9, 8, 16},   // dense band: two places before p(3,3) = 18
      {1, 1, 1, 0, 1},
      {4, 4, 4, 3, 10},   // the whole upper triangle of 4 equations
      {2, 4, 4, 3, 7},
      {150, 150, 150, 149, kBandCapacity},  // the widest band fills the array exactly
      {50, 70, 150, 20, 49 * 21 + 21},
      {150, 150, 150, 20, 150 * 21 - 20 * 21 / 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Location(c.I, c.J, c.NEQ, c.MUD), c.expected)
        << "BandLocation(" << c.I << "," << c.J << ") NEQ " << c.NEQ << " MUD " << c.MUD;
  }
}

TEST(BandLocationTest, MatchesRowByRowCountForEveryBandShape) {
  for (int NEQ = 1; NEQ <= 40; ++NEQ) {
    for (int MUD = 0; MUD < NEQ; ++MUD) {
      for (int i = 1; i <= NEQ; ++i) {
        for (int j = i; j <= NEQ; ++j) {
          const int expected = j > i + MUD ? 0 : CountedPosition(i, j, NEQ, MUD);
          ASSERT_EQ(Location(i, j, NEQ, MUD), expected)
              << "(" << i << "," << j << ") NEQ " << NEQ << " MUD " << MUD;
        }
      }
    }
  }
}

// A symmetric element matrix whose entries name their unordered pair: 10*min + max.
Array<float, 6, 6> NamedElement() {
  Array<float, 6, 6> ESTIFF;
  for (int r = 1; r <= 6; ++r) {
    for (int c = 1; c <= 6; ++c) {
      ESTIFF(r, c) = static_cast<float>(10 * std::min(r, c) + std::max(r, c));
    }
  }
  return ESTIFF;
}

// Positions changed between two copies of the band array.
int Changed(const std::vector<float>& before, const std::vector<float>& after) {
  int n = 0;
  for (std::size_t p = 0; p < before.size(); ++p) n += before[p] != after[p];
  return n;
}

TEST(AssembleBlockTest, ReadsTheElementAlongItsColumns) {
  // ESTIFF(r, c) = 10r + c, not symmetric: block row a of the (1, 2) block takes the element's
  // column 1 + a, rows 4.., i.e. entry (i, j) gets ESTIFF(j, i) of the element.
  Array<float, 6, 6> ESTIFF;
  for (int r = 1; r <= 6; ++r) {
    for (int c = 1; c <= 6; ++c) ESTIFF(r, c) = static_cast<float>(10 * r + c);
  }
  std::vector<float> STIFF(21, 0.0f);
  AssembleBlock(STIFF.data(), 1, 4, 5, 6, ESTIFF.data(), 1, 4, 6, 3);
  for (int a = 0; a < 3; ++a) {
    for (int b = 0; b < 3; ++b) {
      const int p = CountedPosition(1 + a, 4 + b, 6, 5);
      EXPECT_EQ(STIFF[p - 1], 10.0f * (4 + b) + (1 + a)) << "(" << 1 + a << "," << 4 + b << ")";
    }
  }
  EXPECT_EQ(Changed(std::vector<float>(21, 0.0f), STIFF), 9);
}

TEST(AssembleBlockTest, MemberBlocksLandOnTheUpperTriangle) {
  struct Case {
    int I, J, NNODE;
    int addedPerBlock[4];  // blocks (1,1), (1,2), (2,1), (2,2)
  };
  const Case cases[] = {
      {1, 2, 2, {6, 9, 0, 6}},
      {3, 1, 3, {6, 0, 9, 6}},
      {2, 5, 6, {6, 9, 0, 6}},
      {6, 4, 6, {6, 0, 9, 6}},
  };
  const Array<float, 6, 6> ESTIFF = NamedElement();
  for (const Case& c : cases) {
    const int NEQ = 3 * c.NNODE;
    const int MUD = 3 * std::abs(c.I - c.J) + 2;
    std::vector<float> STIFF(kBandCapacity, 0.0f);
    const int NODE[2] = {c.I, c.J};
    int block = 0;
    for (int u = 1; u <= 2; ++u) {
      for (int v = 1; v <= 2; ++v) {
        const std::vector<float> before = STIFF;
        AssembleBlock(STIFF.data(), 3 * NODE[u - 1] - 2, 3 * NODE[v - 1] - 2, MUD, NEQ,
                      ESTIFF.data(), 3 * u - 2, 3 * v - 2, 6, 3);
        EXPECT_EQ(Changed(before, STIFF), c.addedPerBlock[block])
            << "member " << c.I << "->" << c.J << " block (" << u << "," << v << ")";
        ++block;
      }
    }
    // The full matrix the member contributes: element row r belongs to equation g(r).
    std::vector<float> full(static_cast<std::size_t>(NEQ * NEQ), 0.0f);
    auto g = [&](int r) { return r <= 3 ? 3 * (c.I - 1) + r : 3 * (c.J - 1) + r - 3; };
    for (int r = 1; r <= 6; ++r) {
      for (int s = 1; s <= 6; ++s) full[(g(r) - 1) * NEQ + g(s) - 1] = ESTIFF(r, s);
    }
    for (int i = 1; i <= NEQ; ++i) {
      for (int j = i; j <= std::min(i + MUD, NEQ); ++j) {
        EXPECT_EQ(STIFF[CountedPosition(i, j, NEQ, MUD) - 1], full[(i - 1) * NEQ + j - 1])
            << "member " << c.I << "->" << c.J << " entry (" << i << "," << j << ")";
      }
    }
  }
}

TEST(FixDofTest, ClearsRowAndColumnAndSetsTheDiagonal) {
  // NEQ 9, MUD 5 (S = 39); rows start at 1, 7, 13, 19, 25, 30, 34, 37, 39.
  struct Case {
    int IEQ;
    std::set<int> cleared;
    int diagonal;
  };
  const Case cases[] = {
      {3, {3, 8, 14, 15, 16, 17, 18}, 13},        // IEQ <= MUD: the column from row 1
      {6, {6, 11, 16, 21, 26, 31, 32, 33}, 30},   // IEQ = MUD + 1: still from row 1
      {8, {18, 23, 28, 32, 35, 38}, 37},
      {9, {24, 29, 33, 36, 38}, 39},              // IEQ = NEQ: the column only
      {1, {2, 3, 4, 5, 6}, 1},
  };
  for (const Case& c : cases) {
    std::vector<float> STIFF(40, 7.0f);
    FixDof(STIFF.data(), c.IEQ, 5, 9);
    for (int p = 1; p <= 40; ++p) {
      const float expected = p == c.diagonal ? 1.0f : c.cleared.count(p) ? 0.0f : 7.0f;
      EXPECT_EQ(STIFF[p - 1], expected) << "FixDof(" << c.IEQ << ") position " << p;
    }
  }
}

}  // namespace
}  // namespace analysis
