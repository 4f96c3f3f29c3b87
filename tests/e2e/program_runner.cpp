#include "tests/e2e/program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace e2e {
namespace {

namespace fs = std::filesystem;

fs::path MakeScratchFolder() {
  std::string pattern = (fs::temp_directory_path() / "truss-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a scratch folder");
  return pattern;
}

// Feeds `input` to fd `in` and drains `out` and `err` until both are closed, without blocking
// on any one of them (the program may write more than a pipe holds before it reads).
void PumpPipes(int in, const std::string& input, int out, int err, std::string& outText, std::string& errText) {
  std::size_t written = 0;
  if (input.empty()) {
    close(in);
    in = -1;
  }
  char buffer[4096];
  while (out >= 0 || err >= 0 || in >= 0) {
    pollfd fds[3];
    int count = 0;
    if (in >= 0) fds[count++] = {in, POLLOUT, 0};
    if (out >= 0) fds[count++] = {out, POLLIN, 0};
    if (err >= 0) fds[count++] = {err, POLLIN, 0};
    if (poll(fds, count, 30000) <= 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("the program hangs");
    }
    for (int i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in) {
        const ssize_t n = write(in, input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<std::size_t>(n);
        if (n < 0 || written == input.size()) {
          close(in);
          in = -1;
        }
        continue;
      }
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (fds[i].fd == out ? outText : errText).append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        (fds[i].fd == out ? out : err) = -1;
      }
    }
  }
}

}  // namespace

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary);
  out << contents;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string FatalReport(const std::string& code, const std::string& statement, const std::string& message) {
  return "\r\nrun-time error " + code + ": " + statement + "\r\n- " + message + "\r\n";
}

RunResult RunProgram(const std::string& answers, const std::vector<InputFile>& files,
                     const std::vector<std::string>& args) {
  const fs::path folder = MakeScratchFolder();
  for (const InputFile& file : files) {
    fs::create_directories((folder / file.name).parent_path());
    WriteFile(folder / file.name, file.contents);
  }
  RunResult result = RunProgramIn(folder, answers, args);
  fs::remove_all(folder);
  return result;
}

RunResult RunProgramIn(const std::string& folder, const std::string& answers, const std::vector<std::string>& args,
                       int user, const std::string& program) {
  int toChild[2], fromOut[2], fromErr[2];
  if (pipe(toChild) != 0 || pipe(fromOut) != 0 || pipe(fromErr) != 0) throw std::runtime_error("pipe");
  // A program that stops reading must not kill the test with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  const pid_t child = fork();
  if (child == 0) {
    dup2(toChild[0], 0);
    dup2(fromOut[1], 1);
    dup2(fromErr[1], 2);
    for (int fd : {toChild[0], toChild[1], fromOut[0], fromOut[1], fromErr[0], fromErr[1]}) close(fd);
    if (chdir(folder.c_str()) != 0) _exit(127);
    if (user != -1 && (setgid(static_cast<gid_t>(user)) != 0 || setuid(static_cast<uid_t>(user)) != 0)) _exit(126);
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(toChild[0]);
  close(fromOut[1]);
  close(fromErr[1]);
  fcntl(toChild[1], F_SETFL, O_NONBLOCK);

  RunResult result;
  PumpPipes(toChild[1], answers, fromOut[0], fromErr[0], result.out, result.err);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) result.files[entry.path().filename().string()] = ReadFile(entry.path());
  }
  return result;
}

std::string ReadSourceFile(const std::string& relativePath) {
  const fs::path path = fs::path(TRUSS_SOURCE_DIR) / relativePath;
  if (!fs::exists(path)) throw std::runtime_error("missing " + path.string());
  return ReadFile(path);
}

}  // namespace e2e
