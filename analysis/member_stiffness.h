// Member geometry and the 6 x 6 stiffness of one member in global coordinates.
#pragma once

namespace analysis {

// R (NR x NC) = A (NR x NK) * B (NK x NC); all column-major, partial sums stored in single
// precision. R is overwritten.
void MatrixProduct(const float* A, const float* B, float* R, int NR, int NK, int NC);

// R (NR x NC) = transpose(A) * B with A (NK x NR) and B (NK x NC). R is overwritten.
void TransposeProduct(const float* A, const float* B, float* R, int NK, int NR, int NC);

// Fills the 2 x 6 transformation matrix T (overwritten) of the axis from node I to node J; a
// negative or non-numeric length writes "NEGATIVE LENGTH OF MEMBER" on the console and stops.
void MemberGeometry(float* T, int I, int J, const float* XC, const float* YC, const float* ZC);

// Fills ESTIFF (6 x 6, overwritten) with the stiffness of member K from node I to node J. Note
// the order: the area array A before the modulus array E.
void MemberStiffness(int K, int I, int J, float* ESTIFF, const float* XC, const float* YC,
                     const float* ZC, const float* A, const float* E);

}  // namespace analysis
