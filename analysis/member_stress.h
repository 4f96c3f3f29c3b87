// Axial stress of one member from the displacements of its ends.
#pragma once

namespace analysis {

// STRESS (out) = axial stress of member K from node I to node J, tension positive, from the
// displacement vector D (three entries per node).
void MemberStress(int K, int I, int J, float& STRESS, const float* XC, const float* YC,
                  const float* ZC, const float* E, const float* D);

}  // namespace analysis
