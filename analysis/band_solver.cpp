#include "analysis/band_solver.h"

#include <cmath>

#include "analysis/band_stiffness.h"

namespace analysis {
namespace {

// Position (from 0) of U(i, j) in the band array.
int At(int i, int j, int NEQ, int MUD) {
  int p = 0;
  BandLocation(p, i, j, NEQ, MUD);
  return p - 1;
}

int Max(int a, int b) { return a > b ? a : b; }
int Min(int a, int b) { return a < b ? a : b; }

}  // namespace

void SolveBand(float* R, float* A, int NEQ, int NRHS, int MUD, int MODE, float RELTOL, int& IER) {
  if (MUD < 0 || NEQ < MUD + 1 || MODE != 1) {
    IER = -1;
    return;
  }
  IER = 0;
  // Factorization A = U'U, row by row; inner products and pivots in double precision.
  for (int k = 1; k <= NEQ; ++k) {
    const int e = Min(k + MUD, NEQ);
    const double TOL = static_cast<double>(A[At(k, k, NEQ, MUD)]) * RELTOL;
    double s = 0.0;
    for (int l = k - 1; l >= Max(1, k - MUD); --l) {
      const double u = A[At(l, k, NEQ, MUD)];
      s += u * u;
    }
    s = A[At(k, k, NEQ, MUD)] - s;
    // Subtle: "not greater than zero" also catches a NaN, with a comparison that does not trap.
    if (!std::isgreater(s, 0.0)) {
      IER = -1;
      return;
    }
    if (s <= TOL && IER == 0) IER = k - 1;
    double PIV = std::sqrt(s);
    A[At(k, k, NEQ, MUD)] = static_cast<float>(PIV);
    PIV = 1.0 / PIV;
    for (int j = k + 1; j <= e; ++j) {
      double t = 0.0;
      for (int l = k - 1; l >= Max(1, j - MUD); --l) {
        t += static_cast<double>(A[At(l, k, NEQ, MUD)]) * A[At(l, j, NEQ, MUD)];
      }
      t = A[At(k, j, NEQ, MUD)] - t;
      A[At(k, j, NEQ, MUD)] = static_cast<float>(t * PIV);
    }
  }
  // Forward substitution U'y = R.
  for (int k = 1; k <= NEQ; ++k) {
    double PIV = A[At(k, k, NEQ, MUD)];
    if (!(std::islessgreater(PIV, 0.0))) {
      IER = -1;
      return;
    }
    PIV = 1.0 / PIV;
    for (int c = 0; c < NRHS; ++c) {
      float* y = R + static_cast<long>(NEQ) * c;
      double t = 0.0;
      for (int l = k - 1; l >= Max(1, k - MUD); --l) t += static_cast<double>(A[At(l, k, NEQ, MUD)]) * y[l - 1];
      y[k - 1] = static_cast<float>((y[k - 1] - t) * PIV);
    }
  }
  // Back substitution Ux = y.
  for (int k = NEQ; k >= 1; --k) {
    double PIV = A[At(k, k, NEQ, MUD)];
    if (!(std::islessgreater(PIV, 0.0))) {
      IER = -1;
      return;
    }
    PIV = 1.0 / PIV;
    for (int c = 0; c < NRHS; ++c) {
      float* x = R + static_cast<long>(NEQ) * c;
      double t = 0.0;
      for (int j = k + 1; j <= Min(k + MUD, NEQ); ++j) t += static_cast<double>(A[At(k, j, NEQ, MUD)]) * x[j - 1];
      x[k - 1] = static_cast<float>((x[k - 1] - t) * PIV);
    }
  }
}

}  // namespace analysis
