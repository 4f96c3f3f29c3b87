// The global stiffness in banded storage: positions, assembly of element blocks and supports.
#pragma once

#include "analysis/truss_model.h"

namespace analysis {

// Entries of the band array: room for the widest band a model of the node capacity can need (297
// equations, the whole upper triangle: 44,253 reals), so no such model is refused for its numbering.
inline constexpr int kBandCapacity = 3 * kMaxNodes * (3 * kMaxNodes + 1) / 2;
static_assert(kBandCapacity == 44253);

// IR (out) = position, counted from 1, of entry (I, J) of the full matrix in the band array with
// NEQ equations and MUD upper co-diagonals; 0 when J lies right of the band.
void BandLocation(int& IR, int I, int J, int NEQ, int MUD);

// Adds the NB x NB block of ESTIFF (leading dimension LD) that starts at element row II, column
// JJ into rows NI.. and columns NJ.. of STIFF (updated in place), skipping entries below the
// diagonal.
void AssembleBlock(float* STIFF, int NI, int NJ, int MUD, int NEQ, const float* ESTIFF, int II,
                   int JJ, int LD, int NB);

// Cuts equation IEQ loose from all others in STIFF (updated in place), with 1 on its diagonal.
void FixDof(float* STIFF, int IEQ, int MUD, int NEQ);

}  // namespace analysis
