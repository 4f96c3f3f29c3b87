#include "fmtio/units.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fmtio/platform.h"
#include "fmtio/read_statement.h"
#include "fmtio/write_statement.h"
#include "runtime/fp_traps.h"
#include "runtime/run_time_error.h"
#include "runtime/termination.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

namespace fs = std::filesystem;

// OPEN(unit, FILE=file, STATUS=status) with the error branch: the status.
int OpenFile(int unit, const char* file, const char* status = nullptr, int options = kErrorBranch) {
  OpenKeywords keywords;
  keywords.file = {file};
  if (status) keywords.status = {status};
  return Open(unit, keywords, options);
}

// WRITE(unit, format) with no items.
int WriteText(int unit, const char* format, int options = kErrorBranch) {
  BeginWrite(unit, format, -1, nullptr, 0, options);
  return EndWrite();
}

// The name F<n>.TXT of the n-th test file.
std::string NumberedName(int n) {
  std::string name = "F";
  name += std::to_string(n);
  return name + ".TXT";
}

const std::string kQuestion = "File name missing or blank - please enter file name\r\nUNIT 9? ";

class IoUnitTest : public EngineRunTest {
 protected:
  void SetUp() override {
    EngineRunTest::SetUp();
    StartRun();
  }

  void StartRun(const std::string& input = "", bool interactive = false, std::vector<std::string> arguments = {}) {
    platform::MemoryStreams streams;
    streams.input = input;
    streams.interactive = interactive;
    StartEngine(std::move(streams), std::move(arguments));
  }

  // Names in the folder, sorted.
  std::string Listing() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) {
      if (!text.empty()) text += ' ';
      text += name;
    }
    return text;
  }
};

struct OpenErrorCase {
  const char* what;
  std::function<void()> prepare;
  std::function<OpenKeywords()> keywords;
  int error;
};

OpenKeywords FileAndStatus(const char* file, const char* status) {
  OpenKeywords keywords;
  keywords.file = {file};
  keywords.status = {status};
  return keywords;
}

OpenKeywords Reading(const char* file, const char* status) {
  OpenKeywords keywords;
  if (file) keywords.file = {file};
  if (status) keywords.status = {status};
  keywords.action = {"READ"};
  return keywords;
}

TEST_F(IoUnitTest, OpenErrors) {
  const std::string longName(261, 'N');
  const OpenErrorCase cases[] = {
      {"missing file, OLD", [] {}, [] { return FileAndStatus("DATA.TXT", "OLD"); }, 6416},
      {"missing folder, NEW", [] {}, [] { return FileAndStatus("NOFOLDER/X.TXT", "NEW"); }, 6416},
      {"existing file, NEW", [] { WriteFile("TRUSS.GRP", ""); }, [] { return FileAndStatus("TRUSS.GRP", "NEW"); }, 6415},
      {"a folder, OLD", [] { fs::create_directory("FOLDER"); }, [] { return FileAndStatus("FOLDER", "OLD"); }, 6414},
      {"a folder, UNKNOWN", [] { fs::create_directory("FOLDER"); }, [] { return FileAndStatus("FOLDER", "UNKNOWN"); }, 6414},
      {"unknown STATUS", [] {}, [] { return FileAndStatus("X.TXT", "MAYBE"); }, 6304},
      {"unknown ACCESS", [] {}, [] { OpenKeywords k = FileAndStatus("X.TXT", "NEW"); k.access = {"RANDOM"}; return k; }, 6304},
      {"SCRATCH with a name", [] {}, [] { return FileAndStatus("X.TXT", "SCRATCH"); }, 6301},
      {"DIRECT without RECL", [] {}, [] {
         OpenKeywords k = FileAndStatus("X.TXT", "NEW");
         k.access = {"DIRECT"};
         k.form = {"FORMATTED"};
         return k;
       }, 6311},
      {"a name too long", [] {}, [&] { return FileAndStatus(longName.c_str(), "NEW"); }, 6412},
      // ACTION='READ' opens a file that exists and makes none.
      {"READ of an existing file, no STATUS", [] { WriteFile("IN.TXT", "1\n"); }, [] { return Reading("IN.TXT", nullptr); }, 0},
      {"READ of a missing file, no STATUS", [] {}, [] { return Reading("X.TXT", nullptr); }, 6416},
      {"READ, NEW", [] {}, [] { return Reading("X.TXT", "NEW"); }, 6414},
      {"READ, NEW, the file exists", [] { WriteFile("IN.TXT", ""); }, [] { return Reading("IN.TXT", "NEW"); }, 6415},
      {"READ, REPLACE", [] {}, [] { return Reading("X.TXT", "REPLACE"); }, 6414},
      {"READ, SCRATCH", [] {}, [] { return Reading(nullptr, "SCRATCH"); }, 6414},
  };
  for (const OpenErrorCase& c : cases) {
    StartRun();
    fs::remove_all("FOLDER");
    c.prepare();
    EXPECT_EQ(Open(9, c.keywords(), kErrorBranch), c.error) << c.what;
    EXPECT_EQ(Listing().find("X.TXT"), std::string::npos) << c.what << ": nothing is created";
    // The unit stays unconnected: a CLOSE finds nothing to do.
    EXPECT_EQ(Close(9, {"DELETE"}, kErrorBranch), 0) << c.what;
  }
}

