// The engine beyond the case files: READ and WRITE over several statements on one unit, the
// console and its input in blocks, the defaults an OPEN gives a unit, the typed calls' spans, texts
// and option bits, the bounds against runaway statements the fuzz targets found; OPEN and CLOSE
// over several statements with their fatal reports, and every way a run ends with its files
// written out.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <set>
#include <span>

#include "fmtio/read_statement.h"
#include "fmtio/string_unit.h"
#include "fmtio/typed_io.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

namespace fs = std::filesystem;

class EngineTest : public EngineRunTest {
 protected:
  // READ(unit, format, ERR=..., END=...) of an INTEGER*4 item into value_; the status.
  int ReadInt(int unit, const char* format) {
    value_ = -1;
    return Read(Options{kErrorBranch | kEndBranch}, unit, format, value_);
  }

  // READ(unit, format, ERR=..., END=...) of a CHARACTER*length item into text_; the status.
  int ReadText(int unit, const char* format, int length) {
    text_.assign(static_cast<std::size_t>(length), '?');
    return Read(Options{kErrorBranch | kEndBranch}, unit, format, std::span(text_));
  }

  // Names in the folder, sorted.
  std::string Listing() const {
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_)) names.insert(entry.path().filename());
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
    return text;
  }

  std::int32_t value_ = 0;
  std::string text_;
};

// Each READ starts at a record and skips the rest of the last one it read.
TEST_F(EngineTest, ReadStatementsOnTheConsole) {
  StartRun("3 10 20 30 40\n12\n3\n4 5\n6\n'A\nXB' 7\n8\n");
  // READ(*,*) N, (A(I), I = 1, N): later items may depend on earlier ones.
  std::int32_t n = 0, a[4] = {};
  BeginRead(kDefaultUnit, nullptr, 0);
  ReadItem(kInteger4, &n);
  for (int i = 0; i < n; ++i) ReadItem(kInteger4, &a[i]);
  EXPECT_EQ(EndRead(), 0);
  EXPECT_EQ(std::vector<int>(a, a + 4), (std::vector<int>{10, 20, 30, 0}));
  // A unit on CON reads the same console.
  std::string values;
  ASSERT_EQ(OpenFile(10, "CON"), 0);
  for (const char* format : {"(I1)", "(I1)", "*", "*"}) {
    if (format[0] == '*') format = nullptr;
    ReadInt(format ? 10 : kDefaultUnit, format);
    values += std::to_string(value_);
  }
  EXPECT_EQ(values, "1346");
  // A constant over a record end drops the next record's first character.
  EXPECT_EQ(ReadText(kDefaultUnit, nullptr, 2) == 0 ? text_ : "error", "AB");
  EXPECT_EQ(ReadInt(kDefaultUnit, nullptr) == 0 ? value_ : -9, 8);
  EXPECT_EQ(ReadInt(kDefaultUnit, nullptr), -1);
  // A console line must fit the console's buffer.
  StartRun(std::string(131, 'x') + "\r\n");
  EXPECT_EQ(ReadText(kDefaultUnit, "(1A80)", 80), 6407);
  StartRun(std::string(50, 'a') + std::string(80, 'b') + "\r\n");
  EXPECT_EQ(ReadText(kDefaultUnit, "(1A80)", 80) == 0 ? text_ : "error", std::string(50, 'a') + std::string(30, 'b'));
  // A Ctrl-Z typed at the start of a console line ends the console's input.
  StartRun("\x1a\r\nMORE\r\n");
  EXPECT_EQ(ReadText(kDefaultUnit, "(1A80)", 80), -1);
}

// Piped input arrives in blocks that split lines anywhere; every line comes through whole.
TEST_F(EngineTest, PipedInputInBlocksLosesNothing) {
  std::string input, expected, values;
  for (int i = 0; i < 500; ++i) {
    input += std::string(static_cast<std::size_t>(i % 120), ' ') + std::to_string(i) + (i % 3 ? "\n" : "\r\n");
    expected += std::to_string(i) + ' ';
  }
  for (const std::size_t block : {1, 7, 132, 0}) {
    StartRun(input, false, {}, block);
    values.clear();
    while (ReadInt(kDefaultUnit, nullptr) == 0) values += std::to_string(value_) + ' ';
    EXPECT_EQ(values, expected) << "block " << block;
  }
}

