#include "analysis/member_stiffness.h"

#include <cmath>

#include "analysis/fixed_array.h"
#include "analysis/read_model.h"
#include "fmtio/write_statement.h"

namespace analysis {
namespace {

// Entry (r, c) of a column-major matrix with leading dimension m, indices from 1.
int Entry(int r, int c, int m) { return (r - 1) + m * (c - 1); }

// The coordinate differences of the axis from node I to node J, in single precision.
struct Axis {
  float DX, DY, DZ;
};

Axis AxisOf(int I, int J, const float* XC, const float* YC, const float* ZC) {
  return {XC[J - 1] - XC[I - 1], YC[J - 1] - YC[I - 1], ZC[J - 1] - ZC[I - 1]};
}

// The squares of single-precision differences are exact in double precision; only the sum of
// three of them and the root round, so the order of the sum is part of the result.
float LengthYXZ(const Axis& d) {
  const double x = d.DX, y = d.DY, z = d.DZ;
  return static_cast<float>(std::sqrt(y * y + x * x + z * z));
}

float LengthZYX(const Axis& d) {
  const double x = d.DX, y = d.DY, z = d.DZ;
  return static_cast<float>(std::sqrt(z * z + y * y + x * x));
}

}  // namespace

// The products of two single-precision values are exact in double precision; each partial sum
// is rounded to single precision as it is stored.
void MatrixProduct(const float* A, const float* B, float* R, int NR, int NK, int NC) {
  for (int k = 1; k <= NC; ++k) {
    for (int j = 1; j <= NR; ++j) {
      float sum = 0.0f;
      for (int i = 1; i <= NK; ++i) {
        const double product = static_cast<double>(B[Entry(i, k, NK)]) * A[Entry(j, i, NR)];
        sum = static_cast<float>(sum + product);
      }
      R[Entry(j, k, NR)] = sum;
    }
  }
}

void TransposeProduct(const float* A, const float* B, float* R, int NK, int NR, int NC) {
  for (int k = 1; k <= NC; ++k) {
    for (int j = 1; j <= NR; ++j) {
      float sum = 0.0f;
      for (int i = 1; i <= NK; ++i) {
        const double product = static_cast<double>(B[Entry(i, k, NK)]) * A[Entry(i, j, NK)];
        sum = static_cast<float>(sum + product);
      }
      R[Entry(j, k, NR)] = sum;
    }
  }
}

void MemberGeometry(float* T, int I, int J, const float* XC, const float* YC, const float* ZC) {
  static float L, CX, CY, CZ;
  const Axis d = AxisOf(I, J, XC, YC, ZC);
  L = LengthYXZ(d);
  // Subtle: the comparisons must be quiet ones; with the invalid-operation trap armed an ordered
  // comparison with a NaN would end the run with a trap instead of this message.
  if (std::isless(L, 0.0f) || std::isnan(L)) {
    fmtio::BeginWrite(0, "('0','NEGATIVE LENGTH OF MEMBER')", -1);
    fmtio::EndWrite();
    StopWithoutResults();
  }
  // Subtle: a zero length is not caught here; 0/0 raises the invalid-operation trap.
  CX = d.DX / L;
  CY = d.DY / L;
  CZ = d.DZ / L;
  for (int i = 0; i < 12; ++i) T[i] = 0.0f;
  T[Entry(1, 1, 2)] = CX;
  T[Entry(1, 2, 2)] = CY;
  T[Entry(1, 3, 2)] = CZ;
  T[Entry(2, 4, 2)] = CX;
  T[Entry(2, 5, 2)] = CY;
  T[Entry(2, 6, 2)] = CZ;
}

void MemberStiffness(int K, int I, int J, float* ESTIFF, const float* XC, const float* YC,
                     const float* ZC, const float* A, const float* E) {
  static float L;
  static Array<float, 2, 6> T;
  static Array<float, 2, 2> K1;
  static Array<float, 2, 6> P;
  static Array<float, 6, 6> Q;
  L = LengthZYX(AxisOf(I, J, XC, YC, ZC));
  MemberGeometry(T.data(), I, J, XC, YC, ZC);
  K1(1, 1) = 1.0f;
  K1(2, 1) = -1.0f;
  K1(1, 2) = -1.0f;
  K1(2, 2) = 1.0f;
  MatrixProduct(K1.data(), T.data(), P.data(), 2, 2, 6);
  TransposeProduct(T.data(), P.data(), Q.data(), 2, 6, 6);
  for (int r = 1; r <= 6; ++r) {
    for (int c = 1; c <= 6; ++c) {
      // E*A/L stays in double precision; only its product with Q is rounded.
      const double factor = static_cast<double>(E[K - 1]) * A[K - 1] / L;
      ESTIFF[Entry(r, c, 6)] = static_cast<float>(factor * Q(r, c));
    }
  }
}

}  // namespace analysis