TEST_F(IoUnitTest, UnreadableFileIsAccessDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "running as root: file permissions do not refuse the open";
  WriteFile("SECRET.TXT", "1\n");
  fs::permissions("SECRET.TXT", fs::perms::none);
  EXPECT_EQ(OpenFile(9, "SECRET.TXT", "OLD"), 6414);
}

TEST_F(IoUnitTest, MissingDataFileReportNamesTheTrimmedFile) {
  const std::string name = std::string("DATA.TXT").append(72, ' ');
  Run([&] {
    // OPEN(9, FILE=DATFIL, STATUS='OLD')
    OpenKeywords keywords;
    keywords.file = {name.c_str(), 80};
    keywords.status = {"OLD", 3};
    Open(9, keywords);
    ADD_FAILURE() << "the run went on after a fatal error";
  });
  EXPECT_EQ(EndRun(), 1);
  EXPECT_EQ(streams_.err, "\r\nrun-time error F6416: OPEN(DATA.TXT)\r\n- file not found\r\n") << Shown(streams_.err);
  EXPECT_EQ(streams_.out, "");
}

// The statement and the name each fatal report shows.
TEST_F(IoUnitTest, FatalReportsNameTheStatement) {
  const auto report = [](const std::string& head, int number) {
    return "\r\nrun-time error " + head + "\r\n- " + runtime::ErrorMessage(number) + "\r\n";
  };
  const auto fullUnit = [] {
    OpenFile(20, "/dev/full", "OLD");
    WriteText(20, "(' RECORD')");
  };
  struct Case {
    const char* what;
    std::function<void()> statements;
    std::string err;
  };
  const Case cases[] = {
      {"unknown STATUS", [] { OpenFile(9, "X.TXT", "MAYBE", 0); }, report("F6304", 6304)},
      {"SCRATCH with a name", [] { OpenFile(9, "a.txt", "SCRATCH", 0); }, report("F6301: OPEN(a.txt)", 6301)},
      {"write failure at CLOSE", [&] { fullUnit(); Close(20); }, report("F6422: CLOSE(/dev/full)", 6422)},
      {"write failure at a re-OPEN", [&] { fullUnit(); OpenFile(20, "NUL", nullptr, 0); },
       report("F6422: CLOSE(/dev/full)", 6422)},
      {"re-OPEN of the console for direct access", [] {
         OpenFile(20, "CON");
         OpenKeywords direct;
         direct.file = {"CON"};
         direct.access = {"DIRECT"};
         direct.form = {"FORMATTED"};
         direct.recl = 10;
         Open(20, direct, 0);
       }, report("F6209: OPEN(CON)", 6209)},
  };
  for (const Case& c : cases) {
    StartRun();
    Run(c.statements);
    EXPECT_EQ(EndRun(), 1) << c.what;
    EXPECT_EQ(streams_.err, c.err) << c.what << ": " << Shown(streams_.err);
  }
}

