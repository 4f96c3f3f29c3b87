// Shared parts of the fuzz targets: their start-up, a scratch folder with a bounded file size,
// the standard streams in memory, one run of the engine caught at its end, where a READ reads
// from, and the text layout of the inputs.
//
// Inputs are lines of text, so that the seed corpora stay readable:
//   %flags        an optional line of option letters (each target says which it knows)
//   item lines    WRITE: one item per line, a type letter and its value;
//                 READ: one line of type letters, an A followed by its length
//   the rest      the format text, the record data or the data file, by target
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fmtio/io_unit.h"
#include "fmtio/item_types.h"
#include "fmtio/platform.h"
#include "fmtio/read_statement.h"
#include "fmtio/units.h"
#include "runtime/fp_traps.h"
#include "runtime/run_time_error.h"
#include "runtime/termination.h"

namespace fuzz {

// The largest file a target may write: beyond it the platform refuses the write (6423), so a
// format that asks for two thousand million records costs one megabyte, not gigabytes.
inline constexpr rlim_t kMaxFileBytes = 1 << 20;

// Makes a fresh scratch folder in $TMPDIR (or /tmp), removed when the process exits (a crash
// leaves it for the caller to remove), and bounds the size of every file, adding -handle_xfsz=0
// to the fuzzer's flags. Subtle: the bound holds for the fuzzer's own output too when it goes to
// a file, so a long run's output goes through a pipe. Crash reports go to the folder the fuzzer
// was started in unless -artifact_prefix says otherwise, since each input runs inside the scratch
// folder.
void PrepareScratchFolder(int* argc, char*** argv);

// Runs one input inside the scratch folder, emptied first; the fuzzer's folder is current again
// afterwards, for its corpus.
class InScratchFolder {
 public:
  InScratchFolder();
  ~InScratchFolder();
  InScratchFolder(const InScratchFolder&) = delete;
  InScratchFolder& operator=(const InScratchFolder&) = delete;
};

// Writes `bytes` to the file `name` in the scratch folder.
void WriteFile(const char* name, std::string_view bytes);

// True when the "%flags" line holds `letter`.
bool HasFlag(std::string_view flags, char letter);

// Where a READ target reads from, chosen by its flags: c the console (i interactive, b blocks of
// 7 bytes) holding `bytes`, else the file `name` in the scratch folder holding them. The flags e
// and f give the statement an error and an end-of-file branch. Made inside the scratch folder.
class ReadSource {
 public:
  ReadSource(std::string_view flags, std::string_view bytes, const char* name,
             fmtio::platform::MemoryStreams& streams);
  // The options of each READ statement.
  int Options() const { return options_; }
  // The unit to read inside the run: the console, or `unit` opened with FILE and STATUS='OLD'
  // added to `keywords`.
  int Open(int unit, fmtio::OpenKeywords keywords = {}) const;

