// The built program run as a process: the dialogue, the report on a file and on the terminal,
// the plot file, and the runs that end with a fatal error.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/expected_report.h"
#include "tests/e2e/program_runner.h"

namespace e2e {
namespace {

const std::string kTwoBarTitle = "TWO-BAR TRUSS: APEX LOAD OF 1000 DOWN, BARS 5 LONG AT 3-4-5 SLOPE";
const std::string kZero6 = "0.000000E+00";  // 0 under 1PE15.6
const std::string kZero4 = ".0000E+00";     // 0 under E10.4 and E15.4

// Two bars from the supports (0,0) and (8,0) to the apex (4,3), each 5 long, E = 200000, A = 10,
// the apex loaded with 1000 downwards and held in z.
std::string TwoBarData(const std::string& node1 = "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0",
                       const std::string& node2 = "2 0 0 1 4.0 3.0 0.0 0.0 -1000.0 0.0",
                       const std::string& node3 = "3 1 1 1 8.0 0.0 0.0 0.0 0.0 0.0") {
  return DataFile({kTwoBarTitle, "2 3", node1, node2, node3, "1 1 2 200000.0 10.0", "2 2 3 200000.0 10.0"});
}

std::string TwoBarModelReport() {
  return ReportHead(kTwoBarTitle, 2, 3) + NodeHead() +
         NodeEcho(1, {1, 1, 1}, {kZero6, kZero6, kZero6, kZero6, kZero6, kZero6}) +
         NodeEcho(2, {0, 0, 1}, {"4.000000E+00", "3.000000E+00", kZero6, kZero6, "-1.000000E+03", kZero6}) +
         NodeEcho(3, {1, 1, 1}, {"8.000000E+00", kZero6, kZero6, kZero6, kZero6, kZero6}) + MemberHead() +
         MemberEcho(1, 1, 2, "2.0000E+05", "1.0000E+01") + MemberEcho(2, 2, 3, "2.0000E+05", "1.0000E+01") +
         BandWidth(5);
}

// By hand: both bars have L = 5 and direction cosines (0.8, 0.6) and (0.8, -0.6), so EA/L =
// 400000. At the apex the xy terms of the two bars cancel; the vertical stiffness is
// 2 * 400000 * 0.6^2 = 288000, so v = -1000 / 288000 = -3.4722E-3, and u = 0 (no horizontal
// load). Stress = E/L * c . (uJ - uI) = 40000 * 0.6 * -3.4722E-3 = -83.333 in both bars, the
// same as the bar force -1000 / (2 * 0.6) = -833.33 over A = 10.
std::string TwoBarResultsReport() {
  return DisplacementHead() + DisplacementLine(1, kZero4, kZero4, kZero4) +
         DisplacementLine(2, kZero4, "-.3472E-02", kZero4) + DisplacementLine(3, kZero4, kZero4, kZero4) +
         StressHeads() + StressLine(1, "-.83333E+02") + StressLine(2, "-.83333E+02");
}

std::string TwoBarModelPlot() {
  return PlotHead(kTwoBarTitle, 2, 3) + PlotNode(1, {1, 1, 1}, {kZero4, kZero4, kZero4, kZero4, kZero4, kZero4}) +
         PlotNode(2, {0, 0, 1}, {".4000E+01", ".3000E+01", kZero4, kZero4, "-.1000E+04", kZero4}) +
         PlotNode(3, {1, 1, 1}, {".8000E+01", kZero4, kZero4, kZero4, kZero4, kZero4}) +
         PlotMember(1, 1, 2, ".2000E+06", ".1000E+02") + PlotMember(2, 2, 3, ".2000E+06", ".1000E+02");
}

std::string TwoBarResultsPlot() {
  return PlotDisplacement(1, kZero4, kZero4, kZero4) + PlotDisplacement(2, kZero4, "-.3472E-02", kZero4) +
         PlotDisplacement(3, kZero4, kZero4, kZero4) + PlotStress(1, "-.83333E+02") + PlotStress(2, "-.83333E+02");
}

std::string TwoBarReport() { return TwoBarModelReport() + TwoBarResultsReport(); }
std::string TwoBarPlot() { return TwoBarModelPlot() + TwoBarResultsPlot(); }

// Files of a run other than the data file.
std::vector<std::string> NamesBesides(const RunResult& run, const std::string& data) {
  std::vector<std::string> names;
  for (const auto& [name, contents] : run.files) {
    if (name != data) names.push_back(name);
  }
  return names;
}

using Names = std::vector<std::string>;

TEST(RunProgramTest, TwoBarTrussReportToFile) {
  const RunResult run = RunProgram("two_bar.dat\nout.txt\n", {{"two_bar.dat", TwoBarData()}});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n" + kStopMessage);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.files.at("out.txt"), TwoBarReport());
  EXPECT_EQ(run.files.at("TRUSS.GRP"), TwoBarPlot());
  EXPECT_EQ(NamesBesides(run, "two_bar.dat"), (Names{"TRUSS.GRP", "out.txt"}));
}

TEST(RunProgramTest, AnswersWithCarriageReturnsAreTheSameAnswers) {
  const RunResult run = RunProgram("two_bar.dat\r\nout.txt\r\n", {{"two_bar.dat", TwoBarData()}});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.files.at("out.txt"), TwoBarReport());
}

// Subtle: the driver's CLOSE of the report unit, when that is the console, ends the open prompt
// line; the report's first record then starts a new page.
std::string OnTheTerminal(const std::string& report) {
  return std::string(kDialogue) + "\r\n" + ToConsole(report) + "\r\n" + kStopMessage;
}

TEST(RunProgramTest, TwoBarTrussReportOnTheTerminal) {
  const RunResult run = RunProgram("two_bar.dat\nTT:\n", {{"two_bar.dat", TwoBarData()}});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, OnTheTerminal(TwoBarReport()));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.files.at("TRUSS.GRP"), TwoBarPlot());
  EXPECT_EQ(NamesBesides(run, "two_bar.dat"), (Names{"TRUSS.GRP"}));
}