// A second run in the same folder: the plot file exists, the new report file stays on disk, empty.
TEST_F(IoUnitTest, ExistingPlotFileEndsTheRunAfterTheReportIsCreated) {
  WriteFile("DATA.TXT", "TITLE\n");
  WriteFile("TRUSS.GRP", "OLD PLOT\r\n");
  Run([] {
    OpenFile(9, "DATA.TXT", "OLD", 0);
    OpenFile(7, "REPORT.TXT", "NEW", 0);
    OpenFile(8, "TRUSS.GRP", "NEW", 0);
  });
  EXPECT_EQ(EndRun(), 1);
  EXPECT_EQ(streams_.err, "\r\nrun-time error F6415: OPEN(TRUSS.GRP)\r\n- file already exists\r\n") << Shown(streams_.err);
  EXPECT_TRUE(fs::exists("REPORT.TXT"));
  EXPECT_EQ(FileBytes("REPORT.TXT"), "");
  EXPECT_EQ(FileBytes("TRUSS.GRP"), "OLD PLOT\r\n");
}

TEST_F(IoUnitTest, OneFileOnTwoUnits) {
  WriteFile("A.TXT", "");
  ASSERT_EQ(OpenFile(10, "A.TXT", "OLD"), 0);
  EXPECT_EQ(OpenFile(11, "./A.TXT", "OLD"), 6413);
  fs::create_hard_link("A.TXT", "B.TXT");
  EXPECT_EQ(OpenFile(12, "B.TXT", "OLD"), 6413) << "the same file under another name";
  // The same unit again on the same file is no error; the null device may be shared.
  EXPECT_EQ(OpenFile(10, "A.TXT", "OLD"), 0);
  EXPECT_EQ(OpenFile(13, "NUL"), 0);
  EXPECT_EQ(OpenFile(14, "NUL"), 0);
}

TEST_F(IoUnitTest, SixtyOneUnitsAtMost) {
  for (int unit = 10; unit < 71; ++unit) {
    ASSERT_EQ(OpenFile(unit, NumberedName(unit).c_str(), "NEW"), 0) << "unit " << unit;
  }
  EXPECT_EQ(OpenFile(71, "F71.TXT", "NEW"), 6418);
  EXPECT_FALSE(fs::exists("F71.TXT"));
  // A freed slot can be used again.
  EXPECT_EQ(Close(10), 0);
  EXPECT_EQ(OpenFile(71, "F71.TXT", "NEW"), 0);
}

struct ChildResult {
  int exitCode = -1;
  std::string reported;  // what the child wrote to its report pipe
  std::string out, err;  // the child's standard output and error
};

// Runs `body` in a child process with real standard streams (1 and 2 into files of the folder)
// and a pipe on which it reports; the child ends with _exit, never returning into the tests.
ChildResult InChild(const std::function<void(int report)>& body) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeEnds[0]);
    const int out = ::open("child.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open("child.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::close(out);
    ::close(err);
    platform::UseMemoryStreams(nullptr);
    body(pipeEnds[1]);
    ::_exit(0);
  }
  ::close(pipeEnds[1]);
  ChildResult result;
  char buffer[256];
  for (long n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) result.reported.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = FileBytes("child.out");
  result.err = FileBytes("child.err");
  return result;
}

void Report(int fd, const std::string& text) {
  if (::write(fd, text.data(), text.size()) < 0) ::_exit(3);
}

