#include "runtime/run_time_error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace runtime {
namespace {

std::string Shown(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c == '\r') text += "\\r";
    else if (c == '\n') text += "\\n";
    else text += static_cast<char>(c);
  }
  return "\"" + text + "\"";
}

struct ReportCase {
  StatementKind kind;
  char letter;
  int number;
  const char* message;  // null: the table's text
  const char* bytes;
};

// The report: CR LF, "run-time error ", letter and four digits, the kind's text, for kinds 0 to
// 10 the name in parentheses, then the message and CR LF.
TEST(FatalReportTest, EveryStatementKindAndLetter) {
  const ReportCase cases[] = {
      {StatementKind::kNone, 'F', 6501, "M", "\r\nrun-time error F6501: (DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kClose, 'F', 6501, "M", "\r\nrun-time error F6501: CLOSE(DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kWrite, 'F', 6501, "M", "\r\nrun-time error F6501: WRITE(DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kEndfile, 'F', 6501, "M", "\r\nrun-time error F6501: ENDFILE(DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kInquire, 'F', 6501, "M", "\r\nrun-time error F6501: INQUIRE(DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kLocking, 'F', 6501, "M", "\r\nrun-time error F6501: LOCKING(DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kOpen, 'F', 6501, "M", "\r\nrun-time error F6501: OPEN(DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kRead, 'F', 6501, "M", "\r\nrun-time error F6501: READ(DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kRewind, 'F', 6501, "M", "\r\nrun-time error F6501: REWIND(DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kBackspace, 'F', 6501, "M", "\r\nrun-time error F6501: BACKSPACE(DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kEof, 'F', 6501, "M", "\r\nrun-time error F6501: EOF(DATA.TXT)\r\n- M\r\n"},
      {StatementKind::kDebug, 'F', 6501, "M", "\r\nrun-time error F6501: $DEBUG\r\n- M\r\n"},
      {StatementKind::kAllocate, 'F', 6700, "M", "\r\nrun-time error F6700: ALLOCATE\r\n- M\r\n"},
      {StatementKind::kDeallocate, 'F', 6700, "M", "\r\nrun-time error F6700: DEALLOCATE\r\n- M\r\n"},
      {StatementKind::kBeginThread, 'F', 6700, "M", "\r\nrun-time error F6700: BEGINTHREAD\r\n- M\r\n"},
      {StatementKind::kMath, 'M', 6103, "floating-point error: divide by zero",
       "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
      {StatementKind::kKeywords, 'F', 6304, "M", "\r\nrun-time error F6304\r\n- M\r\n"},
      {StatementKind::kWindow, 'F', 6304, "M", "\r\nrun-time error F6304\r\n- M\r\n"},
      // An empty message leaves out the "- " line start after the name.
      {StatementKind::kRead, 'F', 6000, nullptr, "\r\nrun-time error F6000: READ(DATA.TXT)\r\n\r\n"},
      {StatementKind::kOpen, 'F', 6416, nullptr, "\r\nrun-time error F6416: OPEN(DATA.TXT)\r\n- file not found\r\n"},
  };
  for (const ReportCase& c : cases) {
    RunTimeError error;
    error.number = c.number;
    error.letter = c.letter;
    error.kind = c.kind;
    error.name = "DATA.TXT";
    if (c.message) error.message = c.message;
    const std::string report = FatalReportText(error);
    EXPECT_EQ(report, c.bytes) << "kind " << static_cast<int>(c.kind) << " letter " << c.letter
                               << "\n  expected " << Shown(c.bytes) << "\n  actual   " << Shown(report);
  }
}

TEST(FatalReportTest, RaiseCarriesTheNumberForTheStatementToLocate) {
  try {
    Raise(6416);
    FAIL() << "Raise returned";
  } catch (const RunTimeError& error) {
    EXPECT_EQ(error.number, 6416);
    EXPECT_EQ(error.letter, 'F');
    EXPECT_EQ(error.kind, StatementKind::kKeywords);
  }
}

// Every number the engine raises has a short text: the numbers of the error tables, and any
// number found in the engine's sources (so a new error cannot arrive without its text).
TEST(ErrorMessageTest, EveryEngineErrorHasAText) {
  std::set<int> numbers = {6100, 6101, 6102, 6103, 6104, 6202, 6205, 6206, 6207, 6208, 6209, 6300,
                           6301, 6302, 6303, 6304, 6311, 6314, 6404, 6407, 6412, 6413, 6414, 6415,
                           6416, 6417, 6418, 6421, 6422, 6500, 6501, 6502, 6503, 6504, 6506, 6507,
                           6509, 6601, 6700, 6971, 6972, 6980, 6981, 6982, 6983, 6984, 6986, 6987,
                           6988, 6989, 6990, 6991, 6999};
  const std::regex number(R"(\b6[0-9]{3}\b)");
  for (const char* folder : {"fmtio", "runtime"}) {
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(TRUSS_SOURCE_DIR) / folder)) {
      // The trap numbers are reported with their trap names, not with statement texts.
      if (entry.path().extension() != ".cpp" || entry.path().filename() == "fp_traps.cpp") continue;
      std::ifstream file(entry.path());
      std::stringstream text;
      text << file.rdbuf();
      const std::string source = text.str();
      for (std::sregex_iterator it(source.begin(), source.end(), number), end; it != end; ++it) {
        numbers.insert(std::stoi(it->str()));
      }
    }
  }
  for (int n : numbers) EXPECT_STRNE(ErrorMessage(n), "") << "error " << n;
  EXPECT_STREQ(ErrorMessage(6000), "") << "a number the engine does not use";
}

TEST(ErrorMessageTest, KeywordErrorsAreShownWithoutAUnit) {
  for (int n : {6304, 6311, 6314, 6700}) EXPECT_TRUE(ShownWithoutUnit(n)) << n;
  for (int n : {6416, 6501, 6207, 6999}) EXPECT_FALSE(ShownWithoutUnit(n)) << n;
}

}  // namespace
}  // namespace runtime
