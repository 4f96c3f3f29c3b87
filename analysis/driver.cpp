#include "analysis/driver.h"

#include <cmath>
#include <cstring>

#include "analysis/band_solver.h"
#include "analysis/band_stiffness.h"
#include "analysis/member_stiffness.h"
#include "analysis/read_model.h"
#include "analysis/results_report.h"
#include "analysis/truss_model.h"
#include "fmtio/io_unit.h"
#include "fmtio/read_statement.h"
#include "fmtio/write_statement.h"
#include "runtime/termination.h"

namespace analysis {
namespace {

// The driver's storage for the whole run.
struct TrussRun {
  char DATFIL[80];                // data file name as typed
  char OUTFIL[80];                // report file name as typed, or "TT:"
  int IGRP;                       // unit of the plot file
  int IOUT;                       // unit of the report: 7 a file, 0 the console
  TrussModel model;
  float STIFF[kBandCapacity];     // global stiffness in banded form
  Array<float, 6, 6> ESTIFF;      // stiffness of the current member
  int IER;                        // status of the solution
};

TrussRun run;

constexpr int kMaxNotedDirections = 10;

void ReadName(char (&name)[80]) {
  fmtio::BeginRead(fmtio::kDefaultUnit, "(1A80)", -1);
  fmtio::ReadItem(fmtio::kCharacter, name, 80);
  fmtio::EndRead();
}

void Dialogue() {
  fmtio::BeginWrite(fmtio::kDefaultUnit, "(' TRUSS ANALYSIS PROGRAM ',/)", -1);
  fmtio::EndWrite();
  fmtio::BeginWrite(fmtio::kDefaultUnit, "(' TYPE DATA INPUT FILE NAME: ',$)", -1);
  fmtio::EndWrite();
  ReadName(run.DATFIL);
  fmtio::BeginWrite(fmtio::kDefaultUnit,
                    "(' OUTPUT File NAME: ',/,' TYPE ARBITRARY FILE NAME WHERE THE OUTPUT IS TO BE "
                    "STORED',/,' OR TT: IF YOU WANT OUTPUT SENT IMMEDIATELY TO THE            "
                    "TERMINAL.',/,' OUTPUT FILE: ',$)",
                    -1);
  fmtio::EndWrite();
  ReadName(run.OUTFIL);
}

// The report goes to the console when the answer is "TT:" or "tt:" followed only by blanks.
bool IsConsoleKeyword(const char (&name)[80]) {
  if (std::memcmp(name, "TT:", 3) != 0 && std::memcmp(name, "tt:", 3) != 0) return false;
  for (int i = 3; i < 80; ++i) {
    if (name[i] != ' ') return false;
  }
  return true;
}

void OpenFiles() {
  run.IGRP = 8;
  run.IOUT = IsConsoleKeyword(run.OUTFIL) ? 0 : 7;
  fmtio::Close(9);
  fmtio::Close(run.IOUT);
  fmtio::OpenKeywords data;
  data.file = {run.DATFIL, 80};
  data.status = {"OLD"};
  fmtio::Open(9, data);
  if (run.IOUT == 7) {
    fmtio::OpenKeywords report;
    report.file = {run.OUTFIL, 80};
    report.status = {"NEW"};
    fmtio::Open(7, report);
  }
  fmtio::OpenKeywords plot;
  plot.file = {"TRUSS.GRP", 9};
  plot.status = {"NEW"};
  fmtio::Open(8, plot);
}

void Assemble() {
  TrussModel& m = run.model;
  std::memset(run.STIFF, 0, sizeof run.STIFF);
  const int NEQ = 3 * m.NNODE;
  for (int K = 1; K <= m.NELE; ++K) {
    MemberStiffness(K, m.NODE(1, K), m.NODE(2, K), run.ESTIFF.data(), m.XC.data(), m.YC.data(), m.ZC.data(),
                    m.A.data(), m.E.data());
    for (int I = 1; I <= 2; ++I) {
      for (int J = 1; J <= 2; ++J) {
        const int NI = 3 * m.NODE(I, K) - 2;
        const int NJ = 3 * m.NODE(J, K) - 2;
        AssembleBlock(run.STIFF, NI, NJ, m.MUD, NEQ, run.ESTIFF.data(), 3 * I - 2, 3 * J - 2, 6, 3);
      }
    }
  }
}

// A fixed direction does not move: its load is not a displacement and must not reach the
// stresses of the members at that node.
void ClearFixedLoads() {
  TrussModel& m = run.model;
  for (int K = 1; K <= m.NNODE; ++K) {
    for (int J = 1; J <= 3; ++J) {
      if (m.IFIX(J, K) == 1) m.FORCE(J, K) = 0.0f;
    }
  }
}

void ImposeSupports() {
  TrussModel& m = run.model;
  for (int K = 1; K <= m.NNODE; ++K) {
    for (int J = 1; J <= 3; ++J) {
      if (m.IFIX(J, K) == 1) FixDof(run.STIFF, EquationNumber(J, K), m.MUD, 3 * m.NNODE);
    }
  }
}

// The free directions whose diagonal is not greater than zero once the supports are imposed: the
// commonest cause of a failed solution. Returns how many were noted (at most ten).
int NoteUnstiffenedDirections(int (&equations)[kMaxNotedDirections]) {
  const TrussModel& m = run.model;
  const int NEQ = 3 * m.NNODE;
  int count = 0;
  for (int IEQ = 1; IEQ <= NEQ && count < kMaxNotedDirections; ++IEQ) {
    const int K = (IEQ - 1) / 3 + 1;
    const int J = (IEQ - 1) % 3 + 1;
    int IR = 0;
    BandLocation(IR, IEQ, IEQ, NEQ, m.MUD);
    if (m.IFIX(J, K) != 1 && !std::isgreater(run.STIFF[IR - 1], 0.0f)) equations[count++] = IEQ;
  }
  return count;
}

[[noreturn]] void ReportFailedSolution(const int (&equations)[kMaxNotedDirections], int count) {
  WriteNotice(run.IOUT, "('0','SOLUTION FAILED: STIFFNESS MATRIX IS NOT POSITIVE DEFINITE')", [] {});
  for (int i = 0; i < count; ++i) {
    const int node = (equations[i] - 1) / 3 + 1;
    const char direction = "XYZ"[(equations[i] - 1) % 3];
    WriteNotice(run.IOUT, "(5X,'NODE',I3,' DIRECTION ',A1,' IS FREE BUT HAS NO STIFFNESS')", [&] {
      fmtio::WriteItem(node);
      fmtio::WriteItem(&direction, 1);
    });
  }
  StopWithoutResults();
}

}  // namespace

void RunTruss() {
  run = TrussRun{};
  Dialogue();
  OpenFiles();
  TrussModel& m = run.model;
  ReadModel(m, run.IOUT, run.IGRP);
  Assemble();
  ClearFixedLoads();
  ImposeSupports();
  int noted[kMaxNotedDirections];
  const int notedCount = NoteUnstiffenedDirections(noted);
  SolveBand(m.FORCE.data(), run.STIFF, 3 * m.NNODE, 1, m.MUD, 1, 1.0E-5f, run.IER);
  if (run.IER == -1) ReportFailedSolution(noted, notedCount);
  if (run.IER > 0) {
    const int row = run.IER + 1;
    WriteNotice(run.IOUT, "('0','WARNING: LOSS OF SIGNIFICANCE AT EQUATION',I4)", [row] { fmtio::WriteItem(row); });
  }
  WriteResults(m, run.IOUT, run.IGRP);
  runtime::Stop();
}

}  // namespace analysis