// The limit is lowered in a child process; the engine opens as many files as the platform lets
// it and then reports 6417.
TEST_F(IoUnitTest, TooManyOpenFiles) {
  const ChildResult child = InChild([](int report) {
    Start(0, nullptr);
    runtime::DisarmFloatingPointTraps();
    const int probe = ::open("/dev/null", O_RDONLY);
    ::close(probe);
    const rlimit limit{static_cast<rlim_t>(probe + 4), static_cast<rlim_t>(probe + 4)};
    ::setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<int> handles;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;) handles.push_back(fd);
    for (int fd : handles) ::close(fd);
    int opened = 0, status = 0;
    while (status == 0 && opened < 10) {
      status = OpenFile(10 + opened, NumberedName(opened).c_str(), "NEW");
      if (status == 0) ++opened;
    }
    Report(report, std::to_string(status) + " " + std::to_string(opened) + " " + std::to_string(handles.size()));
  });
  EXPECT_EQ(child.exitCode, 0) << child.err;
  int status = 0, opened = -1, free = -2;
  std::istringstream(child.reported) >> status >> opened >> free;
  EXPECT_EQ(status, 6417) << "reported: " << child.reported;
  EXPECT_EQ(opened, free) << "files opened before the error, and handles the limit left free";
  EXPECT_GE(opened, 1);
}

// The engine's closing after a trap: the report on standard error, exit code 1, and the buffered
// record of an open file on disk.
TEST_F(IoUnitTest, DivisionByZeroEndsWithMathErrorAndWrittenFiles) {
  const ChildResult child = InChild([](int report) {
    Start(0, nullptr);
    if (OpenFile(10, "RESULT.TXT", "NEW") != 0 || WriteText(10, "(' BEFORE')") != 0) Report(report, "setup failed");
    volatile float numerator = 1.0f, denominator = 0.0f;
    volatile float quotient = numerator / denominator;
    if (quotient != 0.0f) Report(report, "no trap");
  });
  EXPECT_EQ(child.exitCode, 1);
  EXPECT_EQ(child.reported, "");
  EXPECT_EQ(child.err, "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n") << Shown(child.err);
  EXPECT_EQ(child.out, "");
  EXPECT_EQ(FileBytes("RESULT.TXT"), " BEFORE\r\n");
}

// Runs that end other than by the program's STOP, each in a child process: another unit's
// buffered record still reaches its file, and no file of the run takes a closed standard stream.
TEST_F(IoUnitTest, EveryEndWritesTheUnitsOut) {
  struct Case {
    const char* what;
    std::function<void()> before;  // in the child, before the run starts
    std::function<void()> statements;
    bool finish;                   // the harness runs the closing; else the child calls exit
    int exitCode;
    std::string err;
  };
  const std::string noMemory = std::string("\r\nrun-time error F6700\r\n- ") + runtime::ErrorMessage(6700) + "\r\n";
  const Case cases[] = {
      {"standard error closed", [] { ::close(2); },
       [] {
         OpenFile(11, "DATA.DAT", "OLD");
         OpenFile(12, "MISSING.DAT", "OLD", 0);
       }, true, 1, ""},
      {"no memory for a buffer", [] {
         const rlimit limit{rlim_t{1} << 30, rlim_t{1} << 30};
         ::setrlimit(RLIMIT_AS, &limit);
       },
       [] {
         OpenKeywords huge;
         huge.file = {"HUGE.TXT"};
         huge.blockSize = 2147483136;
         Open(11, huge);
       }, true, 1, noMemory},
      // The closing still writes the files when the console's reader has gone.
      {"reader of standard output gone", [] {
         int ends[2];
         if (::pipe(ends) != 0) ::_exit(3);
         ::dup2(ends[1], 1);
         ::close(ends[0]);
         ::close(ends[1]);
         ::signal(SIGPIPE, SIG_DFL);
       },
       [] { WriteText(6, "(' GONE')", 0); }, true, 1,
       std::string("\r\nrun-time error F6423: WRITE(CON)\r\n- ") + runtime::ErrorMessage(6423) + "\r\n"},
      {"exit without the closing", [] {}, [] {}, false, 0, ""},
  };
  for (const Case& c : cases) {
#if defined(__SANITIZE_ADDRESS__)
    if (c.err == noMemory) continue;  // the address sanitizer does not run under an address-space limit
#endif
    WriteFile("DATA.DAT", "USER DATA\r\n");
    const ChildResult child = InChild([&](int) {
      c.before();
      Start(0, nullptr);
      runtime::DisarmFloatingPointTraps();
      OpenFile(10, "KEPT.TXT", "NEW");
      WriteText(10, "(' KEPT')");
      int exitCode = 0;
      try {
        c.statements();
      } catch (const runtime::RunEnded& end) {
        exitCode = end.exitCode;
      }
      if (!c.finish) std::exit(exitCode);
      ::_exit(runtime::Finish(exitCode));
    });
    EXPECT_EQ(child.exitCode, c.exitCode) << c.what;
    EXPECT_EQ(child.err, c.err) << c.what << ": " << Shown(child.err);
    EXPECT_EQ(FileBytes("KEPT.TXT"), " KEPT\r\n") << c.what;
    EXPECT_EQ(FileBytes("DATA.DAT"), "USER DATA\r\n") << c.what;
    fs::remove("KEPT.TXT");
  }
}

