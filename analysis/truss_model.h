// The truss model shared by the analysis routines, its capacities and the equation numbering.
#pragma once

#include "analysis/fixed_array.h"

namespace analysis {

inline constexpr int kMaxNodes = 99;
inline constexpr int kMaxElements = 99;

// The model as read from the data file; all storage is fixed and zero at the start of a run.
struct TrussModel {
  int NELE = 0;                       // number of members (elements)
  int NNODE = 0;                      // number of nodes
  int MUD = 0;                        // nonzero upper co-diagonals of the global stiffness
  Array<int, 3, kMaxNodes> IFIX;      // IFIX(J,K): fixity of direction J of node K; 1 = fixed
  Array<float, kMaxNodes> XC, YC, ZC; // node coordinates
  Array<float, 3, kMaxNodes> FORCE;   // FORCE(J,K): load, after the solution the displacement
  Array<int, 2, kMaxElements> NODE;   // NODE(I,K): node at end I of member K
  Array<float, kMaxElements> E;       // modulus of member K
  Array<float, kMaxElements> A;       // cross-section area of member K
};

// The equation of direction J (1, 2, 3 for x, y, z) of node K; FORCE read as one vector is
// indexed by it.
constexpr int EquationNumber(int J, int K) { return 3 * (K - 1) + J; }

}  // namespace analysis