 private:
  const char* name_;
  bool console_;
  int options_;
};

// Runs `body` as one run of the engine on the in-memory streams: started as a program starts,
// traps disarmed, the end of the run caught and the closing done. Returns the exit code.
inline bool HasFlag(std::string_view flags, char letter) { return flags.find(letter) != std::string_view::npos; }

inline ReadSource::ReadSource(std::string_view flags, std::string_view bytes, const char* name,
                              fmtio::platform::MemoryStreams& streams)
    : name_(name),
      console_(HasFlag(flags, 'c')),
      options_((HasFlag(flags, 'e') ? fmtio::kErrorBranch : 0) | (HasFlag(flags, 'f') ? fmtio::kEndBranch : 0)) {
  if (console_) {
    streams.input.assign(bytes);
    streams.interactive = HasFlag(flags, 'i');
    streams.blockLimit = HasFlag(flags, 'b') ? 7 : 0;
  } else {
    WriteFile(name, bytes);
  }
}

inline int ReadSource::Open(int unit, fmtio::OpenKeywords keywords) const {
  if (console_) return fmtio::kDefaultUnit;
  keywords.file = {name_};
  keywords.status = {"OLD"};
  fmtio::Open(unit, keywords);
  return unit;
}

template <class Body>
int RunEngine(fmtio::platform::MemoryStreams& streams, Body body);

// The input split into lines: each Line() takes the bytes up to the next line feed.
class Lines {
 public:
  Lines(const std::uint8_t* data, std::size_t size) : text_(reinterpret_cast<const char*>(data), size) {}
  std::string_view Line();
  std::string_view Rest() const { return text_.substr(at_); }
  bool AtEnd() const { return at_ >= text_.size(); }
  // Takes a "%flags" line when the next line is one; returns its letters.
  std::string_view Flags();

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// Storage for the items of a READ: one exactly sized block per item, so that a store beyond an
// item is caught by the address checker.
struct ReadItems {
  std::vector<int> types;
  std::vector<int> lengths;
  std::vector<std::vector<unsigned char>> storage;
};

// Parses a line of type letters: I J K (4-, 2-, 1-byte integers), L M N (4-, 2-, 1-byte
// logicals), R D (4-, 8-byte reals), C W (8-, 16-byte complex), A<n> (characters, default 8).
ReadItems ParseReadItems(std::string_view letters, std::size_t maxItems);

// Reads every item of `items` in turn (between BeginRead and EndRead).
void ReadAll(ReadItems& items);

// Integer and real values of item text, 0 when the text is not a number.
template <class T>
T NumberOf(std::string_view text);

// The most format steps a statement may take before the target refuses the input.
inline constexpr double kMaxFormatWork = 1e6;

// An upper bound of the steps the format `text` asks of one statement over `elements` item
// elements: an entry is a step, a literal one more per character, n/ n steps, a data edit
// descriptor at most elements + 1; each pass of a group counts again, a group that takes an item
// passes at most elements + 1 times, and so does the whole format (reversion). A format may ask
// for 1E12 moves of the position within the rules (it then ends with 6601 or not at all), which is
// work, not a fault; the targets skip such formats.
double FormatWork(std::string_view text, double elements);

// ---- Implementation ---------------------------------------------------------------------------

namespace detail {
inline std::string& ScratchPath() {
  static std::string path;
  return path;
}
inline std::string& HomePath() {
  static std::string path;
  return path;
}
inline void RemoveScratchFolder() {
  std::error_code ignored;
  if (!ScratchPath().empty()) std::filesystem::remove_all(ScratchPath(), ignored);
}
}  // namespace detail

inline void PrepareScratchFolder(int* argc, char*** argv) {
  const char* folder = std::getenv("TMPDIR");
  std::string path = std::string(folder && *folder ? folder : "/tmp") + "/truss-fuzz-XXXXXX";
  if (!::mkdtemp(path.data())) std::abort();
  detail::ScratchPath() = path;
  detail::HomePath() = std::filesystem::current_path().string();
  std::atexit(detail::RemoveScratchFolder);
  // A write beyond the limit fails with EFBIG instead of ending the process.
  ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit {kMaxFileBytes, kMaxFileBytes};
  ::setrlimit(RLIMIT_FSIZE, &limit);

  // The fuzzer's own handler would count the refused write as a crash, so it is turned off,
  // and crash reports go where the fuzzer was started unless the command line says otherwise.
  static std::string prefix = "-artifact_prefix=" + detail::HomePath() + "/";
  static char noFileSizeHandler[] = "-handle_xfsz=0";
  static std::vector<char*> arguments;
  arguments.assign(*argv, *argv + *argc);
  bool prefixGiven = false;
  for (int i = 1; i < *argc; ++i) {
    if (std::strncmp((*argv)[i], "-artifact_prefix=", 17) == 0) prefixGiven = true;
  }
  if (!prefixGiven) arguments.push_back(prefix.data());
  arguments.push_back(noFileSizeHandler);
  *argc = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  *argv = arguments.data();
}

inline InScratchFolder::InScratchFolder() {
  if (::chdir(detail::ScratchPath().c_str()) != 0) std::abort();
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(".", ignored)) {
    std::filesystem::remove_all(entry.path(), ignored);
  }
}

inline InScratchFolder::~InScratchFolder() {
  if (::chdir(detail::HomePath().c_str()) != 0) std::abort();
}

inline void WriteFile(const char* name, std::string_view bytes) {
  FILE* file = std::fopen(name, "wb");
  if (!file) std::abort();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

template <class Body>
int RunEngine(fmtio::platform::MemoryStreams& streams, Body body) {
  fmtio::platform::UseMemoryStreams(&streams);
  fmtio::Start(0, nullptr);
  runtime::DisarmFloatingPointTraps();
  int code = 0;
  try {
    try {
      body();
    } catch (const runtime::RunTimeError& error) {
      runtime::Fatal(error);  // as main does: an error no statement claimed ends the run
    }
  } catch (const runtime::RunEnded& end) {
    code = end.exitCode;
  }
  code = runtime::Finish(code);
  fmtio::platform::UseMemoryStreams(nullptr);
  return code;
}

inline std::string_view Lines::Line() {
  if (at_ >= text_.size()) return {};
  const std::size_t end = text_.find('\n', at_);
  const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
  const std::string_view line = text_.substr(at_, stop - at_);
  at_ = end == std::string_view::npos ? text_.size() : end + 1;
  return line;
}

inline std::string_view Lines::Flags() {
  if (at_ < text_.size() && text_[at_] == '%') return Line().substr(1);
  return {};
}

inline ReadItems ParseReadItems(std::string_view letters, std::size_t maxItems) {
  ReadItems items;
  for (std::size_t i = 0; i < letters.size() && items.types.size() < maxItems; ++i) {
    int type = 0;
    int length = 0;
    switch (letters[i]) {
      case 'I': type = fmtio::kInteger4; break;
      case 'J': type = fmtio::kInteger2; break;
      case 'K': type = fmtio::kInteger1; break;
      case 'L': type = fmtio::kLogical4; break;
      case 'M': type = fmtio::kLogical2; break;
      case 'N': type = fmtio::kLogical1; break;
      case 'R': type = fmtio::kReal4; break;
      case 'D': type = fmtio::kReal8; break;
      case 'C': type = fmtio::kComplex8; break;
      case 'W': type = fmtio::kComplex16; break;
      case 'A': {
        type = fmtio::kCharacter;
        std::size_t end = i + 1;
        while (end < letters.size() && end < i + 4 && letters[end] >= '0' && letters[end] <= '9') ++end;
        length = end > i + 1 ? NumberOf<int>(letters.substr(i + 1, end - i - 1)) : 8;
        i = end - 1;
        break;
      }
      default: continue;
    }
    items.types.push_back(type);
    items.lengths.push_back(length);
    const int size = type == fmtio::kCharacter ? length : fmtio::SizeOf(type);
    // A zero-length character item still gets one byte of storage, for its address.
    items.storage.emplace_back(static_cast<std::size_t>(size > 0 ? size : 1));
  }
  return items;
}

inline void ReadAll(ReadItems& items) {
  for (std::size_t i = 0; i < items.types.size(); ++i) {
    fmtio::ReadItem(items.types[i], items.storage[i].data(), items.lengths[i]);
  }
}

template <class T>
T NumberOf(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  T value{};
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

inline double FormatWork(std::string_view text, double elements) {
  // A group being read: its repeat count, the steps of one pass and whether a pass takes an item.
  struct Group {
    double count;
    double steps;
    bool takesItem;
  };
  const double passLimit = elements + 1;  // passes of a group that takes an item, and reversions
  std::vector<Group> groups;
  std::size_t at = 0;
  const auto skipBlanks = [&] {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  };
  const auto nextIs = [&](char upper) {
    skipBlanks();
    return at < text.size() && (text[at] == upper || text[at] == upper - 'A' + 'a');
  };
  const auto closeGroup = [&] {
    const Group group = groups.back();
    groups.pop_back();
    double passes = group.count < 1 ? 1 : group.count;
    if (group.takesItem && passes > passLimit) passes = passLimit;
    groups.back().steps += passes * (1 + group.steps);
    groups.back().takesItem = groups.back().takesItem || group.takesItem;
  };

  skipBlanks();
  if (at >= text.size() || text[at] != '(') return 0;
  ++at;
  groups.push_back({1, 0, false});
  double count = -1;  // the number before the next token, or -1
  while (at < text.size()) {
    const char raw = text[at];
    if (raw == ' ' || raw == '\t') {
      ++at;
      continue;
    }
    if (raw >= '0' && raw <= '9') {
      // Blanks inside a number are skipped, as the format compiler does.
      count = 0;
      while (at < text.size() && ((text[at] >= '0' && text[at] <= '9') || text[at] == ' ' || text[at] == '\t')) {
        if (text[at] != ' ' && text[at] != '\t' && count < 2147483647.0) count = count * 10 + (text[at] - '0');
        ++at;
      }
      continue;
    }
    ++at;
    const double n = count < 0 ? 1 : count;
    const bool counted = count >= 0;
    count = -1;
    Group& group = groups.back();
    const char c = raw >= 'a' && raw <= 'z' ? static_cast<char>(raw - 'a' + 'A') : raw;
    switch (c) {
      case '(':
        groups.push_back({n, 0, false});
        break;
      case ')':
        if (groups.size() == 1) {
          return group.steps * (group.takesItem ? passLimit : 1);
        }
        closeGroup();
        break;
      case 'H': {
        const double length = counted ? std::min(n, static_cast<double>(text.size() - at)) : 0;
        at += static_cast<std::size_t>(length);
        group.steps += 1 + length;
        break;
      }
      case '\'':
      case '"': {
        double length = 0;
        while (at < text.size()) {
          if (text[at] == raw) {
            if (at + 1 < text.size() && text[at + 1] == raw) {
              at += 2;
              ++length;
              continue;
            }
            ++at;
            break;
          }
          ++at;
          ++length;
        }
        group.steps += 1 + length;
        break;
      }
      case ',':
        break;
      case '/':
        group.steps += n;
        break;
      case 'T':
        // TL and TR: the letter after T is no descriptor of its own.
        if (nextIs('L') || nextIs('R')) ++at;
        group.steps += 1;
        break;
      case 'B':
        if (nextIs('N') || nextIs('Z')) {
          ++at;
          group.steps += 1;
          break;
        }
        [[fallthrough]];
      case 'A': case 'L': case 'I': case 'D': case 'F': case 'E': case 'G': case 'Z': case 'O': case 'Q':
        // Each repetition of a data edit descriptor takes an item or ends the statement.
        group.steps += std::min(n, passLimit);
        group.takesItem = true;
        break;
      default:
        group.steps += 1;
    }
  }
  // The text ended inside a group: the statement stops at that point with an error.
  while (groups.size() > 1) closeGroup();
  return groups.back().steps * (groups.back().takesItem ? passLimit : 1);
}

}  // namespace fuzz
