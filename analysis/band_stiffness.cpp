#include "analysis/band_stiffness.h"

namespace analysis {

void BandLocation(int& IR, int I, int J, int NEQ, int MUD) {
  const int W = MUD + 1;
  IR = (J - I) + (I - 1) * W + 1;
  if (J > I + MUD) {
    IR = 0;
    return;
  }
  // Each of the last MUD rows is one position shorter than the row before it; the rows above
  // row I that are short take k(k+1)/2 positions fewer than full rows would.
  if (I > NEQ - W + 2) {
    const int k = I - NEQ + MUD - 1;
    IR -= k * (k + 1) / 2;
  }
}

void AssembleBlock(float* STIFF, int NI, int NJ, int MUD, int NEQ, const float* ESTIFF, int II,
                   int JJ, int LD, int NB) {
  for (int a = 0; a < NB; ++a) {
    const int i = NI + a;
    // Subtle: when the block row begins left of the diagonal, q starts before the position of
    // (i, i); the skipped entries below the diagonal still advance it onto the diagonal.
    int q = 0;
    BandLocation(q, i, NJ, NEQ, MUD);
    // ESTIFF read along its column JJ.. of row II + a: by symmetry the block's row a.
    int m = (II + a - 1) * LD + JJ;
    for (int b = 0; b < NB; ++b) {
      const int j = NJ + b;
      if (i <= j) STIFF[q - 1] = STIFF[q - 1] + ESTIFF[m - 1];
      ++q;
      ++m;
    }
  }
}

void FixDof(float* STIFF, int IEQ, int MUD, int NEQ) {
  const int s = IEQ - MUD > 1 ? IEQ - MUD : 1;
  int p = 0;
  for (int i = s; i <= IEQ; ++i) {
    BandLocation(p, i, IEQ, NEQ, MUD);
    STIFF[p - 1] = 0.0f;
  }
  BandLocation(p, IEQ, IEQ, NEQ, MUD);
  STIFF[p - 1] = 1.0f;
  // The rest of row IEQ follows its diagonal position consecutively.
  const int e = IEQ + MUD < NEQ ? IEQ + MUD : NEQ;
  for (int j = IEQ + 1; j <= e; ++j) STIFF[p - 1 + (j - IEQ)] = 0.0f;
}

}  // namespace analysis