// A file's record is bounded: an endless one is refused at once, a long one is read.
TEST_F(IoUnitTest, FileRecordsAreBounded) {
  WriteFile("LONG.TXT", std::string(1 << 20, ' ') + "7\n");
  ASSERT_EQ(OpenFile(10, "LONG.TXT", "OLD"), 0);
  ASSERT_EQ(OpenFile(11, "/dev/zero", "OLD"), 0);
  std::int32_t n = 0;
  BeginRead(10, nullptr, 0);
  ReadItem(kInteger4, &n);
  EXPECT_EQ(EndRead(), 0);
  EXPECT_EQ(n, 7);
  char text[8];
  BeginRead(11, "(A8)", -1, kErrorBranch);
  ReadItem(kCharacter, text, 8);
  EXPECT_EQ(EndRead(), 6601);
}

TEST_F(IoUnitTest, FullDiskOnWritingOut) {
  ASSERT_EQ(OpenFile(20, "/dev/full", "OLD"), 0);
  EXPECT_EQ(WriteText(20, "(' RECORD')"), 0) << "the record waits in the buffer";
  EXPECT_EQ(Close(20, {}, kErrorBranch), 6422);
  EXPECT_EQ(Close(20, {}, kErrorBranch), 0) << "the unit is no longer connected";

  // At the end of the run the report comes from the closing, which still ends normally.
  StartRun();
  ASSERT_EQ(OpenFile(20, "/dev/full", "OLD"), 0);
  ASSERT_EQ(OpenFile(21, "AFTER.TXT", "NEW"), 0);
  WriteText(20, "(' RECORD')");
  WriteText(21, "(' KEPT')");
  Run([] { runtime::Stop(); });
  EXPECT_EQ(EndRun(), 1);
  EXPECT_EQ(streams_.out, "Stop - Program terminated.\r\n");
  EXPECT_EQ(streams_.err, std::string("\r\nrun-time error F6422: WRITE(/dev/full)\r\n- ") + runtime::ErrorMessage(6422) + "\r\n");
  EXPECT_EQ(FileBytes("AFTER.TXT"), " KEPT\r\n") << "the other units are closed all the same";
}

TEST_F(IoUnitTest, CloseDispositions) {
  ASSERT_EQ(OpenFile(10, "KEEP.TXT", "NEW"), 0);
  ASSERT_EQ(OpenFile(11, "DELETE.TXT", "NEW"), 0);
  WriteText(10, "(' A')");
  WriteText(11, "(' B')");
  EXPECT_EQ(Close(10, {"KEEP"}), 0);
  EXPECT_EQ(Close(11, {"delete "}), 0);
  EXPECT_EQ(Listing(), "KEEP.TXT");
  EXPECT_EQ(FileBytes("KEEP.TXT"), " A\r\n");
  EXPECT_EQ(Close(9), 0) << "a unit never opened";
  EXPECT_EQ(Close(7), 0);

  // A STATUS other than KEEP or DELETE does nothing.
  ASSERT_EQ(OpenFile(12, "STAYS.TXT", "NEW"), 0);
  EXPECT_EQ(Close(12, {"MAYBE"}), 6304);
  EXPECT_EQ(WriteText(12, "(' STILL OPEN')"), 0);
  EXPECT_EQ(Close(12), 0);
  EXPECT_EQ(FileBytes("STAYS.TXT"), " STILL OPEN\r\n");
}

