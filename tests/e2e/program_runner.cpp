#include "tests/e2e/program_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace e2e {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary);
  out << contents;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string FatalReport(const std::string& code, const std::string& statement, const std::string& message) {
  return "\r\nrun-time error " + code + ": " + statement + "\r\n- " + message + "\r\n";
}

std::string ReadSourceFile(const std::string& relativePath) {
  const fs::path path = fs::path(TRUSS_SOURCE_DIR) / relativePath;
  if (!fs::exists(path)) throw std::runtime_error("missing " + path.string());
  return ReadFile(path);
}

RunResult RunProgram(const std::string& answers, const std::vector<InputFile>& files,
                     const std::vector<std::string>& args) {
  std::string folder = (fs::temp_directory_path() / "truss-e2e-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) throw std::runtime_error("cannot create a scratch folder");
  for (const InputFile& file : files) {
    fs::create_directories((folder / fs::path(file.name)).parent_path());
    WriteFile(folder / fs::path(file.name), file.contents);
  }
  RunResult result = RunProgramIn(folder, answers, args);
  fs::remove_all(folder);
  return result;
}

// The standard streams are unnamed scratch files: the answers are all there before the program
// starts, and it may write any amount before it reads.
RunResult RunProgramIn(const std::string& folder, const std::string& answers, const std::vector<std::string>& args,
                       int user, const std::string& program) {
  FILE* streams[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
  if (!streams[0] || !streams[1] || !streams[2]) throw std::runtime_error("cannot create the standard streams");
  std::fwrite(answers.data(), 1, answers.size(), streams[0]);
  std::fflush(streams[0]);
  std::rewind(streams[0]);
  const pid_t child = fork();
  if (child == 0) {
    for (int fd = 0; fd < 3; ++fd) dup2(fileno(streams[fd]), fd);
    if (chdir(folder.c_str()) != 0) _exit(127);
    if (user != -1 && (setgid(static_cast<gid_t>(user)) != 0 || setuid(static_cast<uid_t>(user)) != 0)) _exit(126);
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    alarm(60);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  RunResult result;
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  for (int fd = 1; fd < 3; ++fd) {
    std::string& text = fd == 1 ? result.out : result.err;
    std::rewind(streams[fd]);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, streams[fd])) > 0;) text.append(buffer, n);
  }
  for (FILE* stream : streams) std::fclose(stream);
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) result.files[entry.path().filename().string()] = ReadFile(entry.path());
  }
  return result;
}

}  // namespace e2e
