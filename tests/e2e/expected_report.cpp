#include "tests/e2e/expected_report.h"

#include "tests/e2e/program_runner.h"

namespace e2e {
namespace {

std::string Title80(const std::string& title) { return title + Sp(80 - static_cast<int>(title.size())); }

}  // namespace

std::string Sp(int n) { return std::string(n > 0 ? n : 0, ' '); }

std::string Right(const std::string& text, int width) { return Sp(width - static_cast<int>(text.size())) + text; }

std::string Int(int value, int width) { return Right(std::to_string(value), width); }

std::string ToConsole(const std::string& reportFile) {
  std::string console;
  std::size_t start = 0;
  while (start < reportFile.size()) {
    const std::size_t end = reportFile.find("\r\n", start);
    const std::string record = reportFile.substr(start, end - start);
    start = end + 2;
    const char control = record.empty() ? ' ' : record[0];
    if (control == '1') {
      console += "\r\n\f\r \r";
    } else if (control == '0') {
      console += "\r\n\r\n";
    } else if (control == '+') {
      console += "\r";
    } else {
      console += "\r\n";
    }
    if (!record.empty()) console += record.substr(1);
  }
  return console;
}

std::string ReportHead(const std::string& title, int NELE, int NNODE) {
  return Lines({"1", Sp(2) + Title80(title), "0", Sp(5) + "NUMBER OF ELEMENTS(NELE)=" + Int(NELE, 3),
                Sp(5) + "NUMBER OF NODES(NNODE)  =" + Int(NNODE, 3)});
}

std::string NodeHead() {
  return Lines({"0", "", Sp(5) + "NODE POINTS",
                Sp(3) + "K" + Sp(10) + "IFIX" + Sp(15) + "XC(K)" + Sp(10) + "YC(K)" + Sp(10) + "ZC(K)" + Sp(18) +
                    "FORCE(1,K)" + Sp(5) + "FORCE(2,K)" + Sp(5) + "FORCE(3,K)"});
}

std::string NodeEcho(int K, std::array<int, 3> IFIX, const std::array<std::string, 6>& values) {
  std::string line = Sp(1) + Int(K, 3) + Sp(8) + Int(IFIX[0], 2) + Int(IFIX[1], 2) + Int(IFIX[2], 2) + Sp(10);
  for (int i = 0; i < 3; ++i) line += Right(values[i], 15);
  line += Sp(10);
  for (int i = 3; i < 6; ++i) line += Right(values[i], 15);
  return Lines({line});
}

std::string MemberHead() {
  return Lines({"0", "", Sp(5) + "ELEMENTS", Sp(3) + "K" + Sp(6) + "NODE(I,K)" + Sp(11) + "E(K)" + Sp(11) + "A(K)"});
}

std::string MemberEcho(int K, int I, int J, const std::string& E, const std::string& A) {
  return Lines({Sp(1) + Int(K, 3) + Sp(5) + Int(I, 5) + Int(J, 5) + Right(E, 15) + Right(A, 15)});
}

std::string BandWidth(int MUD) {
  return Lines({"0", "", Sp(5) + "NUMBER OF NONZERO UPPER CO-DIAGONALS(MUD)=" + Int(MUD, 3)});
}

std::string DisplacementHead() {
  return Lines({Sp(3) + " DISPLACEMENTS" + Sp(17) + "X" + Sp(20) + "Y" + Sp(20) + "Z", "", ""});
}

std::string DisplacementLine(int K, const std::string& x, const std::string& y, const std::string& z) {
  return Lines(
      {Sp(2) + " NODE NUMBER" + Int(K, 3) + Sp(10) + Right(x, 15) + Sp(6) + Right(y, 15) + Sp(6) + Right(z, 15), ""});
}

std::string StressHeads() {
  return Lines(
      {" STRESSES IN ELEMENTS (IN CURRENT UNITS)", "", "", Sp(5) + " ELEMENT NUMBER" + Sp(3) + " STRESS", "", ""});
}

std::string StressLine(int K, const std::string& stress) {
  return Lines({Sp(13) + Int(K, 3) + "=" + Right(stress, 15)});
}

std::string PlotHead(const std::string& title, int NELE, int NNODE) {
  return Lines({Sp(1) + Title80(title), Sp(1) + Int(NELE, 3) + " " + Int(NNODE, 3)});
}

std::string PlotNode(int K, std::array<int, 3> IFIX, const std::array<std::string, 6>& values) {
  std::string line = Sp(1) + Int(K, 2);
  for (int code : IFIX) line.append(" ").append(Int(code, 1));
  for (const std::string& value : values) line.append(" ").append(Right(value, 10));
  return Lines({line});
}

std::string PlotMember(int K, int I, int J, const std::string& E, const std::string& A) {
  return Lines({Sp(1) + Int(K, 2) + " " + Int(I, 2) + " " + Int(J, 2) + " " + Right(E, 15) + " " + Right(A, 15)});
}

std::string PlotDisplacement(int K, const std::string& x, const std::string& y, const std::string& z) {
  return Lines({Sp(1) + Int(K, 3) + " " + Right(x, 15) + " " + Right(y, 15) + " " + Right(z, 15)});
}

std::string PlotStress(int K, const std::string& stress) {
  return Lines({Sp(1) + Int(K, 3) + " " + Right(stress, 15)});
}

}  // namespace e2e
