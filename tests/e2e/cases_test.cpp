// Whole-program runs kept as data: every case of tests/e2e/cases/*.cases is a test of its own,
// named after its file and line, that places files, answers the console, runs the program and
// checks what it left behind. cases/README.md tells how a case is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/e2e/program_runner.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

struct Check {
  int line;
  std::string subject;  // out, err, exit, files or a file name
  std::string op;
  std::string value;
  bool Whole() const { return op != "~" && op != "!~"; }
};

struct Case {
  std::string error;  // why the case file could not be read here
  std::string answers;
  std::vector<std::string> args;
  std::vector<InputFile> inputs;
  std::vector<Check> checks;
};

std::string Decode(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      bytes += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'x') {
      bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else if (c == '*') {
      const std::size_t colon = text.find(':', i);
      bytes.append(std::stoul(text.substr(i + 1, colon - i - 1)), text.at(colon + 1));
      i = colon + 1;
    } else {
      const std::string from = "rntf0", to = std::string("\r\n\t\f") + '\0';
      bytes += from.find(c) == std::string::npos ? c : to[from.find(c)];
    }
  }
  return bytes;
}

// The bytes a report file's records become on the console, where column 1 is carriage control.
std::string ToConsole(const std::string& report) {
  std::string console;
  for (std::size_t at = 0, end; (end = report.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const char control = end > at ? report[at] : ' ';
    console += control == '1' ? "\r\n\f\r \r" : control == '0' ? "\r\n\r\n" : control == '+' ? "\r" : "\r\n";
    if (end > at) console += report.substr(at + 1, end - at - 1);
  }
  return console;
}

// The words of a line: bare words, and quoted words kept with their quotes.
std::vector<std::string> Split(const std::string& line) {
  static const std::regex word(R"("(\\.|[^"\\])*"|[^ "][^ ]*|")");
  std::vector<std::string> words;
  for (std::sregex_iterator at(line.begin(), line.end(), word), end; at != end; ++at) {
    if (at->str() == "\"") throw std::runtime_error("unclosed quote");
    words.push_back(at->str());
  }
  return words;
}

bool Holds(const std::string& actual, const std::string& op, const std::string& expected) {
  if (op == "=") return actual == expected;
  if (op == "^") return actual.starts_with(expected);
  if (op == "$") return actual.ends_with(expected);
  if (op == "~" || op == "!~") return (actual.find(expected) != std::string::npos) == (op == "~");
  std::size_t records = 0;  // #: the number of records
  for (std::size_t at = actual.find("\r\n"); at != std::string::npos; at = actual.find("\r\n", at + 2)) ++records;
  if (op == "#") return std::to_string(records) == expected;
  throw std::runtime_error("unknown check " + op);
}

// Bytes as a quoted C string, a line to a record, cut short where they are long.
std::string Show(const std::string& bytes) {
  std::string shown = testing::PrintToString(bytes.substr(0, 3000));
  for (std::size_t at = 0; (at = shown.find("\\n", at)) != std::string::npos; at += 3) shown.insert(at + 2, "\n");
  return bytes.size() > 3000 ? shown + "... (" + std::to_string(bytes.size()) + " bytes)" : shown;
}

class CaseTest : public testing::Test {
 public:
  CaseTest(std::string file, Case c) : file_(std::move(file)), case_(std::move(c)) {}

  void TestBody() override {
    if (!case_.error.empty()) FAIL() << case_.error;
    const RunResult run = RunProgram(case_.answers, case_.inputs, case_.args);
    // A check's subject is a stream, the exit code, the list of files or a file by its name.
    std::map<std::string, std::string> subjects = run.files;
    subjects.insert({{"out", run.out}, {"err", run.err}, {"exit", std::to_string(run.exitCode)}, {"files", ""}});
    for (const auto& file : run.files) {
      subjects["files"] += (subjects["files"].empty() ? "" : " ") + file.first;
      const bool input = std::ranges::any_of(case_.inputs, [&](const InputFile& in) { return in.name == file.first; });
      const bool whole = file.second.empty() || file.second.ends_with("\r\n");
      EXPECT_TRUE(input || whole) << file.first << " ends within a record";
    }
    const bool option = !case_.args.empty() && case_.args[0].starts_with("--");  // --help, --version
    if ((run.exitCode == 0 || run.exitCode == 2) && !option) {
      EXPECT_TRUE(run.out.ends_with("Stop - Program terminated.\r\n")) << Show(run.out);
    }
    for (const Check& check : case_.checks) {
      const auto subject = subjects.find(check.subject);
      if (subject == subjects.end()) {
        ADD_FAILURE_AT(file_.c_str(), check.line) << "no file " << check.subject << " is left";
      } else if (!Holds(subject->second, check.op, check.value)) {
        ADD_FAILURE_AT(file_.c_str(), check.line) << check.subject << " " << check.op << " fails; expected\n"
                                                  << Show(check.value) << "\nactual\n" << Show(subject->second);
      }
    }
  }

 private:
  std::string file_;
  Case case_;
};

void Register(const std::string& file, const std::string& name, int line, const Case& c) {
  testing::RegisterTest(fs::path(file).stem().c_str(), (name + "_L" + std::to_string(line)).c_str(), nullptr,
                        nullptr, file.c_str(), line, [file, c]() -> testing::Test* { return new CaseTest(file, c); });
}

void ReadCaseFile(const std::string& file) {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(file));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::map<std::string, std::string> values;
  std::string name;
  int caseLine = 0;
  Case defaults, current;
  Case* target = &defaults;  // where the directives go: the defaults until the first case
  // A case takes the default checks, but its own whole-value check of a subject (=, ^, $ or #)
  // replaces the default ones of that subject; checks of what a value holds (~, !~) add up.
  auto finish = [&] {
    if (name.empty()) return;
    for (const Check& check : defaults.checks) {
      const auto replaces = [&](const Check& own) { return own.subject == check.subject && own.Whole(); };
      if (!check.Whole() || std::ranges::none_of(current.checks, replaces)) current.checks.push_back(check);
    }
    Register(file, name, caseLine, current);
    name.clear();
  };
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const int lineNumber = static_cast<int>(n) + 1;
    if (lines[n].empty() || lines[n][0] == '#') continue;
    try {
      std::vector<std::string> words = Split(lines[n]);
      std::string block;
      if (words.back() == "<<lf" || words.back() == "<<crlf") {
        const std::string ending = words.back() == "<<lf" ? "\n" : "\r\n";
        while (n + 1 < lines.size() && lines[n + 1].starts_with("|")) block += Decode(lines[++n].substr(1)) + ending;
        words.pop_back();
      }
      auto word = [&](std::size_t i) {
        const std::string& w = words.at(i);
        if (w[0] == '$') return values.at(w.substr(1));
        if (w[0] == '@') return w[1] == '@' ? ToConsole(ReadSourceFile(w.substr(2))) : ReadSourceFile(w.substr(1));
        return w[0] == '"' ? Decode(w.substr(1, w.size() - 2)) : w;
      };
      // The words from `first` on, joined, and the block after them.
      auto value = [&](std::size_t first) {
        std::string joined;
        for (std::size_t i = first; i < words.size(); ++i) joined += word(i);
        return joined + block;
      };
      const std::string& directive = words[0];
      if (directive == "let") {
        values[word(1)] = value(2);
      } else if (directive == "defaults" || directive == "case") {
        finish();
        if (directive == "defaults") {
          defaults = Case{};
          target = &defaults;
          continue;
        }
        current = defaults;
        current.checks.clear();
        target = &current;
        name = word(1);
        caseLine = lineNumber;
      } else if (directive == "put") {
        std::vector<InputFile>& inputs = target->inputs;
        auto same = std::ranges::find_if(inputs, [&](const InputFile& in) { return in.name == word(1); });
        if (same == inputs.end()) same = inputs.insert(same, {word(1), ""});
        same->contents = value(2);
      } else if (directive == "edit" || directive == "editall") {
        std::string& data = target->inputs.at(0).contents;
        const std::string from = word(1), to = word(2);
        std::size_t at = data.find(from);
        if (at == std::string::npos) throw std::runtime_error("nothing to edit");
        for (; at != std::string::npos; at = directive == "editall" ? data.find(from, at + to.size()) : data.npos) {
          data.replace(at, from.size(), to);
        }
      } else if (directive == "stdin") {
        target->answers = value(1);
      } else if (directive == "arg") {
        target->args.push_back(value(1));
      } else if (directive == "out" || directive == "err" || directive == "exit" || directive == "files") {
        target->checks.push_back({lineNumber, directive, words.at(1), value(2)});
      } else if (directive == "file") {
        target->checks.push_back({lineNumber, word(1), words.at(2), value(3)});
      } else {
        throw std::runtime_error("unknown directive " + directive);
      }
    } catch (const std::exception& e) {
      Case bad;
      bad.error = e.what();
      Register(file, "BadLine", lineNumber, bad);
    }
  }
  finish();
}

const bool kRegistered = [] {
  std::vector<std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(TRUSS_SOURCE_DIR) / "tests/e2e/cases")) {
    if (entry.path().extension() == ".cases") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) ReadCaseFile(file);
  return true;
}();

}  // namespace
}  // namespace e2e
