#include "analysis/member_stiffness.h"

#include <cmath>

#include "analysis/fixed_array.h"
#include "fmtio/write_statement.h"
#include "runtime/termination.h"

namespace analysis {
namespace {

// The length of the member from node I to node J: the differences in single precision, their
// squares summed and the root taken in double precision, rounded once. `order` gives the sum's
// order (the stiffness and the stress routines sum z, y, x; the geometry y, x, z).
float MemberLength(float DX, float DY, float DZ, bool geometryOrder) {
  const double x = DX, y = DY, z = DZ;
  const double sum = geometryOrder ? y * y + x * x + z * z : z * z + y * y + x * x;
  return static_cast<float>(std::sqrt(sum));
}

}  // namespace

void MatrixProduct(const float* A, const float* B, float* R, int NR, int NK, int NC) {
  for (int k = 1; k <= NC; ++k) {
    for (int j = 1; j <= NR; ++j) {
      float sum = 0.0f;
      for (int i = 1; i <= NK; ++i) {
        sum = static_cast<float>(sum + static_cast<double>(B[(i - 1) + NK * (k - 1)]) * A[(j - 1) + NR * (i - 1)]);
      }
      R[(j - 1) + NR * (k - 1)] = sum;
    }
  }
}

void TransposeProduct(const float* A, const float* B, float* R, int NK, int NR, int NC) {
  for (int k = 1; k <= NC; ++k) {
    for (int j = 1; j <= NR; ++j) {
      float sum = 0.0f;
      for (int i = 1; i <= NK; ++i) {
        sum = static_cast<float>(sum + static_cast<double>(B[(i - 1) + NK * (k - 1)]) * A[(i - 1) + NK * (j - 1)]);
      }
      R[(j - 1) + NR * (k - 1)] = sum;
    }
  }
}

void MemberGeometry(float* T, int I, int J, const float* XC, const float* YC, const float* ZC) {
  const float DX = XC[J - 1] - XC[I - 1];
  const float DY = YC[J - 1] - YC[I - 1];
  const float DZ = ZC[J - 1] - ZC[I - 1];
  const float L = MemberLength(DX, DY, DZ, true);
  // Subtle: quiet comparisons, since a plain one on a NaN would trap as an invalid operation.
  if (std::isless(L, 0.0f) || std::isnan(L)) {
    fmtio::BeginWrite(0, "('0','NEGATIVE LENGTH OF MEMBER')", -1);
    fmtio::EndWrite();
    runtime::Stop();
  }
  const float CX = DX / L;
  const float CY = DY / L;
  const float CZ = DZ / L;
  for (int i = 0; i < 12; ++i) T[i] = 0.0f;
  T[0] = CX;   // T(1,1)
  T[2] = CY;   // T(1,2)
  T[4] = CZ;   // T(1,3)
  T[7] = CX;   // T(2,4)
  T[9] = CY;   // T(2,5)
  T[11] = CZ;  // T(2,6)
}

void MemberStiffness(int K, int I, int J, float* ESTIFF, const float* XC, const float* YC, const float* ZC,
                     const float* A, const float* E) {
  static Array<float, 2, 6> T;
  static Array<float, 2, 2> K1;
  static Array<float, 2, 6> P;
  static Array<float, 6, 6> Q;
  const float DX = XC[J - 1] - XC[I - 1];
  const float DY = YC[J - 1] - YC[I - 1];
  const float DZ = ZC[J - 1] - ZC[I - 1];
  const float L = MemberLength(DX, DY, DZ, false);
  MemberGeometry(T.data(), I, J, XC, YC, ZC);
  K1(1, 1) = 1.0f;
  K1(2, 1) = -1.0f;
  K1(1, 2) = -1.0f;
  K1(2, 2) = 1.0f;
  MatrixProduct(K1.data(), T.data(), P.data(), 2, 2, 6);
  TransposeProduct(T.data(), P.data(), Q.data(), 2, 6, 6);
  for (int r = 1; r <= 6; ++r) {
    for (int c = 1; c <= 6; ++c) {
      // E*A/L is carried in double precision; only the product is rounded.
      const double factor = static_cast<double>(E[K - 1]) * A[K - 1] / L;
      ESTIFF[(r - 1) + 6 * (c - 1)] = static_cast<float>(factor * Q(r, c));
    }
  }
}

}  // namespace analysis
