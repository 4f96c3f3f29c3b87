// The example structures of examples/: each run must reproduce its saved report and plot file
// byte for byte. The saved files themselves are checked here against the record layouts and
// against mechanics: an independent solution in double precision and the equilibrium of every
// node under the reported stresses.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "tests/e2e/expected_report.h"
#include "tests/e2e/program_runner.h"

namespace e2e {
namespace {

const char* const kExamples[] = {"two_bar", "tripod", "tetrahedron", "tower", "bridge"};

std::string Golden(const std::string& name) { return ReadSourceFile("tests/e2e/golden/" + name); }

std::vector<std::string> SplitRecords(const std::string& text) {
  std::vector<std::string> records;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "last record has no line end";
      break;
    }
    records.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return records;
}

// Columns first..last of a record, counted from 1.
struct Columns {
  int first;
  int last;
};

// The fields of `record` at `columns`; every other column must be blank and the record must end
// with its last field.
std::vector<std::string> Fields(const std::string& record, const std::vector<Columns>& columns, int length) {
  EXPECT_EQ(static_cast<int>(record.size()), length) << "record \"" << record << "\"";
  std::string rest = record;
  std::vector<std::string> fields;
  for (const Columns& c : columns) {
    if (c.last > static_cast<int>(record.size())) return std::vector<std::string>(columns.size());
    fields.push_back(record.substr(c.first - 1, c.last - c.first + 1));
    std::fill(rest.begin() + c.first - 1, rest.begin() + c.last, ' ');
  }
  EXPECT_EQ(rest.find_first_not_of(' '), std::string::npos) << "text outside the fields of \"" << record << "\"";
  return fields;
}

int ToInt(const std::string& field) { return std::stoi(field); }
double ToReal(const std::string& field) { return std::stod(field); }

struct Node {
  std::array<int, 3> IFIX;
  std::array<double, 3> xyz;
  std::array<double, 3> load;
};
struct Member {
  int I, J;
  double E, A;
};
// A plot file read by its columns, with the fields kept as text for comparison with the report.
struct PlotFile {
  int NELE = 0, NNODE = 0;
  std::vector<Node> nodes;  // by node number - 1
  std::vector<Member> members;
  std::vector<std::array<std::string, 3>> displacementFields;
  std::vector<std::array<double, 3>> displacements;
  std::vector<std::string> stressFields;
  std::vector<double> stresses;
};

PlotFile ReadPlotFile(const std::string& text) {
  const std::vector<std::string> r = SplitRecords(text);
  PlotFile p;
  std::size_t at = 0;
  Fields(r.at(at++), {{2, 81}}, 81);
  const auto counts = Fields(r.at(at++), {{2, 4}, {6, 8}}, 8);
  p.NELE = ToInt(counts[0]);
  p.NNODE = ToInt(counts[1]);
  for (int K = 1; K <= p.NNODE; ++K) {
    const auto f = Fields(
        r.at(at++), {{2, 3}, {5, 5}, {7, 7}, {9, 9}, {11, 20}, {22, 31}, {33, 42}, {44, 53}, {55, 64}, {66, 75}}, 75);
    EXPECT_EQ(ToInt(f[0]), K);
    p.nodes.push_back({{ToInt(f[1]), ToInt(f[2]), ToInt(f[3])},
                       {ToReal(f[4]), ToReal(f[5]), ToReal(f[6])},
                       {ToReal(f[7]), ToReal(f[8]), ToReal(f[9])}});
  }
  for (int K = 1; K <= p.NELE; ++K) {
    const auto f = Fields(r.at(at++), {{2, 3}, {5, 6}, {8, 9}, {11, 25}, {27, 41}}, 41);
    EXPECT_EQ(ToInt(f[0]), K);
    p.members.push_back({ToInt(f[1]), ToInt(f[2]), ToReal(f[3]), ToReal(f[4])});
  }
  for (int K = 1; K <= p.NNODE; ++K) {
    const auto f = Fields(r.at(at++), {{2, 4}, {6, 20}, {22, 36}, {38, 52}}, 52);
    EXPECT_EQ(ToInt(f[0]), K);
    p.displacementFields.push_back({f[1], f[2], f[3]});
    p.displacements.push_back({ToReal(f[1]), ToReal(f[2]), ToReal(f[3])});
  }
  for (int K = 1; K <= p.NELE; ++K) {
    const auto f = Fields(r.at(at++), {{2, 4}, {6, 20}}, 20);
    EXPECT_EQ(ToInt(f[0]), K);
    p.stressFields.push_back(f[1]);
    p.stresses.push_back(ToReal(f[1]));
  }
  EXPECT_EQ(at, r.size()) << "records after the last stress";
  return p;
}

// The axis of a member from its first end to its second: direction cosines and length.
struct Axis {
  std::array<double, 3> c;
  double L;
};
Axis AxisOf(const PlotFile& p, const Member& m) {
  Axis axis{};
  double sum = 0;
  for (int d = 0; d < 3; ++d) {
    axis.c[d] = p.nodes[m.J - 1].xyz[d] - p.nodes[m.I - 1].xyz[d];
    sum += axis.c[d] * axis.c[d];
  }
  axis.L = std::sqrt(sum);
  for (double& c : axis.c) c /= axis.L;
  return axis;
}

// The displacements of the model in double precision: dense assembly, fixed directions held at
// zero, Gaussian elimination with partial pivoting.
std::vector<double> SolveInDouble(const PlotFile& p) {
  const int n = 3 * p.NNODE;
  std::vector<std::vector<double>> K(n, std::vector<double>(n + 1, 0.0));
  for (const Member& m : p.members) {
    const Axis axis = AxisOf(p, m);
    const double k = m.E * m.A / axis.L;
    const int ends[2] = {m.I - 1, m.J - 1};
    for (int a = 0; a < 2; ++a) {
      for (int b = 0; b < 2; ++b) {
        for (int r = 0; r < 3; ++r) {
          for (int s = 0; s < 3; ++s) K[3 * ends[a] + r][3 * ends[b] + s] += (a == b ? k : -k) * axis.c[r] * axis.c[s];
        }
      }
    }
  }
  for (int node = 0; node < p.NNODE; ++node) {
    for (int d = 0; d < 3; ++d) {
      const int e = 3 * node + d;
      if (p.nodes[node].IFIX[d] == 1) {
        for (int t = 0; t < n; ++t) K[e][t] = K[t][e] = 0.0;
        K[e][e] = 1.0;
      } else {
        K[e][n] = p.nodes[node].load[d];
      }
    }
  }
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    for (int r = col + 1; r < n; ++r) {
      if (std::fabs(K[r][col]) > std::fabs(K[pivot][col])) pivot = r;
    }
    std::swap(K[col], K[pivot]);
    for (int r = col + 1; r < n; ++r) {
      const double factor = K[r][col] / K[col][col];
      for (int t = col; t <= n; ++t) K[r][t] -= factor * K[col][t];
    }
  }
  std::vector<double> x(n);
  for (int r = n - 1; r >= 0; --r) {
    double s = K[r][n];
    for (int t = r + 1; t < n; ++t) s -= K[r][t] * x[t];
    x[r] = s / K[r][r];
  }
  return x;
}