TEST_F(IoUnitTest, ScratchFiles) {
  // OPEN(12) with no FILE: a scratch file with a name of its own, deleted at CLOSE.
  OpenKeywords scratch;
  ASSERT_EQ(Open(12, scratch, kErrorBranch), 0);
  EXPECT_EQ(WriteText(12, "(' SCRATCH')"), 0);
  EXPECT_EQ(Close(12), 0);
  EXPECT_EQ(Listing(), "");
  // KEEP of a scratch file is an error; the run's end still removes the file.
  ASSERT_EQ(Open(13, scratch, kErrorBranch), 0);
  EXPECT_EQ(Close(13, {"KEEP"}, kErrorBranch), 6300);
  ASSERT_EQ(Open(14, scratch, kErrorBranch), 0);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(Listing(), "") << "scratch files are deleted at the end of the run";
}

TEST_F(IoUnitTest, ReplaceAndAppend) {
  WriteFile("R.TXT", "OLD CONTENT\r\n");
  WriteFile("A.TXT", "OLD\r\n");
  WriteFile("P.TXT", "OLD\r\n");
  ASSERT_EQ(OpenFile(10, "R.TXT", "REPLACE"), 0);
  OpenKeywords append;
  append.file = {"A.TXT"};
  append.access = {"APPEND"};
  ASSERT_EQ(Open(11, append), 0);
  OpenKeywords position;
  position.file = {"P.TXT"};
  position.position = {"APPEND"};
  ASSERT_EQ(Open(12, position), 0);
  for (int unit = 10; unit <= 12; ++unit) WriteText(unit, "('NEW')");
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(FileBytes("R.TXT"), "NEW\r\n");
  EXPECT_EQ(FileBytes("A.TXT"), "OLD\r\nNEW\r\n");
  EXPECT_EQ(FileBytes("P.TXT"), "OLD\r\nNEW\r\n");
}

TEST_F(IoUnitTest, FileOutputIsBufferedUntilCloseOrFullBuffer) {
  ASSERT_EQ(OpenFile(10, "OUT.TXT", "NEW"), 0);
  WriteText(10, "('1TITLE',/,'0NEXT',/,' LAST')");
  EXPECT_EQ(FileBytes("OUT.TXT"), "") << "the records wait in the unit's buffer";
  EXPECT_EQ(Close(10), 0);
  EXPECT_EQ(FileBytes("OUT.TXT"), "1TITLE\r\n0NEXT\r\n LAST\r\n") << "carriage control kept in column 1";

  ASSERT_EQ(OpenFile(11, "BIG.TXT", "NEW"), 0);
  for (int i = 0; i < 30; ++i) WriteText(11, "(' 123456789012345678901234567890123456789012345678')");
  EXPECT_GE(fs::file_size("BIG.TXT"), 1024u) << "a full buffer goes to the file";
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(fs::file_size("BIG.TXT"), 30u * 51u);
}

// A blank FILE takes the command-line arguments in turn, then asks on the console until the
// reply is not empty.
TEST_F(IoUnitTest, BlankFileNames) {
  StartRun("", false, {" ARG1.TXT ", "ARG2.TXT"});
  const std::string blank(80, ' ');
  EXPECT_EQ(OpenFile(9, blank.c_str(), "NEW"), 0);
  EXPECT_EQ(OpenFile(7, " ", "NEW"), 0);
  EXPECT_EQ(streams_.out, "") << "no question while arguments are left";
  EXPECT_EQ(Listing(), "ARG1.TXT ARG2.TXT");

  // Piped input: the output line stays open after each reply, so the question begins a new line.
  StartRun("\n   \r\n NAME.TXT \r\n");
  EXPECT_EQ(OpenFile(9, "", "NEW"), 0);
  EXPECT_EQ(streams_.out, kQuestion + "\r\n" + kQuestion + "\r\n" + kQuestion) << Shown(streams_.out);
  EXPECT_TRUE(fs::exists("NAME.TXT"));

  // At a terminal the typed line end has already begun a new line.
  StartRun("\nNAME2.TXT\n", true);
  WriteText(kDefaultUnit, "(' PENDING')");
  EXPECT_EQ(OpenFile(9, "", "NEW"), 0);
  EXPECT_EQ(streams_.out, "PENDING\r\n" + kQuestion + kQuestion) << Shown(streams_.out);
  EXPECT_TRUE(fs::exists("NAME2.TXT"));
}

