// Runs the built truss program as a real process in a scratch folder, with the console answers on
// its standard input, and collects everything it left behind.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace e2e {

// What one run of the program produced.
struct RunResult {
  std::string out;                           // standard output, byte for byte
  std::string err;                           // standard error, byte for byte
  int exitCode = -1;                         // exit status, or -1 when the process did not exit
  std::map<std::string, std::string> files;  // every file in the folder after the run, by name
};

// A file placed in the scratch folder before the run.
struct InputFile {
  std::string name;
  std::string contents;
};

// Runs the program in a fresh scratch folder holding `files`, and removes the folder again.
RunResult RunProgram(const std::string& answers, const std::vector<InputFile>& files,
                     const std::vector<std::string>& args = {});

// Runs `program` in `folder`, which the caller owns, with `answers` on its standard input; under
// that user and group id when `user` is not -1 (the caller must be root). A run that takes more
// than a minute is ended.
RunResult RunProgramIn(const std::string& folder, const std::string& answers,
                       const std::vector<std::string>& args = {}, int user = -1,
                       const std::string& program = TRUSS_BINARY);

// The whole contents of a file ("" when it cannot be read).
std::string ReadFile(const std::filesystem::path& path);

// Makes `path` a file holding `contents`.
void WriteFile(const std::filesystem::path& path, const std::string& contents);

// The standard-error bytes of a fatal run-time error: code "F6416", statement "OPEN(data.dat)".
std::string FatalReport(const std::string& code, const std::string& statement, const std::string& message);

// The contents of a file of the source tree, given relative to its root.
std::string ReadSourceFile(const std::string& relativePath);

}  // namespace e2e
