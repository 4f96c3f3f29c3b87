// The saved results of the example structures (cases/golden.cases runs them): each plot file of
// golden/ is read by its columns and checked against an independent solution in double precision,
// and each saved report must carry the plot file's results in its own layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/program_runner.h"

namespace e2e {
namespace {

// The canopy is the capacity: 99 nodes and 99 members, one of them from node 1 to node 99, so the
// band is the widest (MUD 296: all 297 equations). The examples' coordinates, moduli, areas and
// loads are exact in the plot file's four digits, so the model solved here is the program's own.
const char* const kExamples[] = {"two_bar", "tripod", "tetrahedron", "tower", "bridge", "canopy"};

std::string Golden(const std::string& name) { return ReadSourceFile("tests/e2e/golden/" + name); }

// A plot file record: each field is one blank column and then `width` columns, and the record ends
// with its last field. The fields are kept as written.
using Record = std::vector<std::string>;
Record Fields(const std::string& record, const std::vector<int>& widths) {
  Record fields;
  std::size_t at = 0;
  for (int width : widths) {
    EXPECT_EQ(record.substr(std::min(at, record.size()), 1), " ") << "\"" << record << "\"";
    fields.push_back(at < record.size() ? record.substr(at + 1, width) : "0");
    at += 1 + width;
  }
  EXPECT_EQ(record.size(), at) << "\"" << record << "\"";
  return fields;
}

// Title, counts, then by number the nodes (K, IFIX 1-3, XC, YC, ZC, FORCE 1-3), the members (K, I,
// J, E, A), the displacements (K, X, Y, Z) and the stresses (K, stress).
struct PlotFile {
  std::vector<Record> nodes, members, displacements, stresses;
};

PlotFile ReadPlotFile(const std::string& text) {
  std::vector<std::string> records;
  for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    records.push_back(text.substr(at, end - at));
  }
  Fields(records[0], {80});
  const Record counts = Fields(records[1], {3, 3});
  const int NELE = std::stoi(counts[0]), NNODE = std::stoi(counts[1]);
  PlotFile p;
  std::size_t at = 2;
  for (auto [table, count, widths] : {std::tuple{&p.nodes, NNODE, std::vector{2, 1, 1, 1, 10, 10, 10, 10, 10, 10}},
                                      {&p.members, NELE, {2, 2, 2, 15, 15}},
                                      {&p.displacements, NNODE, {3, 15, 15, 15}},
                                      {&p.stresses, NELE, {3, 15}}}) {
    for (int K = 1; K <= count; ++K) {
      table->push_back(Fields(at < records.size() ? records[at++] : "", widths));
      EXPECT_EQ(std::stoi(table->back()[0]), K);
    }
  }
  EXPECT_EQ(at, records.size()) << "records after the last stress";
  return p;
}

double At(const Record& record, int field) { return std::stod(record[field]); }

// The model solved in double precision: dense assembly, fixed directions held at zero, Gaussian
// elimination (the matrix is symmetric positive definite). Returns the displacements, three a
// node, and then the stress of each member.
std::vector<double> SolveInDouble(const PlotFile& p) {
  const int n = 3 * static_cast<int>(p.nodes.size());
  std::vector<std::vector<double>> K(n, std::vector<double>(n + 1, 0.0)), axes;
  for (const Record& m : p.members) {
    const int ends[2] = {3 * (std::stoi(m[1]) - 1), 3 * (std::stoi(m[2]) - 1)};
    std::vector<double> axis(4, 0.0);  // direction cosines and length
    for (int d = 0; d < 3; ++d) axis[d] = At(p.nodes[ends[1] / 3], 4 + d) - At(p.nodes[ends[0] / 3], 4 + d);
    axis[3] = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    for (int d = 0; d < 3; ++d) axis[d] /= axis[3];
    const double k = At(m, 3) * At(m, 4) / axis[3];
    for (int a = 0; a < 2; ++a) {
      for (int b = 0; b < 2; ++b) {
        for (int r = 0; r < 3; ++r) {
          for (int s = 0; s < 3; ++s) K[ends[a] + r][ends[b] + s] += (a == b ? k : -k) * axis[r] * axis[s];
        }
      }
    }
    axes.push_back(axis);
  }
  for (int e = 0; e < n; ++e) {
    const Record& node = p.nodes[e / 3];
    if (node[1 + e % 3] == "1") {
      for (int t = 0; t < n; ++t) K[e][t] = K[t][e] = 0.0;
      K[e][e] = 1.0;
    } else {
      K[e][n] = At(node, 7 + e % 3);
    }
  }
  for (int col = 0; col < n; ++col) {
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
  for (std::size_t K = 0; K < axes.size(); ++K) {
    const int I = 3 * (std::stoi(p.members[K][1]) - 1), J = 3 * (std::stoi(p.members[K][2]) - 1);
    double elongation = 0;
    for (int d = 0; d < 3; ++d) elongation += axes[K][d] * (x[J + d] - x[I + d]);
    x.push_back(At(p.members[K], 3) / axes[K][3] * elongation);
  }
  return x;
}

// The results of a plot file agree with its model solved in double precision. Four significant
// digits are printed for a displacement, five for a stress: the tolerance is half a unit of the
// last digit of the largest value.
void ExpectAgreesWithDouble(const PlotFile& p) {
  const std::vector<double> x = SolveInDouble(p);
  const std::size_t n = 3 * p.nodes.size();
  double uMax = 0, sMax = 0;
  for (std::size_t e = 0; e < x.size(); ++e) (e < n ? uMax : sMax) = std::max(e < n ? uMax : sMax, std::fabs(x[e]));
  for (std::size_t e = 0; e < n; ++e) {
    EXPECT_NEAR(At(p.displacements[e / 3], 1 + e % 3), x[e], 5e-4 * uMax) << "node " << e / 3 + 1;
  }
  for (std::size_t K = 0; K < p.stresses.size(); ++K) {
    EXPECT_NEAR(At(p.stresses[K], 1), x[n + K], 5e-5 * sMax) << "member " << K + 1;
  }
}

TEST(GoldenExamplesTest, SavedResultsAgreeWithAnIndependentSolutionAndWithTheReport) {
  for (const std::string name : kExamples) {
    SCOPED_TRACE(name);
    const PlotFile p = ReadPlotFile(Golden(name + ".grp"));
    ExpectAgreesWithDouble(p);
    // The fields are kept as written, so they go into the report's records as they are.
    const std::string b6(6, ' ');
    std::string results = "    DISPLACEMENTS" + std::string(17, ' ') + "X" + std::string(20, ' ') + "Y" +
                          std::string(20, ' ') + "Z\r\n\r\n\r\n";
    for (const Record& d : p.displacements) {
      results += "   NODE NUMBER" + d[0] + std::string(10, ' ') + d[1] + b6 + d[2] + b6 + d[3] + "\r\n\r\n";
    }
    results += " STRESSES IN ELEMENTS (IN CURRENT UNITS)\r\n\r\n\r\n      ELEMENT NUMBER    STRESS\r\n\r\n\r\n";
    for (const Record& s : p.stresses) results += std::string(13, ' ') + s[0] + "=" + s[1] + "\r\n";
    const std::string report = Golden(name + ".report");
    EXPECT_TRUE(report.ends_with(results)) << "the report's results are the plot file's";
    int MAXD = 0;  // the band: three directions a node, the widest member's node numbers apart
    for (const Record& m : p.members) MAXD = std::max(MAXD, std::abs(std::stoi(m[1]) - std::stoi(m[2])));
    const std::string MUD = std::to_string(3 * MAXD + 2);
    EXPECT_NE(report.find("(MUD)=" + std::string(3 - MUD.size(), ' ') + MUD + "\r\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace e2e
