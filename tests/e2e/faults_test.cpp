// Faults around the program rather than in its data: a full disk, a file size limit, files and
// folders it may not use, an interrupt. Each run keeps what it had written and overwrites nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/program_runner.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// Each test works in a fresh folder that every user may enter; small file systems mounted in it
// are unmounted again.
class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "truss-faults-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    fs::permissions(folder_, fs::perms::owner_all | kEnter);
  }

  void TearDown() override {
    for (const fs::path& mount : mounts_) ::umount(mount.c_str());
    fs::remove_all(folder_);
  }

  // A file system of `kilobytes` at folder/name; false when this machine does not let us mount one.
  bool MountSmallDisk(const std::string& name, int kilobytes) {
    fs::create_directory(folder_ / name);
    const std::string options = "size=" + std::to_string(kilobytes) + "k";
    if (::mount("tmpfs", (folder_ / name).c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
    mounts_.push_back(folder_ / name);
    return true;
  }

  // Runs the tower in folder/`runIn` with the report at folder/`report`, where a write fails after
  // `fitted` bytes of the report (or else of the plot file): that file is cut back to the last
  // record that fitted whole, the other one holds whole records, and the run ends with the write
  // failure. With `limit` the program runs under that file size limit and the limit signal's
  // default action; the test itself writes no file while they hold.
  void ExpectCutShort(const std::string& runIn, const std::string& report, bool reportCut, std::size_t fitted,
                      const std::string& code, const std::string& message, rlim_t limit = RLIM_INFINITY) {
    const fs::path reportPath = folder_ / report, plotPath = folder_ / runIn / "TRUSS.GRP";
    fs::create_directories(folder_ / runIn);
    WriteFile(folder_ / runIn / "tower.dat", tower_);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{std::min(limit, old.rlim_max), old.rlim_max};
    void (*oldAction)(int) = ::signal(SIGXFSZ, SIG_DFL);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const RunResult run = RunProgramIn((folder_ / runIn).string(), "tower.dat\n" + reportPath.string() + "\n");
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldAction);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, FatalReport(code, "WRITE(" + (reportCut ? reportPath.string() : "TRUSS.GRP") + ")", message));
    const std::string& cut = reportCut ? towerReport_ : towerPlot_;
    EXPECT_EQ(ReadFile(reportCut ? reportPath : plotPath), cut.substr(0, cut.rfind("\r\n", fitted - 2) + 2));
    const std::string other = ReadFile(reportCut ? plotPath : reportPath);
    EXPECT_TRUE(other.ends_with("\r\n")) << "whole records only, and some";
    EXPECT_EQ(other, (reportCut ? towerPlot_ : towerReport_).substr(0, other.size()));
  }

  static constexpr fs::perms kEnter =
      fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  static constexpr fs::perms kReadOnly = kEnter | fs::perms::owner_read | fs::perms::owner_exec;
  const std::string tower_ = ReadSourceFile("examples/tower.dat");
  const std::string towerReport_ = ReadSourceFile("tests/e2e/golden/tower.report");
  const std::string towerPlot_ = ReadSourceFile("tests/e2e/golden/tower.grp");
  fs::path folder_;
  std::vector<fs::path> mounts_;
};

TEST_F(FaultsTest, FullDiskKeepsWhatFittedOfEitherFile) {
  if (!MountSmallDisk("report", 4) || !MountSmallDisk("plot", 8)) GTEST_SKIP() << "cannot mount a small disk here";
  ExpectCutShort("", "report/rep.txt", true, 4096, "F6422", "no space left on device");
  // Two pages: one for the data file, one for the plot file.
  ExpectCutShort("plot", "rep.txt", false, 4096, "F6422", "no space left on device");
}

// A file size limit is not a full disk: the engine reports it as a write failure of its own
// number, and the limit's signal does not end the run. The write that crosses the limit stores
// part of a 1024-byte block (3000 is not a whole number of them), and the records of that part
// that fitted whole stay. At 9000 the failing write is the closing's, after the stop message.
TEST_F(FaultsTest, FileSizeLimitWhileWritingTheReportKeepsWhatFitted) {
  ExpectCutShort("", "rep.txt", true, 3000, "F6423", "write failure", 3000);
  ExpectCutShort("late", "late/rep.txt", true, 9000, "F6423", "write failure", 9000);
}

