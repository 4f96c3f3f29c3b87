#include "analysis/results_report.h"

#include "analysis/member_stress.h"
#include "fmtio/write_statement.h"

namespace analysis {

void WriteResults(const TrussModel& m, int IOUT, int IGRP) {
  fmtio::BeginWrite(IOUT, "(3X,' DISPLACEMENTS',17X,'X',20X,'Y',20X,'Z',/,/)", -1);
  fmtio::EndWrite();
  for (int K = 1; K <= m.NNODE; ++K) {
    const char* formats[2] = {"(2X,' NODE NUMBER',I3,10X,E15.4,6X,E15.4,6X,E15.4,/)",
                              "(1X,I3,3(' ',E15.4))"};
    const int units[2] = {IOUT, IGRP};
    for (int i = 0; i < 2; ++i) {
      fmtio::BeginWrite(units[i], formats[i], -1);
      fmtio::WriteItem(K);
      for (int J = 1; J <= 3; ++J) fmtio::WriteItem(m.FORCE(J, K));
      fmtio::EndWrite();
    }
  }
  fmtio::BeginWrite(IOUT, "(' STRESSES IN ELEMENTS (IN CURRENT UNITS)',/,/)", -1);
  fmtio::EndWrite();
  fmtio::BeginWrite(IOUT, "(5X,' ELEMENT NUMBER',3X,' STRESS',/,/)", -1);
  fmtio::EndWrite();
  for (int K = 1; K <= m.NELE; ++K) {
    float STRESS = 0.0f;
    MemberStress(K, m.NODE(1, K), m.NODE(2, K), STRESS, m.XC.data(), m.YC.data(), m.ZC.data(), m.E.data(),
                 m.FORCE.data());
    fmtio::BeginWrite(IOUT, "(13X,I3,'=',E15.5)", -1);
    fmtio::WriteItem(K);
    fmtio::WriteItem(STRESS);
    fmtio::EndWrite();
    fmtio::BeginWrite(IGRP, "(1X,I3,' ',E15.5)", -1);
    fmtio::WriteItem(K);
    fmtio::WriteItem(STRESS);
    fmtio::EndWrite();
  }
}

}  // namespace analysis