// PAD= and BLANK= of the OPEN are the unit's defaults; the end of a file stays its end.
TEST_F(EngineTest, UnitDefaultsForPadAndBlank) {
  WriteFile("PAD.TXT", "AB\nCD");
  WriteFile("BLANK.TXT", "1 1\n1 1\n");
  ASSERT_EQ(0, Open(9, {.file = {"PAD.TXT"}, .pad = {"NO"}}, kErrorBranch) +
                   Open(8, {.file = {"BLANK.TXT"}, .blank = {"ZERO"}}, kErrorBranch));
  EXPECT_EQ(ReadText(9, "(A5)", 5), 6601);
  EXPECT_EQ(ReadText(9, "(A2)", 5), 0);
  EXPECT_EQ(text_, "CD   ");
  EXPECT_EQ(ReadInt(9, nullptr) + ReadInt(9, nullptr), -2);
  std::string values;
  for (const char* format : {"(I3)", "(BN,I3)"}) values += ReadInt(8, format) == 0 ? std::to_string(value_) + ' ' : "error ";
  EXPECT_EQ(values, "101 11 ");
}

TEST_F(EngineTest, WriteStatementsOnOneFile) {
  ASSERT_EQ(OpenFile(10, "OUT.TXT"), 0);
  // WRITE(10,'(3I4,2A3)') VALUES, NAMES: items by address are arrays.
  const std::int32_t values[3] = {1, 22, 333};
  const char names[2][3] = {{'A', 'B', 'C'}, {'D', 'E', 'F'}};
  BeginWrite(10, "(3I4,2A3)", -1);
  WriteItem(kInteger4, values, 3, 0);
  WriteItem(kCharacter, names, 2, 3);
  EXPECT_EQ(EndWrite(), 0);
  // ADVANCE='NO' and $ continue the line; ADVANCE='NO' does not hold back a record ended by
  // reversion.
  EXPECT_EQ(WriteText(10, "('1')", kErrorBranch, "no  "), 0);
  EXPECT_EQ(WriteText(10, "('2',$)"), 0);
  EXPECT_EQ(WriteText(10, "('3')", kErrorBranch, "YES"), 0);
  BeginWrite(10, "(I1)", -1, "NO", 2);
  WriteItem(4);
  WriteItem(5);
  EXPECT_EQ(EndWrite(), 0);
  EXPECT_EQ(WriteText(10, "('.')"), 0);
  // WRITE(10,'(2I2)') 1, F(2), where F writes two statements, one nested in the other: a WRITE
  // begun while another is assembled puts the other aside.
  BeginWrite(10, "(2I2)", -1);
  WriteItem(1);
  BeginWrite(10, "('INNER',I2)", -1);
  EXPECT_EQ(WriteText(10, "('INNERMOST')", 0), 0);
  WriteItem(9);
  EXPECT_EQ(EndWrite(), 0);
  WriteItem(2);
  EXPECT_EQ(EndWrite(), 0);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(FileBytes("OUT.TXT"), "   1  22 333ABCDEF\r\n123\r\n4\r\n5.\r\nINNERMOST\r\nINNER 9\r\n 1 2\r\n");
}

// A record over RECL is refused; an ADVANCE other than YES or NO and a unit out of range are
// returned with the error branch. Without it an error ends the run with its report, and what
// preceded it stays.
TEST_F(EngineTest, WriteErrors) {
  ASSERT_EQ(Open(10, {.file = {"OUT.TXT"}, .recl = 10}, kErrorBranch), 0);
  EXPECT_EQ(WriteText(10, "('         1')"), 0);
  EXPECT_EQ(WriteText(10, "('ABCDEFGHIJK')"), 6601);
  EXPECT_EQ(WriteText(kDefaultUnit, "(' A')", kErrorBranch, "MAYBE"), 6999);
  EXPECT_EQ(WriteText(40000, "(' A')") + WriteText(-40000, "(' A')"), 2 * 6314);
  Run([] { WriteText(32768, "(' A')", 0); });
  EXPECT_EQ(EndRun(), 1);
  EXPECT_EQ(streams_.out + streams_.err, Report("F6314", 6314));
  EXPECT_EQ(FileBytes("OUT.TXT"), "         1\r\n");
}