TEST_F(IoUnitTest, ImplicitOpenOnFirstUse) {
  WriteFile("IN.TXT", "42\n");
  StartRun("", false, {"OUT.TXT", "IN.TXT"});
  // WRITE(12,'(I3)') 5 and READ(13,*) N with no OPEN.
  BeginWrite(12, "(I3)", -1);
  WriteItem(5);
  EXPECT_EQ(EndWrite(), 0);
  std::int32_t n = 0;
  BeginRead(13, nullptr, 0);
  ReadItem(kInteger4, &n);
  EXPECT_EQ(EndRead(), 0);
  EXPECT_EQ(n, 42);
  EXPECT_EQ(EndRun(), 0);
  EXPECT_EQ(FileBytes("OUT.TXT"), "  5\r\n");
}

struct DeviceCase {
  const char* name;
  const char* out;                // standard output after WRITE ' X'
  const char* err;                // standard error
  std::optional<std::string> file;  // the file of that name, if one is created
};

TEST_F(IoUnitTest, DeviceNames) {
  const DeviceCase cases[] = {
      {"CON", "X", "", std::nullopt},
      {"con.txt", "X", "", std::nullopt},
      {"USER", "X", "", std::nullopt},
      {"user.dat", "", "", " X\r\n"},
      {"NUL", "", "", std::nullopt},
      {"nul.txt", "", "", std::nullopt},
      {"ERR", "", "X", std::nullopt},
      {"err.txt", "", "", " X\r\n"},
      {"CONSOLE", "", "", " X\r\n"},
  };
  // Files named like the devices are the user's: closing a device with DELETE leaves them.
  for (const char* name : {"CON", "ERR", "NUL"}) WriteFile(name, "USER DATA");
  for (const DeviceCase& c : cases) {
    StartRun();
    ASSERT_EQ(OpenFile(10, c.name), 0) << c.name;
    EXPECT_EQ(WriteText(10, "(' X')"), 0) << c.name;
    EXPECT_EQ(streams_.out, c.out) << c.name;
    EXPECT_EQ(streams_.err, c.err) << c.name;
    EXPECT_EQ(Close(10, c.file ? KeywordText{} : KeywordText{"DELETE"}), 0) << c.name;
    if (c.file) {
      EXPECT_EQ(FileBytes(c.name), *c.file) << c.name;
      fs::remove(c.name);
    }
    EXPECT_EQ(Listing(), "CON ERR NUL") << c.name << ": no other file is created or deleted";
    EXPECT_EQ(FileBytes("NUL"), "USER DATA") << c.name;
  }
}

TEST_F(IoUnitTest, ConsoleUnitReadsTheConsole) {
  StartRun("7\n");
  ASSERT_EQ(OpenFile(10, "CON"), 0);
  std::int32_t n = 0;
  BeginRead(10, nullptr, 0);
  ReadItem(kInteger4, &n);
  EXPECT_EQ(EndRead(), 0);
  EXPECT_EQ(n, 7);
  // CLOSE(0) of the console ends a pending line and leaves the console connected.
  WriteText(0, "(' A')");
  EXPECT_EQ(Close(0), 0);
  WriteText(0, "(' B')");
  // A re-OPEN of unit 6 ends a prompt line as CLOSE would.
  WriteText(6, "(' C',$)");
  ASSERT_EQ(OpenFile(6, "NUL"), 0);
  WriteText(0, "(' D')");
  EXPECT_EQ(streams_.out, "A\r\nB\r\nC\r\nD");
}

}  // namespace
}  // namespace fmtio