TEST(RunProgramTest, ConsoleKeywordNeedsExactlyTTColonAndBlanks) {
  struct Case {
    std::string answer;    // the typed report name
    std::string fileName;  // the report file created, or empty for the terminal
  };
  const Case cases[] = {
      {"TT:", ""},     {"tt:", ""},      {"TT:     ", ""},   {"Tt:", "Tt:"}, {"tT:", "tT:"},
      {" TT:", "TT:"}, {"TT:x", "TT:x"}, {"TT:\t", "TT:\t"}, {"TT", "TT"},   {"tt:.", "tt:."},
  };
  for (const Case& c : cases) {
    const RunResult run = RunProgram("two_bar.dat\n" + c.answer + "\n", {{"two_bar.dat", TwoBarData()}});
    SCOPED_TRACE("answer \"" + c.answer + "\"");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.files.at("TRUSS.GRP"), TwoBarPlot());
    if (c.fileName.empty()) {
      EXPECT_EQ(run.out, OnTheTerminal(TwoBarReport()));
      EXPECT_EQ(NamesBesides(run, "two_bar.dat"), (Names{"TRUSS.GRP"}));
    } else {
      EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n" + kStopMessage);
      ASSERT_EQ(run.files.count(c.fileName), 1u);
      EXPECT_EQ(run.files.at(c.fileName), TwoBarReport());
    }
  }
}