// Column 1 of console records: blank a new line, 0 a blank line first, 1 a new page, + the same
// line; the line is left open until the next record or the end of the run, and has no length
// limit; after "$" the next record goes on on the same line. The reply to a "$" prompt is typed on
// the prompt's line: with piped input the output line stays open, so the next record starts with
// a line end; at a terminal the typed line end has already moved the cursor.
TEST_F(EngineTest, ConsoleCarriageControlAndPrompts) {
  for (const bool interactive : {false, true}) {
    StartRun("DATA.TXT\r\n", interactive);
    for (const char* format : {"(' A')", "('0B')", "('1C')", "('+D')", "(' TRUSS ',/)", "(' NAME: ',$)"}) {
      WriteText(kDefaultUnit, format);
    }
    const std::string record = std::string(" ").append(299, 'Y');  // appended: gcc 12 warns wrongly on " " + text
    WriteText(6, ("('" + record + "')").c_str());
    WriteText(0, "('0Z')");
    std::string expected = "A\r\n\r\nB\r\n\f\r \rC\rD\r\nTRUSS \r\n\r\nNAME: " + record.substr(1) + "\r\n\r\nZ";
    EXPECT_EQ(streams_.out, expected) << "interactive " << interactive << ": " << Shown(streams_.out);
    char reply[80];
    WriteText(kDefaultUnit, "(' NAME: ',$)", 0);
    EXPECT_EQ(Read(kDefaultUnit, "(1A80)", reply), 0);
    EXPECT_EQ(std::string(reply, 8), "DATA.TXT");
    for (const char* format : {"(' NEXT')", "(' A',$)", "(' B')"}) WriteText(kDefaultUnit, format, 0);
    // CLOSE(0) ends the pending line and leaves the console connected; a re-OPEN of unit 6 ends
    // a prompt line as CLOSE would.
    EXPECT_EQ(Close(0), 0);
    WriteText(6, "(' C',$)");
    ASSERT_EQ(OpenFile(6, "NUL"), 0);
    WriteText(0, "(' D')");
    expected += interactive ? "\r\nNAME: NEXT\r\nAB\r\nC\r\nD\r\n" : "\r\nNAME: \r\nNEXT\r\nAB\r\nC\r\nD\r\n";
    EXPECT_EQ(EndRun(), 0);
    EXPECT_EQ(streams_.out, expected) << "interactive " << interactive << ": " << Shown(streams_.out);
  }
}

TEST_F(EngineTest, TypedCallsSpansTextAndOptionBits) {
  std::array<std::int32_t, 3> values{7, -8, 9}, back{};
  EXPECT_EQ(Format("(3I3)", std::span(values)), "  7 -8  9");
  EXPECT_EQ(Parse("  7 -8  9", "(3I3)", std::span(back)), 0);
  EXPECT_EQ(back, values);
  // A char array is written up to its first NUL and read whole; a span of them is one item each.
  char name[6] = "AB";
  EXPECT_EQ(Format("(A,'|',A,'|',A)", name, std::string_view("C D"), std::string("E")), "AB|C D|E");
  char words[2][3] = {};
  EXPECT_EQ(Parse("XY\nZ", "(A2/A)", std::span(words)), 0);
  EXPECT_EQ(std::string(words[0], 6), "XY Z  ");
  // The end of the text and errors are returned; the records made before an error are kept.
  std::int32_t n = 0;
  EXPECT_EQ(Parse(Options{kEndBranch}, "", "(I3)", n), -1);
  std::string records;
  EXPECT_EQ(Format(Options{kErrorBranch}, records, "(I3/F5.1)", 7, 2), 6207);
  EXPECT_EQ(records, "  7");
}

