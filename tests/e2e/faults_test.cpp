// Faults around the program rather than in its data: a full disk, a file size limit, files and
// folders it may not use, odd file names, an interrupt. Each run keeps what it had written and
// overwrites nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/expected_report.h"
#include "tests/e2e/program_runner.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

// Each test works in a fresh folder; small file systems mounted in it are unmounted again.
class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "truss-faults-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    fs::permissions(folder_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    tower_ = ReadSourceFile("examples/tower.dat");
    towerReport_ = ReadSourceFile("tests/e2e/golden/tower.report");
    towerPlot_ = ReadSourceFile("tests/e2e/golden/tower.grp");
  }

  void TearDown() override {
    for (const fs::path& mount : mounts_) ::umount(mount.c_str());
    fs::remove_all(folder_);
  }

  // A file system of `bytes` at folder/name; false when this machine does not let us mount one.
  bool MountSmallDisk(const std::string& name, int kilobytes) {
    const fs::path mount = folder_ / name;
    fs::create_directory(mount);
    const std::string options = "size=" + std::to_string(kilobytes) + "k";
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
    mounts_.push_back(mount);
    return true;
  }

  fs::path folder_;
  std::vector<fs::path> mounts_;
  std::string tower_, towerReport_, towerPlot_;
};

TEST_F(FaultsTest, FullDiskWhileWritingTheReportKeepsWhatFittedAndThePlotFile) {
  if (!MountSmallDisk("full", 4)) GTEST_SKIP() << "cannot mount a small file system here";
  WriteFile(folder_ / "tower.dat", tower_);
  const std::string report = (folder_ / "full/rep.txt").string();
  const RunResult run = RunProgramIn(folder_, "tower.dat\n" + report + "\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, FatalReport("F6422", "WRITE(" + report + ")", "no space left on device"));
  EXPECT_EQ(ReadFile(report), towerReport_.substr(0, 4096)) << "the one page that fitted";
  const std::string plot = run.files.at("TRUSS.GRP");
  EXPECT_FALSE(plot.empty());
  EXPECT_TRUE(plot.ends_with("\r\n")) << "whole records only";
  EXPECT_EQ(plot, towerPlot_.substr(0, plot.size())) << "every record written before the failure";
}

TEST_F(FaultsTest, FullDiskWhileWritingThePlotFileKeepsWhatFittedAndTheReport) {
  // Two pages: one for the data file, one for the plot file.
  if (!MountSmallDisk("full", 8)) GTEST_SKIP() << "cannot mount a small file system here";
  WriteFile(folder_ / "full/tower.dat", tower_);
  const std::string report = (folder_ / "rep.txt").string();
  const RunResult run = RunProgramIn((folder_ / "full").string(), "tower.dat\n" + report + "\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, FatalReport("F6422", "WRITE(TRUSS.GRP)", "no space left on device"));
  EXPECT_EQ(run.files.at("TRUSS.GRP"), towerPlot_.substr(0, 4096));
  const std::string written = ReadFile(report);
  EXPECT_FALSE(written.empty());
  EXPECT_TRUE(written.ends_with("\r\n"));
  EXPECT_EQ(written, towerReport_.substr(0, written.size()));
}

// A file size limit is not a full disk: the engine reports it as a write failure of its own
// number, and the limit's signal does not end the run. The write that crosses the limit stores
// what fits, to the byte.
TEST_F(FaultsTest, FileSizeLimitWhileWritingTheReportKeepsWhatFitted) {
  WriteFile(folder_ / "tower.dat", tower_);
  constexpr rlim_t kLimit = 3000;  // not a whole number of 1024-byte blocks
  // The limit and the signal's default action are inherited by the program; the test itself
  // writes no file while they hold.
  struct SizeLimit {
    rlimit old{};
    void (*oldAction)(int) = ::signal(SIGXFSZ, SIG_DFL);
    SizeLimit() {
      ::getrlimit(RLIMIT_FSIZE, &old);
      const rlimit small{kLimit, old.rlim_max};
      ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~SizeLimit() {
      ::setrlimit(RLIMIT_FSIZE, &old);
      ::signal(SIGXFSZ, oldAction);
    }
  };
  const RunResult run = [this] {
    const SizeLimit limit;
    return RunProgramIn(folder_, "tower.dat\nrep.txt\n");
  }();
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, FatalReport("F6423", "WRITE(rep.txt)", "write failure"));
  EXPECT_EQ(run.files.at("rep.txt"), towerReport_.substr(0, kLimit));
  const std::string& plot = run.files.at("TRUSS.GRP");
  EXPECT_TRUE(plot.ends_with("\r\n"));
  EXPECT_EQ(plot, towerPlot_.substr(0, plot.size()));
}

// Root is never denied access, so these runs are made as the user nobody in a folder it may
// write; each refusal comes at the OPEN or READ of the file concerned. The program runs from a
// copy in the test's folder, since nobody may not be able to enter the checkout.
TEST_F(FaultsTest, FilesTheUserMayNotUseAreRefused) {
  constexpr int kNobody = 65534;
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  const fs::path work = folder_ / "work";
  fs::create_directory(work);
  fs::permissions(work, fs::perms::all);
  fs::create_directory(folder_ / "readonly");
  WriteFile(folder_ / "readonly/tower.dat", tower_);
  fs::permissions(folder_ / "readonly/tower.dat", fs::perms::others_read, fs::perm_options::add);
  fs::permissions(folder_ / "readonly", readOnly);
  struct Case {
    std::string name;
    std::string folder;  // where the program runs
    std::string data;    // the data file made there, and its permissions
    fs::perms mode;
    std::string answers;
    std::string err;
    std::map<std::string, std::string> files;  // the folder's files after the run
  };
  const std::string report = (work / "rep.txt").string();
  const Case cases[] = {
      {"ReportFolderWithoutWritePermission", "work", "tower.dat", fs::perms::all, "tower.dat\nlocked/rep.txt\n",
       FatalReport("F6414", "OPEN(locked/rep.txt)", "access denied"), {{"tower.dat", tower_}}},
      {"DataFileNobodyMayRead", "work", "tower.dat", fs::perms::owner_read | fs::perms::owner_write,
       "tower.dat\nrep.txt\n", FatalReport("F6414", "OPEN(tower.dat)", "access denied"), {{"tower.dat", tower_}}},
      // Opened for writing only, the last of the three tries: the first READ fails.
      {"DataFileNobodyMayOnlyWrite", "work", "tower.dat", fs::perms::owner_read | fs::perms::others_write,
       "tower.dat\nrep.txt\n", FatalReport("F6500", "READ(tower.dat)", "read failure in line 1"),
       {{"tower.dat", tower_}, {"rep.txt", ""}, {"TRUSS.GRP", ""}}},
      {"WorkingFolderWithoutWritePermission", "readonly", "", fs::perms::none, "tower.dat\n" + report + "\n",
       FatalReport("F6414", "OPEN(TRUSS.GRP)", "access denied"), {{"tower.dat", tower_}}},
  };
  fs::create_directory(work / "locked");
  fs::permissions(work / "locked", readOnly);
  const fs::path program = folder_ / "bin/truss";
  fs::create_directory(folder_ / "bin");
  fs::copy_file(TRUSS_BINARY, program);
  for (const fs::path& path : {folder_ / "bin", program}) fs::permissions(path, readOnly | fs::perms::owner_write);
  for (const Case& c : cases) {
    if (!c.data.empty()) {
      WriteFile(work / c.data, tower_);
      fs::permissions(work / c.data, c.mode);
    }
    const RunResult run = RunProgramIn((folder_ / c.folder).string(), c.answers, {}, kNobody, program);
    if (run.exitCode == 126) GTEST_SKIP() << "cannot change to another user here";
    if (run.exitCode == 127) GTEST_SKIP() << "the user nobody cannot enter " << fs::temp_directory_path();
    EXPECT_EQ(run.exitCode, 1) << c.name;
    EXPECT_EQ(run.err, c.err) << c.name;
    EXPECT_EQ(run.files, c.files) << c.name;
    if (c.folder == "readonly") {
      EXPECT_EQ(ReadFile(report), "") << c.name << ": the report is made before the plot file is refused";
    }
    EXPECT_TRUE(fs::is_empty(work / "locked")) << c.name;
    for (const char* made : {"rep.txt", "TRUSS.GRP", "tower.dat"}) fs::remove(work / made);
  }
}

TEST_F(FaultsTest, DataFileNamesTheProgramTakesOrRefuses) {
  const std::string folder200(200, 'd');
  fs::create_directory(folder_ / folder200);
  fs::create_directory(folder_ / "sub");
  ASSERT_EQ(::mkfifo((folder_ / "pipe.dat").c_str(), 0600), 0);
  enum class Outcome { kAnalysis, kNoFileMade, kEmptyFilesMade };
  struct Case {
    std::string name;     // the data file made with the tower's data ("" for none)
    std::string answers;  // the console answers; "" for both names on the command line
    std::string report;   // the report file's name
    std::string err;
    Outcome outcome;
  };
  const std::string name260 = folder200 + "/" + std::string(59, 'f');
  const std::string name261 = folder200 + "/" + std::string(60, 'f');
  const std::string odd = "my data \"one\" 'x' \xC3\xA9.dat";
  const std::string oddReport = "rep 'x' \xC3\xBC.txt";
  const Case cases[] = {
      {name260, "", "rep.txt", "", Outcome::kAnalysis},
      {name261, "", "rep.txt", FatalReport("F6412", "OPEN(" + name261 + ")", "invalid file name or argument"),
       Outcome::kNoFileMade},
      {odd, odd + "\n" + oddReport + "\n", oddReport, "", Outcome::kAnalysis},
      // Blanks around a name are not part of it.
      {"tower.dat", "   tower.dat   \n  rep.txt\n", "rep.txt", "", Outcome::kAnalysis},
      {"", "sub\nrep.txt\n", "rep.txt", FatalReport("F6414", "OPEN(sub)", "access denied"), Outcome::kNoFileMade},
      // A named pipe opens, but its bytes cannot be read at a file position.
      {"", "pipe.dat\nrep.txt\n", "rep.txt", FatalReport("F6500", "READ(pipe.dat)", "read failure in line 1"),
       Outcome::kEmptyFilesMade},
  };
  for (const Case& c : cases) {
    if (!c.name.empty()) WriteFile(folder_ / c.name, tower_);
    const bool onCommandLine = c.answers.empty();
    const RunResult run = RunProgramIn(folder_, onCommandLine ? "\n\n" : c.answers,
                                       onCommandLine ? std::vector<std::string>{c.name, c.report}
                                                     : std::vector<std::string>{});
    EXPECT_EQ(run.err, c.err) << c.name;
    EXPECT_EQ(run.exitCode, c.err.empty() ? 0 : 1) << c.name;
    switch (c.outcome) {
      case Outcome::kAnalysis:
        EXPECT_EQ(ReadFile(folder_ / c.report), towerReport_) << c.name;
        EXPECT_EQ(ReadFile(folder_ / "TRUSS.GRP"), towerPlot_) << c.name;
        break;
      case Outcome::kNoFileMade:
        EXPECT_FALSE(fs::exists(folder_ / c.report)) << c.name << ": refused before any file is made";
        EXPECT_FALSE(fs::exists(folder_ / "TRUSS.GRP")) << c.name;
        break;
      case Outcome::kEmptyFilesMade:
        EXPECT_EQ(ReadFile(folder_ / c.report), "") << c.name;
        EXPECT_EQ(ReadFile(folder_ / "TRUSS.GRP"), "") << c.name;
        break;
    }
    fs::remove(folder_ / c.report);
    fs::remove(folder_ / "TRUSS.GRP");
  }
}

// Ctrl-C ends the run at once: no closing, so only the blocks already handed to the files are
// on disk. The files the run had made stay, and later runs in the folder refuse to overwrite them.
TEST_F(FaultsTest, InterruptEndsAtOnceAndLaterRunsOverwriteNothing) {
  int answers[2];
  ASSERT_EQ(::pipe(answers), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(answers[0], 0);
    ::close(answers[0]);
    ::close(answers[1]);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    if (::chdir(folder_.c_str()) != 0) ::_exit(127);
    ::execl(TRUSS_BINARY, TRUSS_BINARY, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(answers[0]);
  // The data file is the console, and the console gets the title, the counts and the eight node
  // records of the tower: the program echoes them, writes the member head and waits for the
  // first member record, which never comes.
  std::string typed = "CON\nrep.txt\n";
  for (std::size_t at = 0, line = 0; line < 10; ++line) {
    const std::size_t end = tower_.find('\n', at) + 1;
    typed += tower_.substr(at, end - at);
    at = end;
  }
  ASSERT_EQ(::write(answers[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  // Files are written in blocks of 1024 bytes; what is held in a block not yet full is lost.
  const std::size_t reportHeld = towerReport_.find(MemberHead()) + MemberHead().size();
  std::size_t plotHeld = 0;
  for (int record = 0; record < 2 + 20; ++record) plotHeld = towerPlot_.find("\r\n", plotHeld) + 2;
  const std::size_t reportOnDisk = reportHeld / 1024 * 1024;
  const std::size_t plotOnDisk = plotHeld / 1024 * 1024;
  ASSERT_GT(plotOnDisk, 0u);
  const auto sizeOf = [this](const char* name) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(folder_ / name, error);
    return error ? std::uintmax_t{0} : size;
  };
  for (int i = 0; i < 500 && (sizeOf("rep.txt") < reportOnDisk || sizeOf("TRUSS.GRP") < plotOnDisk); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(::kill(child, SIGINT), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(answers[1]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
  const std::string report = towerReport_.substr(0, reportOnDisk);
  const std::string plot = towerPlot_.substr(0, plotOnDisk);
  EXPECT_EQ(ReadFile(folder_ / "rep.txt"), report);
  EXPECT_EQ(ReadFile(folder_ / "TRUSS.GRP"), plot);

  WriteFile(folder_ / "tower.dat", tower_);
  struct Later {
    std::string answers;
    std::string err;
    std::map<std::string, std::string> files;
  };
  const Later later[] = {
      {"tower.dat\nrep.txt\n", FatalReport("F6415", "OPEN(rep.txt)", "file already exists"),
       {{"tower.dat", tower_}, {"rep.txt", report}, {"TRUSS.GRP", plot}}},
      // A new report is made, then the plot file of the interrupted run refuses the run.
      {"tower.dat\nrep2.txt\n", FatalReport("F6415", "OPEN(TRUSS.GRP)", "file already exists"),
       {{"tower.dat", tower_}, {"rep.txt", report}, {"rep2.txt", ""}, {"TRUSS.GRP", plot}}},
  };
  for (const Later& run : later) {
    const RunResult again = RunProgramIn(folder_, run.answers);
    EXPECT_EQ(again.exitCode, 1) << run.answers;
    EXPECT_EQ(again.err, run.err) << run.answers;
    EXPECT_EQ(again.files, run.files) << run.answers;
  }
}

}  // namespace
}  // namespace e2e