TEST(RunProgramTest, BlankDataFileNameTakesTheCommandLineArgument) {
  const RunResult run = RunProgram("\nout.txt\n", {{"two_bar.dat", TwoBarData()}}, {"two_bar.dat"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n" + kStopMessage);
  EXPECT_EQ(run.files.at("out.txt"), TwoBarReport());
}

TEST(RunProgramTest, BlankDataFileNameIsAskedForUntilGiven) {
  const RunResult run = RunProgram("\nout.txt\n\ntwo_bar.dat\n", {{"two_bar.dat", TwoBarData()}});
  EXPECT_EQ(run.exitCode, 0);
  const std::string question = "File name missing or blank - please enter file name\r\nUNIT 9? ";
  // Each question ends the line left open before it; the reply comes through the pipe.
  EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n" + question + "\r\n" + question + "\r\n" + kStopMessage);
  EXPECT_EQ(run.files.at("out.txt"), TwoBarReport());
}

TEST(RunProgramTest, MissingDataFileEndsBeforeAnyFileIsCreated) {
  const RunResult run = RunProgram("nosuch.dat\nout.txt\n", {{"two_bar.dat", TwoBarData()}});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n");
  EXPECT_EQ(run.err, "\r\nrun-time error F6416: OPEN(nosuch.dat)\r\n- file not found\r\n");
  EXPECT_EQ(NamesBesides(run, "two_bar.dat"), Names{});
}

TEST(RunProgramTest, ExistingPlotFileEndsAfterTheReportFileIsCreated) {
  const RunResult run =
      RunProgram("two_bar.dat\nout.txt\n", {{"two_bar.dat", TwoBarData()}, {"TRUSS.GRP", "earlier run\r\n"}});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n");
  EXPECT_EQ(run.err, "\r\nrun-time error F6415: OPEN(TRUSS.GRP)\r\n- file already exists\r\n");
  EXPECT_EQ(run.files.at("out.txt"), "");
  EXPECT_EQ(run.files.at("TRUSS.GRP"), "earlier run\r\n");
}

TEST(RunProgramTest, ExistingReportFileEndsBeforeThePlotFileIsCreated) {
  const RunResult run = RunProgram("two_bar.dat\nout.txt\n", {{"two_bar.dat", TwoBarData()}, {"out.txt", "keep me"}});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "\r\nrun-time error F6415: OPEN(out.txt)\r\n- file already exists\r\n");
  EXPECT_EQ(run.files.at("out.txt"), "keep me");
  EXPECT_EQ(run.files.count("TRUSS.GRP"), 0u);
}

TEST(RunProgramTest, ReportNamedLikeThePlotFileMakesThePlotFileFail) {
  const RunResult run = RunProgram("two_bar.dat\nTRUSS.GRP\n", {{"two_bar.dat", TwoBarData()}});
  EXPECT_EQ(run.exitCode, 1);
  // The file is found connected to unit 7 before its existence is looked at.
  EXPECT_EQ(run.err, "\r\nrun-time error F6413: OPEN(TRUSS.GRP)\r\n- file already connected to another unit\r\n");
  EXPECT_EQ(run.files.at("TRUSS.GRP"), "");
}

TEST(RunProgramTest, DataFileEndingEarlyKeepsWhatWasWritten) {
  const std::string data =
      DataFile({kTwoBarTitle, "2 3", "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "2 0 0 1 4.0 3.0 0.0 0.0 -1000.0 0.0"});
  const RunResult run = RunProgram("short.dat\nout.txt\n", {{"short.dat", data}});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n");
  EXPECT_EQ(run.err, "\r\nrun-time error F6501: READ(short.dat)\r\n- end of file after line 4\r\n");
  EXPECT_EQ(run.files.at("out.txt"),
            ReportHead(kTwoBarTitle, 2, 3) + NodeHead() +
                NodeEcho(1, {1, 1, 1}, {kZero6, kZero6, kZero6, kZero6, kZero6, kZero6}) +
                NodeEcho(2, {0, 0, 1}, {"4.000000E+00", "3.000000E+00", kZero6, kZero6, "-1.000000E+03", kZero6}));
  EXPECT_EQ(run.files.at("TRUSS.GRP"),
            PlotHead(kTwoBarTitle, 2, 3) + PlotNode(1, {1, 1, 1}, {kZero4, kZero4, kZero4, kZero4, kZero4, kZero4}) +
                PlotNode(2, {0, 0, 1}, {".4000E+01", ".3000E+01", kZero4, kZero4, "-.1000E+04", kZero4}));
}

TEST(RunProgramTest, MemberRecordEndingEarlyKeepsTheMembersBeforeIt) {
  const std::string data =
      DataFile({kTwoBarTitle, "2 3", "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "2 0 0 1 4.0 3.0 0.0 0.0 -1000.0 0.0",
                "3 1 1 1 8.0 0.0 0.0 0.0 0.0 0.0", "1 1 2 200000.0 10.0", "2 2 3 200000.0"});
  const RunResult run = RunProgram("short.dat\nout.txt\n", {{"short.dat", data}});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "\r\nrun-time error F6501: READ(short.dat)\r\n- end of file after line 7\r\n");
  const std::string report = TwoBarModelReport();
  EXPECT_EQ(run.files.at("out.txt"), report.substr(0, report.find(MemberEcho(2, 2, 3, "2.0000E+05", "1.0000E+01"))));
  const std::string plot = TwoBarModelPlot();
  EXPECT_EQ(run.files.at("TRUSS.GRP"), plot.substr(0, plot.find(PlotMember(2, 2, 3, ".2000E+06", ".1000E+02"))));
}

TEST(RunProgramTest, TwoNodesAtOnePointEndWithAnInvalidOperation) {
  const RunResult run =
      RunProgram("two_bar.dat\nout.txt\n",
                 {{"two_bar.dat", TwoBarData("1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "2 0 0 1 4.0 3.0 0.0 0.0 -1000.0 0.0",
                                             "3 1 1 1 4.0 3.0 0.0 0.0 0.0 0.0")}});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out, std::string(kDialogue) + "\r\n");
  EXPECT_EQ(run.err, "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n");
  const std::string report = TwoBarModelReport();
  const std::string node3 = NodeEcho(3, {1, 1, 1}, {"8.000000E+00", kZero6, kZero6, kZero6, kZero6, kZero6});
  std::string expected = report;
  expected.replace(report.find(node3), node3.size(),
                   NodeEcho(3, {1, 1, 1}, {"4.000000E+00", "3.000000E+00", kZero6, kZero6, kZero6, kZero6}));
  EXPECT_EQ(run.files.at("out.txt"), expected);
  std::string plot = TwoBarModelPlot();
  const std::string plotNode3 = PlotNode(3, {1, 1, 1}, {".8000E+01", kZero4, kZero4, kZero4, kZero4, kZero4});
  plot.replace(plot.find(plotNode3), plotNode3.size(),
               PlotNode(3, {1, 1, 1}, {".4000E+01", ".3000E+01", kZero4, kZero4, kZero4, kZero4}));
  EXPECT_EQ(run.files.at("TRUSS.GRP"), plot);
}

TEST(RunProgramTest, LoadsOnFixedDirectionsAreEchoedButDoNotMove) {
  const std::string data = TwoBarData("1 1 1 1 0.0 0.0 0.0 500.0 -250.0 0.0", "2 0 0 1 4.0 3.0 0.0 0.0 -1000.0 77.0",
                                      "3 1 1 1 8.0 0.0 0.0 0.0 0.0 125.0");
  const RunResult run = RunProgram("two_bar.dat\nout.txt\n", {{"two_bar.dat", data}});
  EXPECT_EQ(run.exitCode, 0);
  const std::string report =
      ReportHead(kTwoBarTitle, 2, 3) + NodeHead() +
      NodeEcho(1, {1, 1, 1}, {kZero6, kZero6, kZero6, "5.000000E+02", "-2.500000E+02", kZero6}) +
      NodeEcho(2, {0, 0, 1}, {"4.000000E+00", "3.000000E+00", kZero6, kZero6, "-1.000000E+03", "7.700000E+01"}) +
      NodeEcho(3, {1, 1, 1}, {"8.000000E+00", kZero6, kZero6, kZero6, kZero6, "1.250000E+02"}) + MemberHead() +
      MemberEcho(1, 1, 2, "2.0000E+05", "1.0000E+01") + MemberEcho(2, 2, 3, "2.0000E+05", "1.0000E+01") + BandWidth(5) +
      TwoBarResultsReport();
  EXPECT_EQ(run.files.at("out.txt"), report);
  const std::string plot =
      PlotHead(kTwoBarTitle, 2, 3) +
      PlotNode(1, {1, 1, 1}, {kZero4, kZero4, kZero4, ".5000E+03", "-.2500E+03", kZero4}) +
      PlotNode(2, {0, 0, 1}, {".4000E+01", ".3000E+01", kZero4, kZero4, "-.1000E+04", ".7700E+02"}) +
      PlotNode(3, {1, 1, 1}, {".8000E+01", kZero4, kZero4, kZero4, kZero4, ".1250E+03"}) +
      PlotMember(1, 1, 2, ".2000E+06", ".1000E+02") + PlotMember(2, 2, 3, ".2000E+06", ".1000E+02") +
      TwoBarResultsPlot();
  EXPECT_EQ(run.files.at("TRUSS.GRP"), plot);
}

TEST(RunProgramTest, MemberRecordAboveNeleIsEchoedButTakesNoPart) {
  // Member 2 is generated from member 1 (ends one higher, same E and A), which is the two-bar
  // truss again; member 3 names nodes the model does not have and is only echoed.
  const std::string data =
      DataFile({kTwoBarTitle, "2 3", "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0", "2 0 0 1 4.0 3.0 0.0 0.0 -1000.0 0.0",
                "3 1 1 1 8.0 0.0 0.0 0.0 0.0 0.0", "1 1 2 200000.0 10.0", "3 5 6 1.0 2.0"});
  const RunResult run = RunProgram("two_bar.dat\nout.txt\n", {{"two_bar.dat", data}});
  EXPECT_EQ(run.exitCode, 0);
  std::string report = TwoBarModelReport();
  const std::string mud = BandWidth(5);
  report.insert(report.find(mud), MemberEcho(3, 5, 6, "1.0000E+00", "2.0000E+00"));
  EXPECT_EQ(run.files.at("out.txt"), report + TwoBarResultsReport());
  EXPECT_EQ(run.files.at("TRUSS.GRP"),
            TwoBarModelPlot() + PlotMember(3, 5, 6, ".1000E+01", ".2000E+01") + TwoBarResultsPlot());
}

}  // namespace
}  // namespace e2e
