// The band Cholesky solver.
#pragma once

namespace analysis {

// Solves A x = R for NRHS right-hand sides with the symmetric band matrix A (NEQ equations, MUD
// upper co-diagonals, banded layout). MODE 1: factorize, then substitute. On return A holds the
// factor U and R the solutions. IER (out): 0 solved; -1 not solved (bad MUD or NEQ, radicand not
// greater than zero, zero pivot, unknown MODE); k >= 1 solved with loss of significance at row
// k + 1.
void SolveBand(float* R, float* A, int NEQ, int NRHS, int MUD, int MODE, float RELTOL, int& IER);

}  // namespace analysis