constexpr int kPutAsideLimit = 32;                 // statements that can be put aside at once
constexpr std::size_t kItemListLimit = 64u << 20;  // bytes of one statement's item list

TEST_F(EngineTest, RunEndedInsideAPutAsideWriteLeavesNoStatementForTheNextRun) {
  const std::int32_t values[3] = {1, 2, 3};
  EXPECT_EQ(1, RunAlone([&] {
    BeginWrite(kDefaultUnit, "(3I3)", -1);
    WriteItem(kInteger4, values, 3, 0);
    // The WRITE begun inside it has a malformed format and no error branch: the run ends.
    BeginWrite(kDefaultUnit, "(I3", -1);
    WriteItem(std::int32_t{4});
    EndWrite();
  }));
  EXPECT_EQ(0, RunAlone([&] {
    BeginWrite(kDefaultUnit, "(I3)", -1);
    WriteItem(std::int32_t{7});
    EXPECT_EQ(EndWrite() + EndWrite(), 0);  // the second has no statement left to run
  }));
  EXPECT_EQ(streams_.out + streams_.err, " 7\r\n") << "the statement put aside in the first run ran in the second";
}

// Statements put aside and one statement's item list are bounded: beyond, a statement is refused
// with 6700, its items go nowhere, and the next one runs as usual; without the error branch the
// run ends with the report.
TEST_F(EngineTest, RunawayStatementsAreRefusedWith6700) {
  std::string statuses, expected;
  EXPECT_EQ(0, RunAlone([&] {
    for (int i = 1; i <= kPutAsideLimit; ++i) {
      BeginWrite(kDefaultUnit, "(I3)", -1);
      WriteItem(std::int32_t{i});
    }
    BeginWrite(kDefaultUnit, "(I3)", -1, nullptr, 0, kErrorBranch);
    WriteItem(std::int32_t{99});
    statuses = std::to_string(EndWrite());
    for (int i = kPutAsideLimit; i >= 1; --i) statuses += std::to_string(EndWrite());
  }));
  EXPECT_EQ(statuses, "6700" + std::string(kPutAsideLimit, '0'));
  for (int i = kPutAsideLimit; i >= 1; --i) expected.append(i < 10 ? " " : "").append(std::to_string(i)).append("\r\n");
  EXPECT_EQ(streams_.out + streams_.err, expected);
  EXPECT_EQ(RunAlone([&] { for (int i = 0; i <= kPutAsideLimit; ++i) BeginWrite(kDefaultUnit, "(I3)", -1); }), 1);
  EXPECT_EQ(streams_.err, Report("F6700", 6700));
  const std::string chunk(kItemListLimit / 4, 'x');
  const auto write = [&](int options, int chunks, const std::string& text) {
    BeginWrite(kDefaultUnit, "(A)", -1, nullptr, 0, options);
    for (int i = 0; i < chunks; ++i) WriteItem(text.data(), static_cast<int>(text.size()));
    statuses += std::to_string(EndWrite());
  };
  statuses.clear();
  EXPECT_EQ(RunAlone([&] { write(kErrorBranch, 4, chunk); write(kErrorBranch, 1, "ok"); }), 0);
  EXPECT_EQ(statuses, "67000");
  EXPECT_EQ(streams_.out, "k\r\n");
  EXPECT_EQ(RunAlone([&] { write(0, 4, chunk); }), 1);
  EXPECT_EQ(streams_.err, Report("F6700", 6700));
}

// The name F<n>.TXT of the n-th test file (appended: gcc 12 warns wrongly on "F" + text).
std::string NumberedName(int n) { return std::string("F").append(std::to_string(n)).append(".TXT"); }

