#include "tests/e2e/expected_report.h"

#include "tests/e2e/program_runner.h"

namespace e2e {
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

}  // namespace e2e