TEST(GoldenExamplesTest, RunsReproduceTheSavedReportAndPlotFile) {
  for (const std::string name : kExamples) {
    SCOPED_TRACE(name);
    const RunResult run = RunProgram(name + ".dat\n" + name + ".report\n",
                                     {{name + ".dat", ReadSourceFile("examples/" + name + ".dat")}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n" + kStopMessage);
    EXPECT_EQ(run.files.at(name + ".report"), Golden(name + ".report"));
    EXPECT_EQ(run.files.at("TRUSS.GRP"), Golden(name + ".grp"));
  }
}

TEST(GoldenExamplesTest, TowerReportOnTheTerminal) {
  const RunResult run = RunProgram("tower.dat\nTT:\n", {{"tower.dat", ReadSourceFile("examples/tower.dat")}});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n" + ToConsole(Golden("tower.report")) + "\r\n" + kStopMessage);
  EXPECT_EQ(run.files.at("TRUSS.GRP"), Golden("tower.grp"));
}

// By hand: the legs run from (3,0,0), (0,3,0), (-3,0,0) to the apex (0,0,4), each 5 long with
// cosines (-0.6,0,0.8), (0,-0.6,0.8), (0.6,0,0.8). Equilibrium of the apex under (300, 600,
// -2000): y gives N2 = -600/0.6 = -1000; x gives 0.6 (N3 - N1) = 300; z gives 0.8 (N1 + N2 + N3)
// = -2000; so N1 = -1000, N3 = -500 and the stresses (A = 10) are -100, -100, -50. The
// shortenings N L / (E A) = N * 2.5E-6 give -0.6 u + 0.8 w = -2.5E-3, -0.6 v + 0.8 w = -2.5E-3,
// 0.6 u + 0.8 w = -1.25E-3: w = -2.34375E-3, u = v = 1.0416667E-3.
TEST(GoldenExamplesTest, TripodMatchesTheHandSolution) {
  const std::string z4 = ".0000E+00";
  const std::string report = Golden("tripod.report");
  const std::string results =
      DisplacementHead() + DisplacementLine(1, z4, z4, z4) + DisplacementLine(2, z4, z4, z4) +
      DisplacementLine(3, z4, z4, z4) + DisplacementLine(4, ".1042E-02", ".1042E-02", "-.2344E-02") + StressHeads() +
      StressLine(1, "-.10000E+03") + StressLine(2, "-.10000E+03") + StressLine(3, "-.50000E+02");
  ASSERT_GE(report.size(), results.size());
  EXPECT_EQ(report.substr(report.size() - results.size()), results);
  const std::string plot = Golden("tripod.grp");
  const std::string plotResults =
      PlotDisplacement(1, z4, z4, z4) + PlotDisplacement(2, z4, z4, z4) + PlotDisplacement(3, z4, z4, z4) +
      PlotDisplacement(4, ".1042E-02", ".1042E-02", "-.2344E-02") + PlotStress(1, "-.10000E+03") +
      PlotStress(2, "-.10000E+03") + PlotStress(3, "-.50000E+02");
  ASSERT_GE(plot.size(), plotResults.size());
  EXPECT_EQ(plot.substr(plot.size() - plotResults.size()), plotResults);
}

TEST(GoldenExamplesTest, SavedResultsAgreeWithAnIndependentSolution) {
  for (const std::string name : kExamples) {
    SCOPED_TRACE(name);
    const PlotFile p = ReadPlotFile(Golden(name + ".grp"));
    const std::vector<double> x = SolveInDouble(p);
    double uMax = 0;
    for (double u : x) uMax = std::max(uMax, std::fabs(u));
    for (int node = 0; node < p.NNODE; ++node) {
      for (int d = 0; d < 3; ++d) {
        // Four significant digits printed: half a unit of the fourth digit of the largest value.
        EXPECT_NEAR(p.displacements[node][d], x[3 * node + d], 5e-4 * uMax)
            << "node " << node + 1 << " direction " << d + 1;
      }
    }
    std::vector<double> reference;
    double sMax = 0;
    for (const Member& m : p.members) {
      const Axis axis = AxisOf(p, m);
      double elongation = 0;
      for (int d = 0; d < 3; ++d) elongation += axis.c[d] * (x[3 * (m.J - 1) + d] - x[3 * (m.I - 1) + d]);
      reference.push_back(m.E / axis.L * elongation);
      sMax = std::max(sMax, std::fabs(reference.back()));
    }
    for (int K = 0; K < p.NELE; ++K) EXPECT_NEAR(p.stresses[K], reference[K], 1e-4 * sMax) << "member " << K + 1;
  }
}

TEST(GoldenExamplesTest, SavedStressesHoldEveryFreeNodeInEquilibrium) {
  for (const std::string name : kExamples) {
    SCOPED_TRACE(name);
    const PlotFile p = ReadPlotFile(Golden(name + ".grp"));
    std::vector<std::array<double, 3>> memberForces(p.NNODE, {0, 0, 0});
    double scale = 0;
    for (int K = 0; K < p.NELE; ++K) {
      const Member& m = p.members[K];
      const Axis axis = AxisOf(p, m);
      const double N = p.stresses[K] * m.A;  // tension pulls each end towards the other
      scale = std::max(scale, std::fabs(N));
      for (int d = 0; d < 3; ++d) {
        memberForces[m.I - 1][d] += N * axis.c[d];
        memberForces[m.J - 1][d] -= N * axis.c[d];
      }
    }
    std::array<double, 3> reactions{}, loads{};
    for (int node = 0; node < p.NNODE; ++node) {
      for (int d = 0; d < 3; ++d) {
        scale = std::max(scale, std::fabs(p.nodes[node].load[d]));
        if (p.nodes[node].IFIX[d] == 1) {
          reactions[d] -= memberForces[node][d];
        } else {
          loads[d] += p.nodes[node].load[d];
          EXPECT_NEAR(memberForces[node][d] + p.nodes[node].load[d], 0.0, 1e-4 * scale)
              << "node " << node + 1 << " direction " << d + 1;
        }
      }
    }
    for (int d = 0; d < 3; ++d) EXPECT_NEAR(reactions[d] + loads[d], 0.0, 1e-4 * scale) << "direction " << d + 1;
  }
}

TEST(GoldenExamplesTest, SavedReportsFollowTheColumnLayoutAndMatchThePlotFile) {
  for (const std::string name : kExamples) {
    SCOPED_TRACE(name);
    const PlotFile p = ReadPlotFile(Golden(name + ".grp"));
    const std::vector<std::string> r = SplitRecords(Golden(name + ".report"));
    std::size_t at = 0;
    auto next = [&]() -> const std::string& {
      static const std::string none;
      return at < r.size() ? r[at++] : none;
    };
    auto expectText = [&](const std::string& record, const std::vector<Columns>& columns, int length,
                          const std::vector<std::string>& texts) { EXPECT_EQ(Fields(record, columns, length), texts); };
    EXPECT_EQ(next(), "1");
    Fields(next(), {{3, 82}}, 82);
    EXPECT_EQ(next(), "0");
    expectText(next(), {{6, 30}, {31, 33}}, 33, {"NUMBER OF ELEMENTS(NELE)=", Int(p.NELE, 3)});
    expectText(next(), {{6, 30}, {31, 33}}, 33, {"NUMBER OF NODES(NNODE)  =", Int(p.NNODE, 3)});
    EXPECT_EQ(next(), "0");
    EXPECT_EQ(next(), "");
    expectText(next(), {{6, 16}}, 16, {"NODE POINTS"});
    expectText(next(), {{4, 4}, {15, 18}, {34, 38}, {49, 53}, {64, 68}, {87, 96}, {102, 111}, {117, 126}}, 126,
               {"K", "IFIX", "XC(K)", "YC(K)", "ZC(K)", "FORCE(1,K)", "FORCE(2,K)", "FORCE(3,K)"});
    for (int K = 1; K <= p.NNODE; ++K) {
      const auto f = Fields(
          next(), {{2, 4}, {13, 14}, {15, 16}, {17, 18}, {29, 43}, {44, 58}, {59, 73}, {84, 98}, {99, 113}, {114, 128}},
          128);
      const Node& node = p.nodes[K - 1];
      EXPECT_EQ(ToInt(f[0]), K);
      for (int d = 0; d < 3; ++d) {
        EXPECT_EQ(ToInt(f[1 + d]), node.IFIX[d]);
        // Seven digits in the report, four in the plot file.
        EXPECT_NEAR(ToReal(f[4 + d]), node.xyz[d], 5e-4 * std::fabs(node.xyz[d]));
        EXPECT_NEAR(ToReal(f[7 + d]), node.load[d], 5e-4 * std::fabs(node.load[d]));
      }
    }
    EXPECT_EQ(next(), "0");
    EXPECT_EQ(next(), "");
    expectText(next(), {{6, 13}}, 13, {"ELEMENTS"});
    expectText(next(), {{4, 4}, {11, 19}, {31, 34}, {46, 49}}, 49, {"K", "NODE(I,K)", "E(K)", "A(K)"});
    for (int K = 1; K <= p.NELE; ++K) {
      const auto f = Fields(next(), {{2, 4}, {10, 14}, {15, 19}, {20, 34}, {35, 49}}, 49);
      const Member& m = p.members[K - 1];
      EXPECT_EQ(ToInt(f[0]), K);
      EXPECT_EQ(ToInt(f[1]), m.I);
      EXPECT_EQ(ToInt(f[2]), m.J);
      EXPECT_NEAR(ToReal(f[3]), m.E, 5e-4 * m.E);
      EXPECT_NEAR(ToReal(f[4]), m.A, 5e-4 * m.A);
    }
    EXPECT_EQ(next(), "0");
    EXPECT_EQ(next(), "");
    const auto mud = Fields(next(), {{6, 47}, {48, 50}}, 50);
    EXPECT_EQ(mud[0], "NUMBER OF NONZERO UPPER CO-DIAGONALS(MUD)=");
    int MAXD = 0;
    for (const Member& m : p.members) MAXD = std::max(MAXD, std::abs(m.I - m.J));
    EXPECT_EQ(ToInt(mud[1]), 3 * MAXD + 2);
    expectText(next(), {{5, 17}, {35, 35}, {56, 56}, {77, 77}}, 77, {"DISPLACEMENTS", "X", "Y", "Z"});
    EXPECT_EQ(next(), "");
    EXPECT_EQ(next(), "");
    for (int K = 1; K <= p.NNODE; ++K) {
      const auto f = Fields(next(), {{4, 14}, {15, 17}, {28, 42}, {49, 63}, {70, 84}}, 84);
      EXPECT_EQ(f[0], "NODE NUMBER");
      EXPECT_EQ(ToInt(f[1]), K);
      EXPECT_EQ(f[2], p.displacementFields[K - 1][0]);
      EXPECT_EQ(f[3], p.displacementFields[K - 1][1]);
      EXPECT_EQ(f[4], p.displacementFields[K - 1][2]);
      EXPECT_EQ(next(), "");
    }
    expectText(next(), {{2, 40}}, 40, {"STRESSES IN ELEMENTS (IN CURRENT UNITS)"});
    EXPECT_EQ(next(), "");
    EXPECT_EQ(next(), "");
    expectText(next(), {{7, 20}, {25, 30}}, 30, {"ELEMENT NUMBER", "STRESS"});
    EXPECT_EQ(next(), "");
    EXPECT_EQ(next(), "");
    for (int K = 1; K <= p.NELE; ++K) {
      const auto f = Fields(next(), {{14, 16}, {17, 17}, {18, 32}}, 32);
      EXPECT_EQ(ToInt(f[0]), K);
      EXPECT_EQ(f[1], "=");
      EXPECT_EQ(f[2], p.stressFields[K - 1]);
    }
    EXPECT_EQ(at, r.size()) << "records after the last stress line";
  }
}

}  // namespace
}  // namespace e2e
