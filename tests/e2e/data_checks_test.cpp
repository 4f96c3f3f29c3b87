// Node and member generation and the program's data checks, run end to end: each case gives a
// data file and the report, plot file and console bytes expected, worked out from the rules.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/expected_report.h"
#include "tests/e2e/program_runner.h"

namespace e2e {
namespace {

const std::string z6 = "0.000000E+00";  // 0 under 1PE15.6
const std::string z4 = ".0000E+00";     // 0 under E10.4 and E15.4

struct DataCase {
  std::string name;
  std::string data;
  std::string report;   // the report file
  std::string plot;     // TRUSS.GRP
  std::string notices;  // the records that also reach the console when the report is a file
};

// The node at x on the x axis, with fixity codes and no loads, as echoed and as plotted.
std::string EchoOnAxis(int K, std::array<int, 3> IFIX, const std::string& x6) {
  return NodeEcho(K, IFIX, {x6, z6, z6, z6, z6, z6});
}
std::string PlotOnAxis(int K, std::array<int, 3> IFIX, const std::string& x4) {
  return PlotNode(K, IFIX, {x4, z4, z4, z4, z4, z4});
}

// Two nodes, both fixed, at x = 0 and x = 1: the model of the member checks.
const std::string kPairTitle = "TWO FIXED NODES";
const std::vector<std::string> kPairNodes = {"1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "2 1 1 1 1.0 0.0 0.0 0.0 0.0 0.0"};
std::string PairData(int NELE, const std::vector<std::string>& members) {
  std::vector<std::string> lines = {kPairTitle, std::to_string(NELE) + " 2"};
  lines.insert(lines.end(), kPairNodes.begin(), kPairNodes.end());
  lines.insert(lines.end(), members.begin(), members.end());
  return DataFile(lines);
}
std::string PairReport(int NELE) {
  return ReportHead(kPairTitle, NELE, 2) + NodeHead() + EchoOnAxis(1, {1, 1, 1}, z6) +
         EchoOnAxis(2, {1, 1, 1}, "1.000000E+00") + MemberHead();
}
std::string PairPlot(int NELE) {
  return PlotHead(kPairTitle, NELE, 2) + PlotOnAxis(1, {1, 1, 1}, z4) + PlotOnAxis(2, {1, 1, 1}, ".1000E+01");
}
// A member of E = 1 and A = 1, as echoed and as plotted.
std::string UnitMember(int K, int I, int J) { return MemberEcho(K, I, J, "1.0000E+00", "1.0000E+00"); }
std::string UnitPlotMember(int K, int I, int J) { return PlotMember(K, I, J, ".1000E+01", ".1000E+01"); }

const std::string kFailed = "0SOLUTION FAILED: STIFFNESS MATRIX IS NOT POSITIVE DEFINITE";
std::string NoStiffness(int node, char direction) {
  return "     NODE" + Int(node, 3) + " DIRECTION " + direction + " IS FREE BUT HAS NO STIFFNESS";
}

std::vector<DataCase> Cases() {
  std::vector<DataCase> cases;

  {
    // Node 1 at x = 0 and node 4 at x = 1: the step 1/3 rounds to 0.33333334, node 2 takes
    // it and node 3 adds it once more (0.6666667). Member 2 continues member 1: ends (2, 3),
    // E and A of member 1. Nodes 2 and 3 are free, but the chain along x stiffens only x.
    const std::string t = "CHAIN: NODES 1,4 GENERATE 2,3; MEMBERS 1,3 GENERATE 2";
    const std::string failed =
        Lines({kFailed, NoStiffness(2, 'Y'), NoStiffness(2, 'Z'), NoStiffness(3, 'Y'), NoStiffness(3, 'Z')});
    cases.push_back({"NodesOneAndFourGenerateTwoAndThree",
                     DataFile({t, "3 4", "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "4 0 1 1 1.0 0.0 0.0 100.0 0.0 0.0",
                               "1 1 2 1000.0 2.0", "3 3 4 1000.0 2.0"}),
                     ReportHead(t, 3, 4) + NodeHead() + EchoOnAxis(1, {1, 1, 1}, z6) +
                         EchoOnAxis(2, {0, 0, 0}, "3.333333E-01") + EchoOnAxis(3, {0, 0, 0}, "6.666667E-01") +
                         NodeEcho(4, {0, 1, 1}, {"1.000000E+00", z6, z6, "1.000000E+02", z6, z6}) + MemberHead() +
                         MemberEcho(1, 1, 2, "1.0000E+03", "2.0000E+00") +
                         MemberEcho(2, 2, 3, "1.0000E+03", "2.0000E+00") +
                         MemberEcho(3, 3, 4, "1.0000E+03", "2.0000E+00") + BandWidth(5) + failed,
                     PlotHead(t, 3, 4) + PlotOnAxis(1, {1, 1, 1}, z4) + PlotOnAxis(2, {0, 0, 0}, ".3333E+00") +
                         PlotOnAxis(3, {0, 0, 0}, ".6667E+00") +
                         PlotNode(4, {0, 1, 1}, {".1000E+01", z4, z4, ".1000E+03", z4, z4}) +
                         PlotMember(1, 1, 2, ".1000E+04", ".2000E+01") + PlotMember(2, 2, 3, ".1000E+04", ".2000E+01") +
                         PlotMember(3, 3, 4, ".1000E+04", ".2000E+01"),
                     failed});
  }
  {
    // Nodes 2 to 7 generated at x = 1 ... 6, members 2 to 6 generated: twelve free directions
    // without stiffness, of which the first ten are named.
    const std::string t = "LONG CHAIN";
    const char* x6[] = {"0.000000E+00", "1.000000E+00", "2.000000E+00", "3.000000E+00",
                        "4.000000E+00", "5.000000E+00", "6.000000E+00", "7.000000E+00"};
    const char* x4[] = {z4.c_str(),  ".1000E+01", ".2000E+01", ".3000E+01",
                        ".4000E+01", ".5000E+01", ".6000E+01", ".7000E+01"};
    std::string report = ReportHead(t, 7, 8) + NodeHead() + EchoOnAxis(1, {1, 1, 1}, z6);
    std::string plot = PlotHead(t, 7, 8) + PlotOnAxis(1, {1, 1, 1}, z4);
    for (int K = 2; K <= 7; ++K) {
      report += EchoOnAxis(K, {0, 0, 0}, x6[K - 1]);
      plot += PlotOnAxis(K, {0, 0, 0}, x4[K - 1]);
    }
    report += EchoOnAxis(8, {0, 1, 1}, x6[7]) + MemberHead();
    plot += PlotOnAxis(8, {0, 1, 1}, x4[7]);
    for (int K = 1; K <= 7; ++K) {
      report += MemberEcho(K, K, K + 1, "1.0000E+03", "2.0000E+00");
      plot += PlotMember(K, K, K + 1, ".1000E+04", ".2000E+01");
    }
    std::vector<std::string> failed = {kFailed};
    for (int node = 2; node <= 6; ++node) {
      failed.push_back(NoStiffness(node, 'Y'));
      failed.push_back(NoStiffness(node, 'Z'));
    }
    cases.push_back({"AtMostTenDirectionsAreNamed",
                     DataFile({t, "7 8", "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "8 0 1 1 7.0 0.0 0.0 0.0 0.0 0.0",
                               "1 1 2 1000.0 2.0", "7 7 8 1000.0 2.0"}),
                     report + BandWidth(5) + Lines(failed), plot, Lines(failed)});
  }
  {
    // A planar truss whose apex is left free in z: the commonest failed solution.
    const std::string t = "TWO BARS, APEX FREE IN Z";
    const std::string failed = Lines({kFailed, NoStiffness(2, 'Z')});
    cases.push_back({"PlanarTrussWithZFree",
                     DataFile({t, "2 3", "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "2 0 0 0 4.0 3.0 0.0 0.0 -1000.0 0.0",
                               "3 1 1 1 8.0 0.0 0.0 0.0 0.0 0.0", "1 1 2 200000.0 10.0", "2 2 3 200000.0 10.0"}),
                     ReportHead(t, 2, 3) + NodeHead() + EchoOnAxis(1, {1, 1, 1}, z6) +
                         NodeEcho(2, {0, 0, 0}, {"4.000000E+00", "3.000000E+00", z6, z6, "-1.000000E+03", z6}) +
                         EchoOnAxis(3, {1, 1, 1}, "8.000000E+00") + MemberHead() +
                         MemberEcho(1, 1, 2, "2.0000E+05", "1.0000E+01") +
                         MemberEcho(2, 2, 3, "2.0000E+05", "1.0000E+01") + BandWidth(5) + failed,
                     PlotHead(t, 2, 3) + PlotOnAxis(1, {1, 1, 1}, z4) +
                         PlotNode(2, {0, 0, 0}, {".4000E+01", ".3000E+01", z4, z4, "-.1000E+04", z4}) +
                         PlotOnAxis(3, {1, 1, 1}, ".8000E+01") + PlotMember(1, 1, 2, ".2000E+06", ".1000E+02") +
                         PlotMember(2, 2, 3, ".2000E+06", ".1000E+02"),
                     failed});
  }
  {
    // NNODE = 3 and a record for node 5 after node 2: nodes 3 and 4 are generated, 3 to 5
    // echoed, then the error.
    const std::string t = "NODE 5 AFTER NODE 2, NNODE = 3";
    cases.push_back({"NodeBeyondNnodeIsEchoedThenRefused",
                     DataFile({t, "1 3", "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "2 0 0 0 1.0 0.0 0.0 0.0 0.0 0.0",
                               "5 0 0 0 4.0 0.0 0.0 0.0 0.0 0.0", "1 1 2 1.0 1.0"}),
                     ReportHead(t, 1, 3) + NodeHead() + EchoOnAxis(1, {1, 1, 1}, z6) +
                         EchoOnAxis(2, {0, 0, 0}, "1.000000E+00") + EchoOnAxis(3, {0, 0, 0}, "2.000000E+00") +
                         EchoOnAxis(4, {0, 0, 0}, "3.000000E+00") + EchoOnAxis(5, {0, 0, 0}, "4.000000E+00") +
                         Lines({"0NODAL POINT ERROR N =    5"}),
                     PlotHead(t, 1, 3) + PlotOnAxis(1, {1, 1, 1}, z4) + PlotOnAxis(2, {0, 0, 0}, ".1000E+01") +
                         PlotOnAxis(3, {0, 0, 0}, ".2000E+01") + PlotOnAxis(4, {0, 0, 0}, ".3000E+01") +
                         PlotOnAxis(5, {0, 0, 0}, ".4000E+01"),
                     ""});
  }
  {
    const std::string t = "NO NODES";
    cases.push_back(
        {"NnodeZeroEchoesTheFirstNodeThenRefusesIt",
         DataFile({t, "1 0", "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "1 1 2 1.0 1.0"}),
         ReportHead(t, 1, 0) + NodeHead() + EchoOnAxis(1, {1, 1, 1}, z6) + Lines({"0NODAL POINT ERROR N =    1"}),
         PlotHead(t, 1, 0) + PlotOnAxis(1, {1, 1, 1}, z4), ""});
  }
  // Node records refused before anything of them is echoed: the first one not node 1, one not
  // above the record before it, one above the capacity of 50 nodes.
  struct RefusedNode {
    std::string name;
    std::vector<std::string> records;  // node records; the last one is refused
    std::string echoed;                // the report's node echo before the error
    std::string plotted;
    std::string number;  // the I5 field of the error record
  };
  const std::string node1 = "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0";
  const RefusedNode refused[] = {
      {"FirstNodeRecordNotNodeOne", {"2 1 1 1 1.0 0.0 0.0 0.0 0.0 0.0"}, "", "", "    2"},
      {"FirstNodeRecordNumberedZero", {"0 1 1 1 1.0 0.0 0.0 0.0 0.0 0.0"}, "", "", "    0"},
      {"FirstNodeRecordNegative", {"-3 1 1 1 1.0 0.0 0.0 0.0 0.0 0.0"}, "", "", "   -3"},
      {"NodeRecordRepeated",
       {node1, "1 1 1 1 1.0 0.0 0.0 0.0 0.0 0.0"},
       EchoOnAxis(1, {1, 1, 1}, z6),
       PlotOnAxis(1, {1, 1, 1}, z4),
       "    1"},
      {"NodeRecordBelowThePreviousOne",
       {node1, "3 0 0 0 2.0 0.0 0.0 0.0 0.0 0.0", "2 0 0 0 1.0 0.0 0.0 0.0 0.0 0.0"},
       EchoOnAxis(1, {1, 1, 1}, z6) + EchoOnAxis(2, {0, 0, 0}, "1.000000E+00") +
           EchoOnAxis(3, {0, 0, 0}, "2.000000E+00"),
       PlotOnAxis(1, {1, 1, 1}, z4) + PlotOnAxis(2, {0, 0, 0}, ".1000E+01") + PlotOnAxis(3, {0, 0, 0}, ".2000E+01"),
       "    2"},
      {"NodeRecordAboveTheCapacity",
       {node1, "51 0 0 0 1.0 0.0 0.0 0.0 0.0 0.0"},
       EchoOnAxis(1, {1, 1, 1}, z6),
       PlotOnAxis(1, {1, 1, 1}, z4),
       "   51"},
  };
  for (const RefusedNode& r : refused) {
    const std::string t = "REFUSED NODE RECORD";
    std::vector<std::string> lines = {t, "1 4"};
    lines.insert(lines.end(), r.records.begin(), r.records.end());
    lines.push_back("1 1 2 1.0 1.0");
    cases.push_back({r.name, DataFile(lines),
                     ReportHead(t, 1, 4) + NodeHead() + r.echoed + Lines({"0NODAL POINT ERROR N =" + r.number}),
                     PlotHead(t, 1, 4) + r.plotted, ""});
  }
  // Member parts refused, after the members echoed before the error.
  struct RefusedMembers {
    std::string name;
    int NELE;
    std::vector<std::string> records;
    std::string echoed;
    std::string plotted;
    std::string number;  // the I5 field of the error record
  };
  // Member records out of order: the first one not member 1, one not above the record before
  // it, one above the capacity of 50 members.
  const std::vector<RefusedMembers> numberErrors = {
      {"FirstMemberRecordNotMemberOne", 1, {"2 1 2 1.0 1.0"}, "", "", "    2"},
      {"MemberRecordRepeated",
       2,
       {"1 1 2 1.0 1.0", "1 1 2 1.0 1.0"},
       UnitMember(1, 1, 2),
       UnitPlotMember(1, 1, 2),
       "    1"},
      {"MemberRecordBelowThePreviousOne",
       4,
       {"1 1 2 1.0 1.0", "3 1 2 1.0 1.0", "2 1 2 1.0 1.0"},
       UnitMember(1, 1, 2) + UnitMember(2, 2, 3) + UnitMember(3, 1, 2),
       UnitPlotMember(1, 1, 2) + UnitPlotMember(2, 2, 3) + UnitPlotMember(3, 1, 2),
       "    2"},
      {"MemberRecordAboveTheCapacity",
       3,
       {"1 1 2 1.0 1.0", "51 1 2 1.0 1.0"},
       UnitMember(1, 1, 2),
       UnitPlotMember(1, 1, 2),
       "   51"},
  };
  // Member ends outside the nodes, found after the member part and before the band width.
  const std::vector<RefusedMembers> nodeErrors = {
      {"MemberEndAboveNnode",
       2,
       {"1 1 2 1.0 1.0", "2 2 3 1.0 1.0"},
       UnitMember(1, 1, 2) + UnitMember(2, 2, 3),
       UnitPlotMember(1, 1, 2) + UnitPlotMember(2, 2, 3),
       "    2"},
      {"MemberEndZero", 1, {"1 0 2 1.0 1.0"}, UnitMember(1, 0, 2), UnitPlotMember(1, 0, 2), "    1"},
      {"GeneratedMemberRunsPastTheNodes",
       2,
       {"1 1 2 1.0 1.0", "3 1 2 1.0 1.0"},
       UnitMember(1, 1, 2) + UnitMember(2, 2, 3) + UnitMember(3, 1, 2),
       UnitPlotMember(1, 1, 2) + UnitPlotMember(2, 2, 3) + UnitPlotMember(3, 1, 2),
       "    2"},
  };
  for (const auto& [errors, text] :
       {std::pair{&numberErrors, "0ELEMENT NUMBER ERROR M ="}, std::pair{&nodeErrors, "0ELEMENT NODE ERROR M ="}}) {
    for (const RefusedMembers& r : *errors) {
      const std::string notice = Lines({text + r.number});
      cases.push_back({r.name, PairData(r.NELE, r.records), PairReport(r.NELE) + r.echoed + notice,
                       PairPlot(r.NELE) + r.plotted, notice});
    }
  }
  // NELE = 0: one member record is still read and echoed, MUD is 2, both nodes are fixed so
  // the solution is all zeros, and no stress line follows the heads.
  cases.push_back(
      {"NeleZeroStillReadsOneMember", PairData(0, {"1 1 2 1.0 1.0"}),
       PairReport(0) + UnitMember(1, 1, 2) + BandWidth(2) + DisplacementHead() + DisplacementLine(1, z4, z4, z4) +
           DisplacementLine(2, z4, z4, z4) + StressHeads(),
       PairPlot(0) + UnitPlotMember(1, 1, 2) + PlotDisplacement(1, z4, z4, z4) + PlotDisplacement(2, z4, z4, z4), ""});
  // Counts beyond the capacities: refused right after the counts are written; nothing more
  // is read (the data file ends after the counts).
  const std::string tooLarge = Lines({"0MODEL TOO LARGE: AT MOST 50 NODES AND 50 ELEMENTS"});
  cases.push_back({"TooManyNodes", DataFile({"BIG", "1 51"}), ReportHead("BIG", 1, 51) + tooLarge,
                   PlotHead("BIG", 1, 51), tooLarge});
  cases.push_back({"TooManyMembers", DataFile({"BIG", "51 2"}), ReportHead("BIG", 51, 2) + tooLarge,
                   PlotHead("BIG", 51, 2), tooLarge});
  return cases;
}

TEST(DataChecksTest, ReportToFile) {
  for (const DataCase& c : Cases()) {
    SCOPED_TRACE(c.name + " with data:\n" + c.data);
    RunResult run = RunProgram("model.dat\nout.txt\n", {{"model.dat", c.data}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    // The records of a refused model or a failed solution also reach the console.
    EXPECT_EQ(run.out, std::string(kDialogue) + ToConsole(c.notices) + "\r\n" + kStopMessage);
    EXPECT_EQ(run.files["out.txt"], c.report);
    EXPECT_EQ(run.files["TRUSS.GRP"], c.plot);
  }
}

TEST(DataChecksTest, ReportOnTheTerminalShowsEachRecordOnce) {
  for (const DataCase& c : Cases()) {
    SCOPED_TRACE(c.name + " with data:\n" + c.data);
    RunResult run = RunProgram("model.dat\nTT:\n", {{"model.dat", c.data}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n" + ToConsole(c.report) + "\r\n" + kStopMessage);
    EXPECT_EQ(run.files["TRUSS.GRP"], c.plot);
    EXPECT_EQ(run.files.size(), 2u);
  }
}

TEST(DataChecksTest, LossOfSignificanceIsReportedBeforeTheResults) {
  // Node 2 at (1, 1) between two bars that are nearly in line (the second ends at (2, 2.004)):
  // the stiffness across the bars is about 4E-6 of that along them, below the tolerance 1E-5,
  // so row 5 (node 2, y) warns. The figures of such a solution are not checked here.
  const std::string data =
      DataFile({"NEARLY COLLINEAR BARS", "2 3", "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "2 0 0 1 1.0 1.0 0.0 0.0 100.0 0.0",
                "3 1 1 1 2.0 2.004 0.0 0.0 0.0 0.0", "1 1 2 1000.0 1.0", "2 2 3 1000.0 1.0"});
  const RunResult run = RunProgram("model.dat\nout.txt\n", {{"model.dat", data}});
  EXPECT_EQ(run.exitCode, 0);
  const std::string warning = Lines({"0WARNING: LOSS OF SIGNIFICANCE AT EQUATION   5"});
  EXPECT_EQ(run.out, std::string(kDialogue) + ToConsole(warning) + "\r\n" + kStopMessage);
  const std::string& report = run.files.at("out.txt");
  EXPECT_NE(report.find(BandWidth(5) + warning + DisplacementHead()), std::string::npos) << report;
  EXPECT_NE(report.find(StressHeads()), std::string::npos) << report;
  // Two stress lines follow, and the plot file has all six sections.
  EXPECT_EQ(report.substr(report.find(StressHeads()) + StressHeads().size()).size(), 2 * 34u);
  EXPECT_EQ(run.files.at("TRUSS.GRP").size(), 83u + 10 + 3 * 77 + 2 * 43 + 3 * 54 + 2 * 22);
}

}  // namespace
}  // namespace e2e