// The statement and the name each fatal report shows. In the last case the plot file of an earlier
// run is found, and left untouched.
TEST_F(EngineTest, FatalReportsNameTheStatement) {
  const auto fullUnit = [] {
    OpenFile(20, "/dev/full", "OLD");
    WriteText(20, "(' RECORD')");
  };
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] { OpenFile(9, "X.TXT", "MAYBE", 0); }, Report("F6304", 6304)},
      {[] { OpenFile(9, "a.txt", "SCRATCH", 0); }, Report("F6301: OPEN(a.txt)", 6301)},
      {[&] { fullUnit(); Close(20); }, Report("F6422: CLOSE(/dev/full)", 6422)},
      {[&] { fullUnit(); OpenFile(20, "NUL", nullptr, 0); }, Report("F6422: CLOSE(/dev/full)", 6422)},
      {[] {
         OpenFile(20, "CON");
         Open(20, {.file = {"CON"}, .access = {"DIRECT"}, .form = {"FORMATTED"}, .recl = 10}, 0);
       }, Report("F6209: OPEN(CON)", 6209)},
      {[] { OpenFile(8, "TRUSS.GRP", "NEW", 0); }, Report("F6415: OPEN(TRUSS.GRP)", 6415)},
  };
  WriteFile("TRUSS.GRP", "OLD PLOT\r\n");
  for (const auto& [statements, err] : cases) {
    EXPECT_EQ(RunAlone(statements), 1) << err;
    EXPECT_EQ(streams_.out + streams_.err, err) << Shown(streams_.err);
  }
  EXPECT_EQ(Listing() + ": " + FileBytes("TRUSS.GRP"), "TRUSS.GRP: OLD PLOT\r\n");
}

// One file on two units is refused (also under another name); the same unit again and the null
// device may share it. At most 61 units are open, and a freed slot can be used again.
TEST_F(EngineTest, UnitsAndFiles) {
  WriteFile("A.TXT", "");
  fs::create_hard_link("A.TXT", "B.TXT");
  ASSERT_EQ(OpenFile(10, "A.TXT", "OLD"), 0);
  EXPECT_EQ(OpenFile(11, "./A.TXT", "OLD"), 6413);
  EXPECT_EQ(OpenFile(12, "B.TXT", "OLD"), 6413);
  EXPECT_EQ(OpenFile(10, "A.TXT", "OLD") + OpenFile(13, "NUL") + OpenFile(14, "NUL") + Close(13) + Close(14), 0);
  for (int unit = 11; unit < 71; ++unit) ASSERT_EQ(OpenFile(unit, NumberedName(unit).c_str(), "NEW"), 0);
  EXPECT_EQ(OpenFile(71, "F71.TXT", "NEW"), 6418);
  EXPECT_EQ(Close(10), 0);
  EXPECT_EQ(OpenFile(71, "F71.TXT", "NEW"), 0);
}

struct ChildResult { int exitCode; std::string out, err; };  // the child's exit code, standard output and error

// Runs `body` in a child process with real standard streams (1 and 2 into files of the folder);
// the child ends with _exit, never returning into the tests.
ChildResult InChild(const std::function<void()>& body) {
  std::fflush(nullptr);  // else the child's exit writes out the parent's buffered output again
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (const int fd : {1, 2}) {
      const int file = ::open(fd == 1 ? "child.out" : "child.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(file, fd);
      ::close(file);
    }
    platform::UseMemoryStreams(nullptr);
    body();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), FileBytes("child.out"), FileBytes("child.err")};
}

// The limit is lowered in a child process; the engine opens as many files as the platform lets
// it and then reports 6417. The child writes its verdict on its standard output.
TEST_F(EngineTest, TooManyOpenFiles) {
  const ChildResult child = InChild([] {
    Start(0, nullptr);
    const int probe = ::open("/dev/null", O_RDONLY);
    ::close(probe);
    const rlimit limit{static_cast<rlim_t>(probe + 4), static_cast<rlim_t>(probe + 4)};
    ::setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<int> handles;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;) handles.push_back(fd);
    for (int fd : handles) ::close(fd);
    int opened = 0, status = 0;
    for (; status == 0 && opened < 10; opened += status == 0) status = OpenFile(10 + opened, NumberedName(opened).c_str(), "NEW");
    // As many files open before the error as the limit left handles free.
    const std::string text = std::to_string(status) + (opened >= 1 && opened == static_cast<int>(handles.size()) ? " all" : " short");
    if (::write(1, text.data(), text.size()) < 0) ::_exit(3);
  });
  EXPECT_EQ(child.out, "6417 all") << child.err;
}

