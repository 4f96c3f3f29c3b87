#include "analysis/member_stress.h"

#include <cmath>

#include "analysis/fixed_array.h"
#include "analysis/member_stiffness.h"

namespace analysis {

void MemberStress(int K, int I, int J, float& STRESS, const float* XC, const float* YC,
                  const float* ZC, const float* E, const float* D) {
  static float L;
  static Array<float, 1, 2> B;
  static Array<float, 2, 6> T;
  static Array<float, 1, 6> G;
  static Array<float, 6> U;
  static Array<float, 1> S;
  const double DX = XC[J - 1] - XC[I - 1];
  const double DY = YC[J - 1] - YC[I - 1];
  const double DZ = ZC[J - 1] - ZC[I - 1];
  L = static_cast<float>(std::sqrt(DZ * DZ + DY * DY + DX * DX));
  B(1, 1) = -1.0f;
  B(1, 2) = 1.0f;
  MemberGeometry(T.data(), I, J, XC, YC, ZC);
  // G = (-CX, -CY, -CZ, CX, CY, CZ), then scaled by E/L: multiplied first, divided second.
  MatrixProduct(B.data(), T.data(), G.data(), 1, 2, 6);
  for (int j = 1; j <= 6; ++j) {
    G(1, j) = static_cast<float>(static_cast<double>(G(1, j)) * E[K - 1] / L);
  }
  for (int d = 1; d <= 3; ++d) {
    U(d) = D[3 * (I - 1) + d - 1];
    U(3 + d) = D[3 * (J - 1) + d - 1];
  }
  MatrixProduct(G.data(), U.data(), S.data(), 1, 6, 1);
  STRESS = S(1);
}

}  // namespace analysis
