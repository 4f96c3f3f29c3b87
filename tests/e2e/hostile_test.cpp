// Data files no user should write, run through the whole program: each ends with the analysis or
// with a documented message or numbered error, and leaves the report and the plot file on disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/expected_report.h"
#include "tests/e2e/program_runner.h"

namespace e2e {
namespace {

const std::string kTitle = "TWO-BAR TRUSS: APEX LOAD OF 1000 DOWN, BARS 5 LONG AT 3-4-5 SLOPE";
const std::vector<std::string> kTwoBar = {kTitle,
                                          "2 3",
                                          "1 1 1 1 0.0 0.0 0.0 0.0 0.0 0.0",
                                          "2 0 0 1 4.0 3.0 0.0 0.0 -1000.0 0.0",
                                          "3 1 1 1 8.0 0.0 0.0 0.0 0.0 0.0",
                                          "1 1 2 200000.0 10.0",
                                          "2 2 3 200000.0 10.0"};

// The two-bar data file with record `index` replaced.
std::string TwoBarWith(std::size_t index, const std::string& record) {
  std::vector<std::string> lines = kTwoBar;
  lines[index] = record;
  return DataFile(lines);
}

// The two-bar data file with the first `from` (or every one) replaced by `to`.
std::string TwoBarReplacing(const std::string& from, const std::string& to, bool every = false) {
  std::string data = DataFile(kTwoBar);
  for (std::size_t at = data.find(from); at != std::string::npos; at = every ? data.find(from, at + to.size()) : at) {
    data.replace(at, from.size(), to);
    if (!every) break;
  }
  return data;
}

// Two fixed nodes and one member record numbered `M`.
std::string MemberNumbered(const std::string& M) {
  return DataFile({"T", "1 2", "1 1 1 1 0 0 0 0 0 0", "2 1 1 1 1 0 0 0 0 0", M + " 1 2 1 1"});
}

// 50 nodes and 50 members with the widest band: nodes 1 to 49 fixed on a 7 x 7 grid in the
// plane z = 0, node 50 free above the grid and braced to each of them, member 1 joining node 1
// to node 50 (49 nodes apart: MUD = 3 x 49 + 2 = 149), member 50 joining nodes 1 and 2.
std::string ModelAtCapacity() {
  std::vector<std::string> lines = {"50 NODES, 50 MEMBERS, THE WIDEST BAND", "50 50"};
  for (int k = 1; k <= 49; ++k) {
    lines.push_back(std::to_string(k) + " 1 1 1 " + std::to_string((k - 1) % 7) + " " + std::to_string((k - 1) / 7) +
                    " 0 0 0 0");
  }
  lines.push_back("50 0 0 0 3 3 5 100 -200 -300");
  for (int k = 1; k <= 49; ++k) lines.push_back(std::to_string(k) + " " + std::to_string(k) + " 50 1000 1");
  lines.push_back("50 1 2 1000 1");
  return DataFile(lines);
}

// The report of a READ error on the data file: the condition, the text and where it stands.
std::string ReadError(const std::string& code, const std::string& message) {
  return FatalReport(code, "READ(data.dat)", message);
}
std::string EndOfFileAfter(int line) { return ReadError("F6501", "end of file after line " + std::to_string(line)); }
const std::string kInteger = "invalid character in integer field \"";
const std::string kTooLarge = "integer value too large for the item \"";
const std::string kReal = "invalid real value \"";
const std::string kWrongForm = "list-directed value of the wrong form for the item \"";

const std::string kFailed = "0SOLUTION FAILED: STIFFNESS MATRIX IS NOT POSITIVE DEFINITE\r\n";
const std::string kWarning = "0WARNING: LOSS OF SIGNIFICANCE AT EQUATION   5\r\n";
const std::string kResults = " STRESSES IN ELEMENTS";
const std::string kApexDown = "   NODE NUMBER  2                .0000E+00           -.3472E-02            .0000E+00";

struct HostileCase {
  std::string name;
  std::string data;
  int exitCode;
  std::string err;     // standard error, whole
  std::string report;  // a text the report must hold ("" for none)
  int plotRecords;     // records of a plot file that holds the results; 0: the run ends before them
};

std::vector<HostileCase> Cases() {
  const std::string blanks10MB(10u << 20, ' ');
  const std::string blanks1MB(1u << 20, ' ');
  std::string digits300(300, '0');
  digits300[0] = '2';
  std::string crOnly = DataFile(kTwoBar);
  for (char& c : crOnly) c = c == '\n' ? '\r' : c;
  return {
      {"EmptyFile", "", 1, EndOfFileAfter(0), "", 0},
      {"TitleOnly", "TITLE ONLY\n", 1, EndOfFileAfter(1), "  TITLE ONLY", 0},
      {"CountsOnly", "T\n2 3\n", 1, EndOfFileAfter(2), "NUMBER OF NODES(NNODE)  =  3", 0},
      {"HugeCounts", "T\n99999999 3\n", 0, "",
       "NUMBER OF ELEMENTS(NELE)=***\r\n     NUMBER OF NODES(NNODE)  =  3\r\n0MODEL TOO LARGE", 0},
      {"NegativeCountsAndNoRecords", "T\n-1 -3\n", 1, EndOfFileAfter(2), "NUMBER OF NODES(NNODE)  = -3", 0},
      {"NegativeCountsAndNodeOne", "T\n-1 -3\n1 1 1 1 0 0 0 0 0 0\n", 0, "", "0NODAL POINT ERROR N =    1", 0},
      {"NodeNumberZero", TwoBarWith(2, "0 1 1 1 0 0 0 0 0 0"), 0, "", "0NODAL POINT ERROR N =    0", 0},
      {"NodeNumberMinusOne", TwoBarWith(2, "-1 1 1 1 0 0 0 0 0 0"), 0, "", "0NODAL POINT ERROR N =   -1", 0},
      {"NodeNumber51", TwoBarWith(3, "51 0 0 1 4 3 0 0 -1000 0"), 0, "", "0NODAL POINT ERROR N =   51", 0},
      {"NodeNumberLargest", TwoBarWith(3, "2147483647 0 0 1 4 3 0 0 0 0"), 0, "", "0NODAL POINT ERROR N =*****", 0},
      {"NodeNumberBeyondInteger", TwoBarWith(3, "2147483648 0 0 1 4 3 0 0 0 0"), 1,
       ReadError("F6100", kTooLarge + "2147483648\" in line 4, column 1"), "", 0},
      {"MemberNumberZero", MemberNumbered("0"), 0, "", "0ELEMENT NUMBER ERROR M =    0", 0},
      {"MemberNumberMinusOne", MemberNumbered("-1"), 0, "", "0ELEMENT NUMBER ERROR M =   -1", 0},
      {"MemberNumber51", MemberNumbered("51"), 0, "", "0ELEMENT NUMBER ERROR M =   51", 0},
      {"MemberNumberLargest", MemberNumbered("2147483647"), 0, "", "0ELEMENT NUMBER ERROR M =*****", 0},
      {"MemberNumberBeyondInteger", MemberNumbered("2147483648"), 1,
       ReadError("F6100", kTooLarge + "2147483648\" in line 5, column 1"), "", 0},
      // Longer than the 260-character value buffer: refused, never cut to a wrong value.
      {"ValueOf300Digits", TwoBarReplacing("200000.0", digits300), 1,
       ReadError("F6103", kReal + digits300.substr(0, 20) + "\"... in line 6, column 7"), "", 0},
      // A line beyond the 4 MB record bound is refused at once; one of 1 MB is read.
      {"TenMegabytesOfBlanksBeforeTheCounts", TwoBarReplacing("2 3\n", blanks10MB + "2 3\n"), 1,
       ReadError("F6601", "record length exceeded in line 2"), "", 0},
      {"LineOfOneMegabyte", TwoBarReplacing("2 3\n", "2 3" + blanks1MB + "\n"), 0, "", kApexDown, 12},
      {"NulInAValue", TwoBarReplacing("4.0 3.0", std::string("4.0\0 3.0", 8)), 1,
       ReadError("F6103", kReal + "4.0\\x00\" in line 4, column 9"), "", 0},
      {"NulInTheTitle", TwoBarReplacing("TWO-BAR", std::string("TWO\0BAR", 7)), 0, "",
       std::string("  TWO\0BAR TRUSS", 15), 12},
      {"ByteTwentySixMidFile", TwoBarReplacing("3 1 1 1", "\x1a" "3 1 1 1"), 1,
       ReadError("F6101", kInteger + "\\x1A3\" in line 5, column 1"), "", 0},
      // Typos, each named by its line, its column and its text.
      {"TypoInACoordinate", TwoBarReplacing("4.0 3.0", "4.O 3.0"), 1,
       ReadError("F6103", kReal + "4.O\" in line 4, column 9"), "", 0},
      {"CommentLine", TwoBarReplacing("1 1 1 1", "NODES: N IX IY IZ X Y Z FX FY FZ\n1 1 1 1"), 1,
       ReadError("F6101", kInteger + "NODES:\" in line 3, column 1"), "", 0},
      {"ExponentWithoutDigits", TwoBarReplacing(" 10.0", " 1e+ 1"), 1,
       ReadError("F6103", kReal + "1e+\" in line 6, column 16"), "", 0},
      {"RealOverflowing", TwoBarReplacing("8.0 0.0", "1E400 0.0"), 1,
       ReadError("F6102", "real value overflows in conversion \"1E400\" in line 5, column 9"), "", 0},
      {"RealBeyondSinglePrecision", TwoBarReplacing("8.0 0.0", "1E39 0.0"), 1,
       ReadError("F6104", "value out of REAL*4 range \"1E39\" in line 5, column 9"), "", 0},
      {"RadixTwice", TwoBarReplacing("2 0 0 1", "16#1#2 0 0 1"), 1,
       ReadError("F6302", "second # in integer field \"16#1#2\" in line 4, column 1"), "", 0},
      {"RadixOutOfRange", TwoBarReplacing("2 0 0 1", "37#2 0 0 1"), 1,
       ReadError("F6303", "radix outside 2 to 36 \"37#2\" in line 4, column 1"), "", 0},
      {"RepeatCountZero", TwoBarReplacing("2 0 0 1", "2 0*5 1"), 1,
       ReadError("F6502", "repeat count zero in list-directed input \"0*5\" in line 4, column 3"), "", 0},
      {"RepeatCountTwice", TwoBarReplacing("2 0 0 1", "2 2*3*1"), 1,
       ReadError("F6503", "second repeat count for one value \"2*3*1\" in line 4, column 3"), "", 0},
      {"QuotedCoordinate", TwoBarReplacing("4.0 3.0", "'4.0' 3.0"), 1,
       ReadError("F6504", kWrongForm + "'4.0'\" in line 4, column 9"), "", 0},
      // A carriage return inside a record separates values; none of the values after it is lost.
      {"CarriageReturnWithoutLineFeed", TwoBarReplacing("0.0 -1000.0", "0.0\r-1000.0"), 0, "", kApexDown, 12},
      {"CarriageReturnLineEndsOnly", crOnly, 1, EndOfFileAfter(1), "  " + kTitle, 0},
      {"Utf8Title", TwoBarReplacing("TWO-BAR TRUSS", "STAB \xC3\x84\xC3\x96\xC3\x9C \xE2\x80\x94 \xE6\xA2\x81"), 0, "",
       "  STAB \xC3\x84\xC3\x96\xC3\x9C \xE2\x80\x94 \xE6\xA2\x81: APEX LOAD", 12},
      // The second bar 1E38 long carries nothing: the apex is held by one bar only.
      {"CoordinateOf1E38", TwoBarReplacing("8.0 0.0 0.0", "1E38 0.0 0.0"), 0, "", kWarning, 12},
      // A bar 1.4E-45 long: E A / L overflows.
      {"CoordinatesOf1E45", TwoBarReplacing("4.0 3.0", "1E-45 1E-45"), 1,
       FatalReport("M6104", "MATH", "floating-point error: overflow"), "", 0},
      {"ModulusZero", TwoBarReplacing("200000.0", "0.0", true), 0, "", kFailed, 0},
      {"ModulusNegative", TwoBarReplacing("200000.0", "-200000.0", true), 0, "", kFailed, 0},
      // One bar without area: the apex is held by the other bar only.
      {"AreaZero", TwoBarReplacing(" 10.0", " 0.0"), 0, "", kWarning, 12},
      {"AreaNegative", TwoBarReplacing(" 10.0", " -10.0", true), 0, "", kFailed, 0},
      {"MemberFromANodeToItself", TwoBarReplacing("1 1 2 200000", "1 1 1 200000"), 1,
       FatalReport("M6101", "MATH", "floating-point error: invalid"), "", 0},
      {"EveryNodeFixed", TwoBarReplacing("2 0 0 1", "2 1 1 1"), 0, "",
       "   NODE NUMBER  2                .0000E+00            .0000E+00            .0000E+00", 12},
      {"NoNodeFixed", TwoBarReplacing("1 1 1 1", "1 0 0 0"), 0, "",
       kFailed + "     NODE  1 DIRECTION Z IS FREE BUT HAS NO STIFFNESS\r\n", 0},
      // The apex on the line of the supports: the bars cannot carry a load across it.
      {"Mechanism", TwoBarReplacing("4.0 3.0", "4.0 0.0"), 0, "", kFailed, 0},
      {"ModelAtCapacity", ModelAtCapacity(), 0, "", "NUMBER OF NONZERO UPPER CO-DIAGONALS(MUD)=149\r\n", 202},
  };
}

TEST(HostileDataTest, EachEndsWithTheAnalysisOrItsMessage) {
  for (const HostileCase& c : Cases()) {
    const RunResult run = RunProgram("data.dat\nrep.txt\n", {{"data.dat", c.data}});
    EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
    EXPECT_EQ(run.err, c.err) << c.name;
    ASSERT_EQ(run.files.size(), 3u) << c.name << ": the data file, the report and the plot file";
    const std::string& report = run.files.at("rep.txt");
    const std::string& plot = run.files.at("TRUSS.GRP");
    EXPECT_NE(report.find(c.report), std::string::npos) << c.name << ": the report lacks\n" << c.report;
    EXPECT_EQ(report.find(kResults) != std::string::npos, c.plotRecords != 0) << c.name;
    // Whatever the ending, both files hold whole records only.
    EXPECT_TRUE(report.empty() || report.ends_with("\r\n")) << c.name;
    EXPECT_TRUE(plot.empty() || plot.ends_with("\r\n")) << c.name;
    if (c.exitCode == 0) {
      EXPECT_TRUE(run.out.ends_with(kStopMessage)) << c.name;
    }
    if (c.plotRecords != 0) {
      // Title, counts, then one record per node and member for the model and again for the
      // displacements and the stresses.
      std::size_t records = 0;
      for (std::size_t at = plot.find("\r\n"); at != std::string::npos; at = plot.find("\r\n", at + 2)) ++records;
      EXPECT_EQ(records, static_cast<std::size_t>(c.plotRecords)) << c.name;
    }
  }
}

// The console part of the dialogue up to the first answer, left open by its prompt.
const std::string kFirstPrompt = "TRUSS ANALYSIS PROGRAM \r\n\r\nTYPE DATA INPUT FILE NAME: ";
const std::string kQuestion = "File name missing or blank - please enter file name\r\nUNIT 9? ";

struct ConsoleCase {
  std::string name;
  std::string answers;  // everything standard input holds
  int exitCode;
  std::string out;  // standard output, whole ("" for a whole analysis: checked by its end)
  std::string err;  // standard error, whole
};

// Answers no user should type. A refused answer ends the run before any file is made; the open
// prompt line is ended by the closing.
std::vector<ConsoleCase> ConsoleCases() {
  const std::string name80(80, 'd');
  const std::string megabyte(1u << 20, 'x');
  const std::string afterBoth = kDialogue + std::string("\r\n");
  return {
      {"NoAnswerAtAll", "", 1, kFirstPrompt + "\r\n", FatalReport("F6501", "READ(CON)", "end of file")},
      {"NoReportAnswer", "data.dat\n", 1, afterBoth, FatalReport("F6501", "READ(CON)", "end of file")},
      {"CtrlZAsTheFirstAnswer", "\x1a\r\ndata.dat\nrep.txt\n", 1, kFirstPrompt + "\r\n",
       FatalReport("F6501", "READ(CON)", "end of file")},
      // A carriage return ends the answer; the rest of its line, up to a line feed that never
      // comes, is skipped, and with it the second answer.
      {"CarriageReturnLineEnds", "data.dat\rrep.txt\r", 1, afterBoth, FatalReport("F6501", "READ(CON)", "end of file")},
      {"NulInTheName", std::string("da\0ta.dat\nrep.txt\n", 18), 1, afterBoth,
       FatalReport("F6412", std::string("OPEN(da\0ta.dat)", 15), "invalid file name or argument")},
      {"ControlAndHighBytesInTheName", "\x01\x7f\xff\xfe\nrep.txt\n", 1, afterBoth,
       FatalReport("F6416", "OPEN(\x01\x7f\xff\xfe)", "file not found")},
      {"AnswerOf130CharactersIsCutAt80", name80 + std::string(50, 'e') + "\nrep.txt\n", 0, "", ""},
      {"AnswerOfOneMegabyte", megabyte + "\nrep.txt\n", 1, kFirstPrompt + "\r\n",
       FatalReport("F6407", "READ(CON)", "console line too long")},
      {"BlankNameAndTheInputEnds", "\nrep.txt\n", 1, afterBoth + kQuestion + "\r\n",
       FatalReport("F6501", "OPEN()", "end of file")},
      // A reply of a carriage return alone is empty and asked again; the reply of a megabyte
      // keeps its first 260 characters: a name this system takes, but longer than any one name
      // the file system holds.
      {"BlankNameAndAReplyOfOneMegabyte", "\nrep.txt\n\r\n" + megabyte + "\n", 1,
       afterBoth + kQuestion + "\r\n" + kQuestion + "\r\n",
       FatalReport("F6412", "OPEN(" + std::string(260, 'x') + ")", "invalid file name or argument")},
  };
}

TEST(HostileConsoleTest, EachAnswerEndsWithTheAnalysisOrItsError) {
  for (const ConsoleCase& c : ConsoleCases()) {
    const RunResult run =
        RunProgram(c.answers, {{"data.dat", DataFile(kTwoBar)}, {std::string(80, 'd'), DataFile(kTwoBar)}});
    EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
    EXPECT_EQ(run.err, c.err) << c.name;
    if (c.exitCode == 0) {
      EXPECT_TRUE(run.out.ends_with(kStopMessage)) << c.name;
      ASSERT_EQ(run.files.count("rep.txt"), 1u) << c.name;
      EXPECT_NE(run.files.at("rep.txt").find(kApexDown), std::string::npos) << c.name;
    } else {
      EXPECT_EQ(run.out, c.out) << c.name;
      EXPECT_EQ(run.files.size(), 2u) << c.name << ": no file is made";
    }
  }
}

}  // namespace
}  // namespace e2e
