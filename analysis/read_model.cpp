#include "analysis/read_model.h"

#include <cstdlib>

#include "fmtio/read_statement.h"
#include "fmtio/write_statement.h"
#include "runtime/termination.h"

namespace analysis {
namespace {

constexpr int kDataUnit = 9;

void ReadInteger(int& value) { fmtio::ReadItem(fmtio::kInteger4, &value, 4); }
void ReadReal(float& value) { fmtio::ReadItem(fmtio::kReal4, &value, 4); }

[[noreturn]] void NodeError(int IOUT, int N) {
  fmtio::BeginWrite(IOUT, "('0','NODAL POINT ERROR N =',I5)", -1);
  fmtio::WriteItem(N);
  fmtio::EndWrite();
  StopWithoutResults();
}

[[noreturn]] void ModelError(int IOUT, const char* format, int value) {
  WriteNotice(IOUT, format, [value] { fmtio::WriteItem(value); });
  StopWithoutResults();
}

// Reads the rest of a refused record into scratch values, so that nothing of it is stored.
void SkipRecordValues(int integers, int reals) {
  int scratchInteger = 0;
  float scratchReal = 0.0f;
  for (int i = 0; i < integers; ++i) ReadInteger(scratchInteger);
  for (int i = 0; i < reals; ++i) ReadReal(scratchReal);
  fmtio::EndRead();
}

// The ten items of node K: number, fixities, coordinates, loads.
void WriteNodeItems(const TrussModel& m, int K) {
  fmtio::WriteItem(K);
  for (int J = 1; J <= 3; ++J) fmtio::WriteItem(m.IFIX(J, K));
  fmtio::WriteItem(m.XC(K));
  fmtio::WriteItem(m.YC(K));
  fmtio::WriteItem(m.ZC(K));
  for (int J = 1; J <= 3; ++J) fmtio::WriteItem(m.FORCE(J, K));
}

// One statement for all the nodes: format reversion starts each further node on a new record.
void EchoNodesToReport(const TrussModel& m, int IOUT, int first, int last) {
  fmtio::BeginWrite(IOUT, "(1X,I3,8X,3I2,10X,1P,3E15.6,10X,1P,3E15.6)", -1);
  for (int K = first; K <= last; ++K) WriteNodeItems(m, K);
  fmtio::EndWrite();
}

void EchoNodeToPlot(const TrussModel& m, int IGRP, int K) {
  fmtio::BeginWrite(IGRP, "(1X,I2,3(' ',I1),6(' ',E10.4))", -1);
  WriteNodeItems(m, K);
  fmtio::EndWrite();
}

void EchoMember(const TrussModel& m, int unit, const char* format, int N) {
  fmtio::BeginWrite(unit, format, -1);
  fmtio::WriteItem(N);
  fmtio::WriteItem(m.NODE(1, N));
  fmtio::WriteItem(m.NODE(2, N));
  fmtio::WriteItem(m.E(N));
  fmtio::WriteItem(m.A(N));
  fmtio::EndWrite();
}

void ReadTitle(int IOUT, int IGRP) {
  char TITLE[20][4];
  fmtio::BeginRead(kDataUnit, "(20A4)", -1);
  for (auto& word : TITLE) fmtio::ReadItem(fmtio::kReal4, word, 4);
  fmtio::EndRead();
  // The title words are written back by address, as storage, never loaded as reals.
  fmtio::BeginWrite(IGRP, "(1X,20A4)", -1);
  fmtio::WriteItem(fmtio::kReal4, TITLE, 20, 4);
  fmtio::EndWrite();
  fmtio::BeginWrite(IOUT, "('1',/,2X,20A4)", -1);
  fmtio::WriteItem(fmtio::kReal4, TITLE, 20, 4);
  fmtio::EndWrite();
}

void ReadCounts(TrussModel& m, int IOUT, int IGRP) {
  fmtio::BeginRead(kDataUnit, nullptr, 0);
  ReadInteger(m.NELE);
  ReadInteger(m.NNODE);
  fmtio::EndRead();
  fmtio::BeginWrite(IOUT, "('0',/,5X,'NUMBER OF ELEMENTS(NELE)=',I3,/,5X,'NUMBER OF NODES(NNODE)  =',I3)", -1);
  fmtio::WriteItem(m.NELE);
  fmtio::WriteItem(m.NNODE);
  fmtio::EndWrite();
  fmtio::BeginWrite(IGRP, "(1X,I3,' ',I3)", -1);
  fmtio::WriteItem(m.NELE);
  fmtio::WriteItem(m.NNODE);
  fmtio::EndWrite();
  if (m.NNODE > kMaxNodes || m.NELE > kMaxElements) {
    WriteNotice(IOUT, "('0','MODEL TOO LARGE: AT MOST 99 NODES AND 99 ELEMENTS')", [] {});
    StopWithoutResults();
  }
}

void ReadNodes(TrussModel& m, int IOUT, int IGRP) {
  fmtio::BeginWrite(IOUT,
                    "('0',/,/,5X,'NODE POINTS',/,3X,'K',10X,'IFIX',15X,'XC(K)',10X,'YC(K)',10X,"
                    "'ZC(K)',18X,'FORCE(1,K)',5X,'FORCE(2,K)',5X,'FORCE(3,K)')",
                    -1);
  fmtio::EndWrite();
  int L = 0;
  for (;;) {
    int N = 0;
    fmtio::BeginRead(kDataUnit, nullptr, 0);
    ReadInteger(N);
    const int NL = L + 1;
    // The first record must be node 1 (there is nothing before it to generate from), and a
    // node outside the arrays is refused before anything of its record is stored.
    if (N < NL || N > kMaxNodes || (L == 0 && N != 1)) {
      SkipRecordValues(3, 6);
      NodeError(IOUT, N);
    }
    for (int J = 1; J <= 3; ++J) ReadInteger(m.IFIX(J, N));
    ReadReal(m.XC(N));
    ReadReal(m.YC(N));
    ReadReal(m.ZC(N));
    for (int J = 1; J <= 3; ++J) ReadReal(m.FORCE(J, N));
    fmtio::EndRead();
    if (L != 0) {
      // The steps are formed in double precision and rounded once; each generated node adds
      // its step to the node before it in single precision.
      const double DN = N - L;
      const float DX = static_cast<float>((static_cast<double>(m.XC(N)) - m.XC(L)) / DN);
      const float DY = static_cast<float>((static_cast<double>(m.YC(N)) - m.YC(L)) / DN);
      const float DZ = static_cast<float>((static_cast<double>(m.ZC(N)) - m.ZC(L)) / DN);
      for (int K = L + 1; K <= N - 1; ++K) {
        for (int J = 1; J <= 3; ++J) {
          m.IFIX(J, K) = 0;
          m.FORCE(J, K) = 0.0f;
        }
        m.XC(K) = m.XC(K - 1) + DX;
        m.YC(K) = m.YC(K - 1) + DY;
        m.ZC(K) = m.ZC(K - 1) + DZ;
      }
    }
    EchoNodesToReport(m, IOUT, NL, N);
    for (int K = NL; K <= N; ++K) EchoNodeToPlot(m, IGRP, K);
    L = N;
    if (N > m.NNODE) NodeError(IOUT, N);
    if (N == m.NNODE) return;
  }
}

void ReadMembers(TrussModel& m, int IOUT, int IGRP) {
  fmtio::BeginWrite(IOUT, "('0',/,/,5X,'ELEMENTS',/,3X,'K',6X,'NODE(I,K)',11X,'E(K)',11X,'A(K)')", -1);
  fmtio::EndWrite();
  int N = 0;
  for (;;) {
    int M = 0;
    fmtio::BeginRead(kDataUnit, nullptr, 0);
    ReadInteger(M);
    // Members come in increasing order from member 1 and stay within the arrays.
    if (M <= N || (N == 0 && M != 1) || M > kMaxElements) {
      SkipRecordValues(2, 2);
      ModelError(IOUT, "('0','ELEMENT NUMBER ERROR M =',I5)", M);
    }
    ReadInteger(m.NODE(1, M));
    ReadInteger(m.NODE(2, M));
    ReadReal(m.E(M));
    ReadReal(m.A(M));
    fmtio::EndRead();
    do {
      ++N;
      if (M > N) {
        // A generated member continues the one before it: end nodes one higher, same E and A.
        m.NODE(1, N) = m.NODE(1, N - 1) + 1;
        m.NODE(2, N) = m.NODE(2, N - 1) + 1;
        m.E(N) = m.E(N - 1);
        m.A(N) = m.A(N - 1);
      }
      EchoMember(m, IOUT, "(1X,I3,5X,2I5,1P,2E15.4)", N);
      EchoMember(m, IGRP, "(1X,I2,2(' ',I2),2(' ',E15.4))", N);
    } while (M > N);
    if (m.NELE <= N) return;
  }
}

void CheckMemberNodes(const TrussModel& m, int IOUT) {
  for (int K = 1; K <= m.NELE; ++K) {
    for (int I = 1; I <= 2; ++I) {
      if (m.NODE(I, K) < 1 || m.NODE(I, K) > m.NNODE) {
        ModelError(IOUT, "('0','ELEMENT NODE ERROR M =',I5)", K);
      }
    }
  }
}

void ComputeBandWidth(TrussModel& m, int IOUT) {
  int MAXD = 0;
  for (int K = 1; K <= m.NELE; ++K) {
    for (int I = 1; I <= 2; ++I) {
      for (int J = 1; J <= 2; ++J) {
        const int D = std::abs(m.NODE(I, K) - m.NODE(J, K));
        if (D > MAXD) MAXD = D;
      }
    }
  }
  m.MUD = 3 * MAXD + 2;
  fmtio::BeginWrite(IOUT, "('0',/,/,5X,'NUMBER OF NONZERO UPPER CO-DIAGONALS(MUD)=',I3)", -1);
  fmtio::WriteItem(m.MUD);
  fmtio::EndWrite();
}

}  // namespace

void StopWithoutResults() { runtime::Stop(nullptr, 2); }

void ReadModel(TrussModel& model, int IOUT, int IGRP) {
  ReadTitle(IOUT, IGRP);
  ReadCounts(model, IOUT, IGRP);
  ReadNodes(model, IOUT, IGRP);
  ReadMembers(model, IOUT, IGRP);
  CheckMemberNodes(model, IOUT);
  ComputeBandWidth(model, IOUT);
}

}  // namespace analysis
