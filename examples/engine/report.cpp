// Writes a small report to a file, reads it back to the end of the file, and shows a line built
// in memory with Format and one taken apart with Parse.
#include <cstdint>
#include <string>
#include <string_view>

#include "fmtio/fmtio.h"

namespace {

struct Member {
  std::int32_t number;
  const char* name;
  float force;    // kN
  double stress;  // kN/m2
};

constexpr Member kMembers[] = {
    {1, "CHORD", 12.5f, 1.25e5},
    {2, "DIAG", -3.75f, -4.5e4},
    {3, "POST", 123456.0f, 9.0e7},  // too wide for F8.2: the field shows asterisks
};

}  // namespace

int main(int argc, char** argv) {
  fmtio::Start(argc, argv);
  int exitCode = 0;
  try {
    fmtio::OpenKeywords report;
    report.file = {"report.txt"};
    report.status = {"REPLACE"};
    fmtio::Open(20, report);
    fmtio::Write(20, "(' MEMBER FORCES'/'  NO NAME    FORCE      STRESS')");
    for (const Member& m : kMembers) {
      fmtio::Write(20, "(1X,I3,1X,A5,F8.2,E12.4)", m.number, m.name, m.force, m.stress);
    }
    fmtio::Close(20);

    // Back from the file, record by record, until the end of the file returns -1.
    report.status = {"OLD"};
    fmtio::Open(20, report);
    char line[40];
    std::int32_t lines = 0;
    while (fmtio::Read(fmtio::Options{fmtio::kEndBranch}, 20, "(A)", line) == 0) {
      std::string_view text(line, sizeof line);
      text = text.substr(0, text.find_last_not_of(' ') + 1);
      fmtio::Write(fmtio::kDefaultUnit, "(1X,A)", text);
      ++lines;
    }
    fmtio::Close(20);

    const std::string summary = fmtio::Format("(I2,' RECORDS READ BACK')", lines);
    fmtio::Write(fmtio::kDefaultUnit, "(1X,A)", summary);

    std::int32_t number = 0;
    char name[5];
    float force = 0.0f;
    fmtio::Parse("  7 BRACE   -1.50", "(I3,1X,A5,F8.2)", number, name, force);
    fmtio::Write(fmtio::kDefaultUnit, "(' MEMBER',I2,1X,A,' CARRIES',F6.2,' KN')", number, name, force);
    runtime::Stop();
  } catch (const runtime::RunEnded& end) {
    exitCode = end.exitCode;
  }
  return runtime::Finish(exitCode);
}