// Root is never denied access, so these runs are made as the user nobody in a folder it may
// write; each refusal comes at the OPEN or READ of the file concerned, and nothing is written. The
// program runs from a copy in the test's folder, since nobody may not be able to enter the checkout.
TEST_F(FaultsTest, FilesTheUserMayNotUseAreRefused) {
  constexpr int kNobody = 65534;
  const fs::path work = folder_ / "work", program = folder_ / "bin/truss";
  for (const char* made : {"work", "work/locked", "bin"}) fs::create_directory(folder_ / made);
  fs::copy_file(TRUSS_BINARY, program);
  fs::permissions(work, fs::perms::all);
  for (const char* locked : {"work/locked", "bin", "bin/truss"}) fs::permissions(folder_ / locked, kReadOnly);
  struct Case {
    fs::perms mode;  // of the tower's data, made in the folder as tower.dat
    std::string answers, err;
    std::map<std::string, std::string> files;  // the folder's files after the run
  } cases[] = {
      {fs::perms::all, "tower.dat\nlocked/rep.txt\n", FatalReport("F6414", "OPEN(locked/rep.txt)", "access denied"),
       {{"tower.dat", tower_}}},
      {fs::perms::owner_read | fs::perms::owner_write, "tower.dat\nrep.txt\n",
       FatalReport("F6414", "OPEN(tower.dat)", "access denied"), {{"tower.dat", tower_}}},
      // Opened for writing only, the last of the three tries: the first READ fails.
      {fs::perms::owner_read | fs::perms::others_write, "tower.dat\nrep.txt\n",
       FatalReport("F6500", "READ(tower.dat)", "read failure in line 1"),
       {{"tower.dat", tower_}, {"rep.txt", ""}, {"TRUSS.GRP", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers);
    WriteFile(work / "tower.dat", tower_);
    fs::permissions(work / "tower.dat", c.mode);
    const RunResult run = RunProgramIn(work.string(), c.answers, {}, kNobody, program);
    if (run.exitCode == 126) GTEST_SKIP() << "cannot change to another user here";
    if (run.exitCode == 127) GTEST_SKIP() << "the user nobody cannot enter " << fs::temp_directory_path();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.files, c.files);
    EXPECT_TRUE(fs::is_empty(work / "locked"));
    for (const char* made : {"rep.txt", "TRUSS.GRP", "tower.dat"}) fs::remove(work / made);
  }
}

// Ctrl-C ends the run at once: no closing, so only the blocks already handed to the files are
// on disk, and the files the run had made stay.
TEST_F(FaultsTest, InterruptEndsAtOnceKeepingTheBlocksWritten) {
  // The data file is the console, and the console gets the title, the counts and the eight node
  // records of the tower: the program echoes them, writes the member head and waits for the
  // first member record, which never comes.
  const auto through = [](const std::string& text, const std::string& end, int count) {
    std::size_t at = 0;
    while (count-- > 0) at = text.find(end, at) + end.size();
    return text.substr(0, at);
  };
  const std::string typed = "CON\nrep.txt\n" + through(tower_, "\n", 10);
  // Files are written in blocks of 1024 bytes; what is held in a block not yet full is lost.
  const std::string report = towerReport_.substr(0, through(towerReport_, "A(K)\r\n", 1).size() / 1024 * 1024);
  const std::string plot = towerPlot_.substr(0, through(towerPlot_, "\r\n", 2 + 20).size() / 1024 * 1024);
  ASSERT_FALSE(plot.empty());
  int answers[2];
  ASSERT_EQ(::pipe(answers), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(answers[0], 0);
    ::close(answers[0]);
    ::close(answers[1]);
    ::freopen("/dev/null", "w", stdout);
    ::freopen("/dev/null", "w", stderr);
    if (::chdir(folder_.c_str()) == 0) ::execl(TRUSS_BINARY, TRUSS_BINARY, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(answers[0]);
  ASSERT_EQ(::write(answers[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  for (int i = 0; i < 500 && (ReadFile(folder_ / "rep.txt").size() < report.size() ||
                              ReadFile(folder_ / "TRUSS.GRP").size() < plot.size());
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(::kill(child, SIGINT), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(answers[1]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
  EXPECT_EQ(ReadFile(folder_ / "rep.txt"), report);
  EXPECT_EQ(ReadFile(folder_ / "TRUSS.GRP"), plot);
}

}  // namespace
}  // namespace e2e