// Runs that end other than by the program's STOP, each in a child process: another unit's
// buffered record still reaches its file, and no file of the run takes a closed standard stream.
TEST_F(EngineTest, EveryEndWritesTheUnitsOut) {
  struct Case { std::function<void()> before, statements; int exitCode; std::string err; };  // before: ahead of the start
  const std::string noMemory = Report("F6700", 6700);
  const Case cases[] = {
      // Standard error closed.
      {[] { ::close(2); }, [] {
         OpenFile(11, "DATA.DAT", "OLD");
         OpenFile(12, "MISSING.DAT", "OLD", 0);
       }, 1, ""},
      // No memory for a buffer.
      {[] {
         const rlimit limit{rlim_t{1} << 30, rlim_t{1} << 30};
         ::setrlimit(RLIMIT_AS, &limit);
       }, [] {
         Open(11, {.file = {"HUGE.TXT"}, .blockSize = 2147483136});
       }, 1, noMemory},
      // No memory for the copy of a string unit's text: the statement on the unit is refused.
      {[] {
         const rlimit limit{rlim_t{1} << 30, rlim_t{1} << 30};
         ::setrlimit(RLIMIT_AS, &limit);
       }, [] {
         const std::size_t size = std::size_t{600} << 20;
         void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
         if (text == MAP_FAILED) ::_exit(5);
         OpenStringUnit({static_cast<const char*>(text), size}, "TEXT");
         WriteText(kStringUnit, "(' X')", 0);
       }, 1, noMemory},
      // The reader of standard output has gone.
      {[] {
         int ends[2];
         if (::pipe(ends) != 0) ::_exit(3);
         ::dup2(ends[1], 1);
         ::close(ends[0]);
         ::close(ends[1]);
         ::signal(SIGPIPE, SIG_DFL);
       }, [] { WriteText(6, "(' GONE')", 0); }, 1, Report("F6423: WRITE(CON)", 6423)},
      // A file size limit: the record written after the one read is cut off, the one read stays.
      {[] {
         const rlimit limit{64, 64};  // room for the error report, which goes to a file too
         ::setrlimit(RLIMIT_FSIZE, &limit);
       }, [] {
         char text[9];
         OpenFile(11, "DATA.DAT", "OLD");
         Read(11, "(A9)", text);
         WriteText(11, "(' A RECORD BEYOND THE SIZE LIMIT OF THE FILE, WHICH IS SIXTY-FOUR BYTES')");
       }, 1, Report("F6423: WRITE(DATA.DAT)", 6423)},
      // A trap: the process ends from the trap itself.
      {[] {}, [] {
         runtime::ArmFloatingPointTraps();
         volatile float numerator = 1.0f, denominator = 0.0f;
         volatile float quotient = numerator / denominator;
         if (quotient != 0.0f) ::_exit(4);
       }, 1, "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
      // Exit without the closing, which then runs at the process's exit.
      {[] {}, [] { std::exit(0); }, 0, ""},
  };
  for (const Case& c : cases) {
#if defined(__SANITIZE_ADDRESS__)
    if (c.err == noMemory) continue;  // the address sanitizer does not run under an address-space limit
#endif
    WriteFile("DATA.DAT", "USER DATA\r\n");
    const ChildResult child = InChild([&] {
      c.before();
      Start(0, nullptr);
      runtime::DisarmFloatingPointTraps();
      OpenFile(10, "KEPT.TXT", "NEW");
      WriteText(10, "(' KEPT')");
      Run(c.statements);
      ::_exit(runtime::Finish(exitCode_));
    });
    EXPECT_EQ(child.exitCode, c.exitCode) << c.err;
    EXPECT_EQ(child.out + child.err, c.err) << Shown(child.err);
    EXPECT_EQ(FileBytes("KEPT.TXT") + FileBytes("DATA.DAT"), " KEPT\r\nUSER DATA\r\n") << c.err;
    fs::remove("KEPT.TXT");
  }
}

// The devices that never end: an endless record is refused at once; a record that cannot be
// written out is reported by the CLOSE. (The same failure in the end-of-run closing is checked by
// the program's runs under a file size limit.)
TEST_F(EngineTest, EndlessDevices) {
  ASSERT_EQ(OpenFile(11, "/dev/zero", "OLD") + OpenFile(20, "/dev/full", "OLD"), 0);
  char text[8];
  EXPECT_EQ(Read(Options{kErrorBranch}, 11, "(A8)", text), 6601);
  EXPECT_EQ(WriteText(20, "(' RECORD')"), 0);
  EXPECT_EQ(Close(20, {}, kErrorBranch), 6422);
  EXPECT_EQ(Close(20, {}, kErrorBranch), 0);
}

// CLOSE with KEEP, DELETE or another STATUS; scratch files, deleted at CLOSE and at the end of
// the run; REPLACE and the two ways to append. (That records wait in a unit's buffer of 1024 bytes
// until it is full is seen in the program's runs that are interrupted.)
TEST_F(EngineTest, FileDispositions) {
  WriteFile("R.TXT", "OLD CONTENT\r\n");
  WriteFile("A.TXT", "OLD\r\n");
  WriteFile("P.TXT", "OLD\r\n");
  const OpenKeywords append{.file = {"A.TXT"}, .access = {"APPEND"}}, position{.file = {"P.TXT"}, .position = {"APPEND"}};
  ASSERT_EQ(0, OpenFile(10, "KEEP.TXT", "NEW") + OpenFile(11, "DELETE.TXT", "NEW") + OpenFile(12, "STAYS.TXT", "NEW") +
                   OpenFile(13, "R.TXT", "REPLACE") + Open(14, append) + Open(15, position));
  for (int unit = 10; unit <= 15; ++unit) WriteText(unit, "('NEW',/,'1TWO')");
  EXPECT_EQ(Close(10, {"KEEP"}) + Close(11, {"delete "}) + Close(9) + Close(7), 0);
  EXPECT_EQ(Close(12, {"MAYBE"}, kErrorBranch), 6304);
  EXPECT_EQ(WriteText(12, "(' STILL OPEN')"), 0);
  ASSERT_EQ(Open(17, {}, kErrorBranch) + Open(18, {}, kErrorBranch) + Open(19, {}, kErrorBranch), 0);
  EXPECT_EQ(WriteText(17, "(' SCRATCH')") + Close(17), 0);
  EXPECT_EQ(Close(18, {"KEEP"}, kErrorBranch), 6300);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(Listing(), "A.TXT KEEP.TXT P.TXT R.TXT STAYS.TXT");
  EXPECT_EQ(FileBytes("KEEP.TXT") + FileBytes("STAYS.TXT") + FileBytes("R.TXT") + FileBytes("A.TXT") + FileBytes("P.TXT"),
            "NEW\r\n1TWO\r\nNEW\r\n1TWO\r\n STILL OPEN\r\nNEW\r\n1TWO\r\nOLD\r\nNEW\r\n1TWO\r\nOLD\r\nNEW\r\n1TWO\r\n");
}

// Connections the program does not make: carriage control interpreted on a file (for the first
// record of each statement), direct-access records of RECL bytes, a READ after a WRITE finding
// the end of the file (not the older records after it) and a WRITE going on after it, an OPEN
// without FILE keeping the unit's file, and a new start in the same process closing it unwritten.
TEST_F(EngineTest, OtherConnections) {
  struct Case { OpenKeywords keywords; std::function<void()> statements; std::string bytes; };
  const Case cases[] = {
      {{.file = {"F.TXT"}, .carriageControl = {"INTERPRETED"}}, [] {
         for (const char* format : {"('1PAGE',/,'1NEXT')", "(' BLANK')", "('0ZERO')", "('+PLUS')", "(1X,'X')"}) WriteText(10, format);
         Write(10, "(I130)", 5);
       }, "\f\r \rPAGE\r\n1NEXT\r\nBLANK\r\n\r\nZERO\rPLUS\r\nX\r\n" + std::string(128, ' ') + "5\r\n"},
      {{.file = {"F.TXT"}, .access = {"DIRECT"}, .form = {"FORMATTED"}, .recl = 70}, [] {
         WriteText(10, "('AB')");
         WriteText(10, "(68('C'))");
       }, "AB" + std::string(66, ' ') + "\r\n" + std::string(68, 'C') + "\r\n"},
      {{.file = {"F.TXT"}}, [] {
         char text[4] = "~~~";
         WriteText(10, "('NEW')");
         EXPECT_EQ(Read(Options{kErrorBranch | kEndBranch}, 10, "(A3)", std::span(text, 3)), -1);
         EXPECT_STREQ(text, "~~~");
         WriteText(10, "('MORE')");
       }, "NEW\r\nMORE\r\n"},
      {{.file = {"F.TXT"}}, [] {
         WriteText(10, "('A')");
         EXPECT_EQ(Open(10, {.blank = {"ZERO"}}, kErrorBranch), 0);
         WriteText(10, "('B')");
       }, "A\r\nB\r\n"},
      {{.file = {"F.TXT"}}, [] {
         const int free = ::open("/dev/null", O_RDONLY);
         ::close(free);
         Start(0, nullptr);
         runtime::DisarmFloatingPointTraps();
         const int freed = ::open("/dev/null", O_RDONLY);
         ::close(freed);
         EXPECT_LT(freed, free) << "the new start lets the file's handle go";
       }, "OLD RECORD 1\r\n2\r\n"},
  };
  for (const Case& c : cases) {
    WriteFile("F.TXT", "OLD RECORD 1\r\n2\r\n");
    ASSERT_EQ(Open(10, c.keywords, kErrorBranch), 0);
    c.statements();
    EXPECT_EQ(Close(10), 0);
    EXPECT_EQ(Listing() + ": " + FileBytes("F.TXT"), "F.TXT: " + c.bytes);
    fs::remove("F.TXT");
  }
}

// A blank FILE takes the command-line arguments in turn, then asks on the console until the
// reply is not empty; a unit used without OPEN takes a name the same way.
TEST_F(EngineTest, BlankFileNames) {
  const std::string question = "File name missing or blank - please enter file name\r\nUNIT 9? ";
  WriteFile("IN.TXT", "42\n");
  StartRun("", false, {" ARG1.TXT ", "ARG2.TXT", "OUT.TXT", "IN.TXT"});
  EXPECT_EQ(OpenFile(9, std::string(80, ' ').c_str(), "NEW") + OpenFile(7, " ", "NEW"), 0);
  // WRITE(12,'(I3)') 5 and READ(13,*) N with no OPEN.
  std::int32_t n = 0;
  EXPECT_EQ(Write(12, "(I3)", 5), 0);
  EXPECT_EQ(Read(13, nullptr, n), 0);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(n, 42);
  EXPECT_EQ(streams_.out, "") << "no question while arguments are left";
  EXPECT_EQ(Listing(), "ARG1.TXT ARG2.TXT IN.TXT OUT.TXT");
  EXPECT_EQ(FileBytes("OUT.TXT"), "  5\r\n");
  // Piped input: the output line stays open after each reply, so the question begins a new line.
  StartRun("\n   \r\n NAME.TXT \r\n");
  EXPECT_EQ(OpenFile(9, "", "NEW"), 0);
  EXPECT_EQ(streams_.out, question + "\r\n" + question + "\r\n" + question);
  // At a terminal the typed line end has already begun a new line.
  StartRun("\nNAME2.TXT\n", true);
  WriteText(kDefaultUnit, "(' PENDING')");
  EXPECT_EQ(OpenFile(9, "", "NEW"), 0);
  EXPECT_EQ(streams_.out, "PENDING\r\n" + question + question);
  EXPECT_TRUE(fs::exists("NAME.TXT") && fs::exists("NAME2.TXT"));
  // A unit used without OPEN whose file is missing: the fatal report names the OPEN and the file.
  StartRun("", false, {"MISSING.TXT"});
  Run([] { std::int32_t n = 0; Read(14, "(I3)", n); });
  EXPECT_EQ(EndRun(), 1);
  EXPECT_EQ(streams_.err, Report("F6416: OPEN(MISSING.TXT)", 6416));
}

}  // namespace
}  // namespace fmtio
