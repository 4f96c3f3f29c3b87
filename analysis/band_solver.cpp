#include "analysis/band_solver.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/band_stiffness.h"

namespace analysis {
namespace {

// The band array with its positions: U(i, j) for i <= j <= min(i + MUD, NEQ), indices from 1.
// Each row's place is found once; within a row the positions are consecutive.
class Band {
 public:
  Band(float* A, int NEQ, int MUD) : a_(A), rowBase_(static_cast<std::size_t>(NEQ) + 1) {
    for (int i = 1; i <= NEQ; ++i) {
      int IR = 0;
      BandLocation(IR, i, i, NEQ, MUD);
      rowBase_[static_cast<std::size_t>(i)] = IR - 1 - i;
    }
  }
  float& operator()(int i, int j) const { return a_[rowBase_[static_cast<std::size_t>(i)] + j]; }

 private:
  float* a_;
  std::vector<int> rowBase_;  // position of U(i, j) in the array, less j
};

// A stored pivot that a substitution cannot divide by: zero, or not a number.
bool UnusablePivot(double PIV) { return !std::islessgreater(PIV, 0.0); }

}  // namespace

void SolveBand(float* R, float* A, int NEQ, int NRHS, int MUD, int MODE, float RELTOL, int& IER) {
  if (MUD < 0 || NEQ < MUD + 1 || MODE != 1) {
    IER = -1;
    return;
  }
  IER = 0;
  const Band U(A, NEQ, MUD);

  // Factorization A = U'U, row by row, in place; sums, tolerance and pivot in double precision.
  for (int k = 1; k <= NEQ; ++k) {
    const int e = std::min(k + MUD, NEQ);
    const double TOL = static_cast<double>(U(k, k)) * RELTOL;
    double s = 0.0;
    for (int l = k - 1; l >= std::max(1, k - MUD); --l) {
      s += static_cast<double>(U(l, k)) * U(l, k);
    }
    s = U(k, k) - s;
    // Subtle: "not greater than zero" must also refuse a NaN, with a comparison that does not
    // raise the invalid-operation trap.
    if (!std::isgreater(s, 0.0)) {
      IER = -1;
      return;
    }
    // Loss of significance: the first row k >= 2 is reported as k - 1; row 1 leaves IER at 0.
    if (std::islessequal(s, TOL) && IER == 0) IER = k - 1;
    double PIV = std::sqrt(s);
    U(k, k) = static_cast<float>(PIV);
    // Subtle: the reciprocal comes from the unrounded root, not from the stored U(k, k).
    PIV = 1.0 / PIV;
    // Four columns at a time: each sum still runs from l = k - 1 downwards in its own order, so
    // the results are those of one column at a time; the four chains only overlap in time.
    int j = k + 1;
    for (; j + 3 <= e; j += 4) {
      double t[4] = {0.0, 0.0, 0.0, 0.0};
      const int common = std::max(1, j + 3 - MUD);
      for (int l = k - 1; l >= common; --l) {
        const double f = U(l, k);
        const float* row = &U(l, j);
        for (int q = 0; q < 4; ++q) t[q] += f * row[q];
      }
      for (int q = 0; q < 4; ++q) {
        for (int l = common - 1; l >= std::max(1, j + q - MUD); --l) {
          t[q] += static_cast<double>(U(l, k)) * U(l, j + q);
        }
        U(k, j + q) = static_cast<float>((U(k, j + q) - t[q]) * PIV);
      }
    }
    for (; j <= e; ++j) {
      double t = 0.0;
      for (int l = k - 1; l >= std::max(1, j - MUD); --l) {
        t += static_cast<double>(U(l, k)) * U(l, j);
      }
      t = U(k, j) - t;
      U(k, j) = static_cast<float>(t * PIV);
    }
  }

  // Forward substitution U'y = R; the pivots are the stored single-precision diagonal.
  for (int k = 1; k <= NEQ; ++k) {
    double PIV = U(k, k);
    if (UnusablePivot(PIV)) {
      IER = -1;
      return;
    }
    PIV = 1.0 / PIV;
    for (int c = 1; c <= NRHS; ++c) {
      float* y = R + static_cast<long>(NEQ) * (c - 1);
      double t = 0.0;
      for (int l = k - 1; l >= std::max(1, k - MUD); --l) {
        t += static_cast<double>(U(l, k)) * y[l - 1];
      }
      y[k - 1] = static_cast<float>((y[k - 1] - t) * PIV);
    }
  }

  // Back substitution U x = y, by the pivots the forward substitution found usable.
  for (int k = NEQ; k >= 1; --k) {
    const double PIV = 1.0 / static_cast<double>(U(k, k));
    for (int c = 1; c <= NRHS; ++c) {
      float* x = R + static_cast<long>(NEQ) * (c - 1);
      double t = 0.0;
      for (int j = k + 1; j <= std::min(k + MUD, NEQ); ++j) {
        t += static_cast<double>(U(k, j)) * x[j - 1];
      }
      x[k - 1] = static_cast<float>((x[k - 1] - t) * PIV);
    }
  }
}

}  // namespace analysis
