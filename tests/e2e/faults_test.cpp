// Faults around the program rather than in its data: a full disk, a folder it may not write, odd
// file names, an interrupt. Each run keeps what it had written and overwrites nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/expected_report.h"
#include "tests/e2e/program_runner.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void Write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string Fatal(const std::string& code, const std::string& statement, const std::string& message) {
  return "\r\nrun-time error " + code + ": " + statement + "\r\n- " + message + "\r\n";
}

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
  Write(folder_ / "tower.dat", tower_);
  const std::string report = (folder_ / "full/rep.txt").string();
  const RunResult run = RunProgramIn(folder_, "tower.dat\n" + report + "\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, Fatal("F6422", "WRITE(" + report + ")", "no space left on device"));
  EXPECT_EQ(Read(report), towerReport_.substr(0, 4096)) << "the one page that fitted";
  const std::string plot = run.files.at("TRUSS.GRP");
  EXPECT_FALSE(plot.empty());
  EXPECT_TRUE(plot.ends_with("\r\n")) << "whole records only";
  EXPECT_EQ(plot, towerPlot_.substr(0, plot.size())) << "every record written before the failure";
}

TEST_F(FaultsTest, FullDiskWhileWritingThePlotFileKeepsWhatFittedAndTheReport) {
  // Two pages: one for the data file, one for the plot file.
  if (!MountSmallDisk("full", 8)) GTEST_SKIP() << "cannot mount a small file system here";
  Write(folder_ / "full/tower.dat", tower_);
  const std::string report = (folder_ / "rep.txt").string();
  const RunResult run = RunProgramIn((folder_ / "full").string(), "tower.dat\n" + report + "\n");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, Fatal("F6422", "WRITE(TRUSS.GRP)", "no space left on device"));
  EXPECT_EQ(run.files.at("TRUSS.GRP"), towerPlot_.substr(0, 4096));
  const std::string written = Read(report);
  EXPECT_FALSE(written.empty());
  EXPECT_TRUE(written.ends_with("\r\n"));
  EXPECT_EQ(written, towerReport_.substr(0, written.size()));
}

TEST_F(FaultsTest, ReportFolderWithoutWritePermissionIsAccessDenied) {
  Write(folder_ / "tower.dat", tower_);
  fs::create_directory(folder_ / "locked");
  fs::permissions(folder_ / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                          fs::perms::others_exec);
  fs::permissions(folder_ / "tower.dat", fs::perms::others_read, fs::perm_options::add);
  constexpr int kNobody = 65534;  // root is never denied access: the program runs as nobody
  const RunResult run = RunProgramIn(folder_, "tower.dat\nlocked/rep.txt\n", {}, kNobody);
  if (run.exitCode == 126) GTEST_SKIP() << "cannot change to another user here";
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, Fatal("F6414", "OPEN(locked/rep.txt)", "access denied"));
  EXPECT_TRUE(fs::is_empty(folder_ / "locked"));
  EXPECT_EQ(run.files.size(), 1u) << "nothing but the data file";
}

TEST_F(FaultsTest, DataFileNamesTheProgramTakesOrRefuses) {
  const std::string folder200(200, 'd');
  fs::create_directory(folder_ / folder200);
  fs::create_directory(folder_ / "sub");
  struct Case {
    std::string name;     // the data file's name as given
    bool create;          // the file exists with the tower's data
    std::string answers;  // the console answers ("" for the names on the command line)
    std::string err;      // standard error; "" for a whole analysis
  };
  const std::string name260 = folder200 + "/" + std::string(59, 'f');
  const std::string name261 = folder200 + "/" + std::string(60, 'f');
  const Case cases[] = {
      {name260, true, "", ""},
      {name261, true, "", Fatal("F6412", "OPEN(" + name261 + ")", "invalid file name or argument")},
      {"my data \"one\" 'x' \xC3\xA9.dat", true, "my data \"one\" 'x' \xC3\xA9.dat\nrep 'x' \xC3\xBC.txt\n", ""},
      {"sub", false, "sub\nrep.txt\n", Fatal("F6414", "OPEN(sub)", "access denied")},
  };
  for (const Case& c : cases) {
    if (c.create) Write(folder_ / c.name, tower_);
    const std::vector<std::string> args =
        c.answers.empty() ? std::vector<std::string>{c.name, "rep.txt"} : std::vector<std::string>{};
    const RunResult run = RunProgramIn(folder_, c.answers.empty() ? "\n\n" : c.answers, args);
    EXPECT_EQ(run.err, c.err) << c.name;
    EXPECT_EQ(run.exitCode, c.err.empty() ? 0 : 1) << c.name;
    const std::string report = c.answers.empty() ? "rep.txt" : "rep 'x' \xC3\xBC.txt";
    if (c.err.empty()) {
      EXPECT_EQ(Read(folder_ / report), towerReport_) << c.name;
      EXPECT_EQ(run.files.at("TRUSS.GRP"), towerPlot_) << c.name;
    } else {
      EXPECT_FALSE(fs::exists(folder_ / report)) << c.name << ": refused before any file is made";
      EXPECT_FALSE(fs::exists(folder_ / "TRUSS.GRP")) << c.name;
    }
    fs::remove(folder_ / report);
    fs::remove(folder_ / "TRUSS.GRP");
  }
}

// Ctrl-C ends the run at once: no closing, so the buffered records are not written. The files
// the run had made stay, and the next run in the folder refuses to overwrite them.
TEST_F(FaultsTest, InterruptEndsAtOnceAndTheNextRunOverwritesNothing) {
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
  // The data file is the console: the first READ of the model waits for a line never sent.
  const std::string typed = "CON\nrep.txt\n";
  ASSERT_EQ(::write(answers[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  // The plot file is the last file the program opens before it reads the model.
  for (int i = 0; i < 500 && !fs::exists(folder_ / "TRUSS.GRP"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(::kill(child, SIGINT), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(answers[1]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
  EXPECT_EQ(Read(folder_ / "rep.txt"), "");
  EXPECT_EQ(Read(folder_ / "TRUSS.GRP"), "");

  Write(folder_ / "tower.dat", tower_);
  const RunResult again = RunProgramIn(folder_, "tower.dat\nrep.txt\n");
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_EQ(again.err, Fatal("F6415", "OPEN(rep.txt)", "file already exists"));
  EXPECT_EQ(again.files.at("rep.txt"), "");
  EXPECT_EQ(again.files.at("TRUSS.GRP"), "");
}

}  // namespace
}  // namespace e2e
