#include "tools/trussplot/command_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "tools/trussplot/plot_file.h"
#include "tools/trussplot/summary.h"

namespace trussplot {

namespace {

constexpr std::string_view kUsage =
    "Usage: trussplot [--view iso|xy|xz|yz] [--up x|y|z] [--scale FACTOR] [--values] [--out FILE]\n"
    "                 [TRUSS.GRP]\n"
    "       trussplot --summary [--json] [--out FILE] [TRUSS.GRP]\n"
    "Draws the plot file of a truss run as an SVG picture: the undeformed model in grey, the\n"
    "deformed shape coloured by member stress, supports and reactions, loads, node and member\n"
    "numbers. With --summary, prints the reactions, equilibrium and member forces instead.\n"
    "\n"
    "  --view V        the direction of view: iso, or xy, xz, yz (seen along z, y, x: a plan\n"
    "                  when seen along the up axis); default: the plane of a plane truss, else iso\n"
    "  --up AXIS       the axis drawn up: x, y or z; default: the axis the loads act along,\n"
    "                  else z\n"
    "  --values        write the value of each load, reaction and member force (T or C)\n"
    "  --scale FACTOR  magnify the displacements FACTOR times (default: the largest is drawn\n"
    "                  a tenth of the structure's size)\n"
    "  --summary       print a plain-text summary: reactions, equilibrium, member forces, the\n"
    "                  largest displacement and stresses; draw nothing\n"
    "  --json          the summary as JSON\n"
    "  --out FILE      write the picture or summary to FILE (default: standard output)\n"
    "  --help          print this text\n"
    "\n"
    "The plot file defaults to TRUSS.GRP in the current folder. Exit codes: 0 done, 1 a file\n"
    "could not be read or written, 2 bad usage or the input is not a plot file.\n";

// A plot file of the largest model is a few kilobytes; anything far larger is not one.
constexpr std::size_t kMaxInputBytes = 16u << 20;

double ParseScale(std::string_view text) {
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(value) ||
      value <= 0.0) {
    throw UsageError("--scale needs a positive number, not '" + std::string(text) + "'");
  }
  return value;
}

// Reads a whole file; empty when it cannot be read.
std::optional<std::string> ReadFile(const std::string& name, bool& tooLarge) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxInputBytes) {
      tooLarge = true;
      return std::nullopt;
    }
  }
  if (in.bad()) return std::nullopt;
  return text;
}

// Why a plot file cannot be read. A missing one is the common case: truss has not been run in
// that folder yet.
std::string ReadFailure(const std::string& name, bool tooLarge) {
  if (tooLarge) return "too large to be a plot file";
  std::error_code error;
  if (std::filesystem::exists(name, error) || error) return "cannot read the file";
  const std::string folder = std::filesystem::path(name).parent_path().string();
  return "the file does not exist; a run of truss in " +
         (folder.empty() ? std::string("the current folder") : "the folder " + folder) +
         " writes it (a plot file is always named TRUSS.GRP)";
}

// Why an existing output path cannot be replaced by a new file; empty when it can. A symbolic
// link is followed: the file it names is the one replaced, and the link stays.
std::string RefusedTarget(const std::string& name, std::string& target) {
  struct stat status{};
  if (::lstat(name.c_str(), &status) != 0) return "";
  if (S_ISLNK(status.st_mode)) {
    char* resolved = ::realpath(name.c_str(), nullptr);
    if (resolved == nullptr) {
      return "a symbolic link that cannot be followed (" + std::string(std::strerror(errno)) + "); nothing was written";
    }
    target = resolved;
    std::free(resolved);
    if (::stat(target.c_str(), &status) != 0) return "";
  }
  if (S_ISREG(status.st_mode)) return "";
  const std::string kind = S_ISDIR(status.st_mode)   ? "a folder"
                           : S_ISFIFO(status.st_mode) ? "a FIFO"
                           : S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? "a device"
                                                                              : "not a regular file";
  return (target == name ? "" : "a symbolic link to ") + kind + ", not a regular file; nothing was written";
}

// Writes `text` to a new file beside `target` and renames it over the target once it is whole and
// closed, so a failure leaves the target as it was. Returns why it failed; empty on success.
std::string ReplaceFile(const std::string& target, const std::string& text) {
  // A write past a file-size limit must fail as a write, so the new file is removed.
  std::signal(SIGXFSZ, SIG_IGN);
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = target + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return std::strerror(errno);
  }
  if (fd < 0) return "no new file can be made beside it";
  // A file that is replaced keeps its permissions.
  if (struct stat old{}; ::stat(target.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  int error = 0;
  for (std::size_t done = 0; done < text.size() && error == 0;) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    if (n == 0) error = ENOSPC;  // a write that takes nothing would be tried for ever
    if (n < 0 && errno != EINTR) error = errno;
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error == 0) return "";
  ::unlink(temporary.c_str());
  return std::strerror(error);
}

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string> arguments) {
  CommandLine line;
  bool inputGiven = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view argument = arguments[i];
    if (!optionsEnded && argument.size() > 1 && argument.front() == '-') {
      if (argument == "--") {
        optionsEnded = true;
        continue;
      }
      if (argument == "--help" || argument == "-h") {
        line.help = true;
        continue;
      }
      if (argument == "--values") {
        line.picture.values = true;
        continue;
      }
      if (argument == "--summary" || argument == "--json") {
        line.summary = true;
        line.json = line.json || argument == "--json";
        continue;
      }
      std::string_view name = argument;
      std::optional<std::string_view> value;
      if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
        name = argument.substr(0, equals);
        value = argument.substr(equals + 1);
      }
      if (name != "--view" && name != "--up" && name != "--scale" && name != "--out") {
        throw UsageError("unknown option '" + std::string(argument) + "'");
      }
      if (!value) {
        if (i + 1 == arguments.size()) throw UsageError("option " + std::string(name) + " needs a value");
        value = arguments[++i];
      }
      if (name == "--view") {
        const auto view = ParseView(*value);
        if (!view) throw UsageError("--view takes iso, xy, xz or yz, not '" + std::string(*value) + "'");
        line.picture.view = *view;
      } else if (name == "--up") {
        const auto up = ParseAxis(*value);
        if (!up) throw UsageError("--up takes x, y or z, not '" + std::string(*value) + "'");
        line.picture.up = *up;
      } else if (name == "--scale") {
        line.picture.scale = ParseScale(*value);
      } else {
        if (value->empty()) throw UsageError("--out needs a file name");
        line.output = std::string(*value);
      }
      continue;
    }
    if (inputGiven) throw UsageError("only one plot file can be drawn at a time");
    line.input = std::string(argument);
    inputGiven = true;
  }
  return line;
}

std::string_view UsageText() { return kUsage; }

int RunTrussPlot(std::span<const std::string> arguments, std::ostream& standardOutput, std::ostream& errors) {
  CommandLine line;
  try {
    line = ParseCommandLine(arguments);
  } catch (const UsageError& error) {
    errors << "trussplot: " << error.what() << "\nTry 'trussplot --help'.\n";
    return kExitBadInput;
  }
  if (line.help) {
    standardOutput << kUsage;
    return kExitSuccess;
  }
  bool tooLarge = false;
  const std::optional<std::string> text = ReadFile(line.input, tooLarge);
  if (!text) {
    errors << "trussplot: " << line.input << ": " << ReadFailure(line.input, tooLarge) << "\n";
    return tooLarge ? kExitBadInput : kExitIoFailure;
  }
  std::string picture;
  try {
    const PlotFile file = ParsePlotFile(*text);
    picture = !line.summary ? WriteSvg(file, line.picture) : line.json ? WriteSummaryJson(file) : WriteSummary(file);
  } catch (const PlotFileError& error) {
    errors << "trussplot: " << line.input << ": " << error.what() << "\n";
    return kExitBadInput;
  }
  if (!line.output) {
    standardOutput << picture;
    standardOutput.flush();
    if (!standardOutput) {
      errors << "trussplot: cannot write to standard output\n";
      return kExitIoFailure;
    }
    return kExitSuccess;
  }
  std::string target = *line.output;
  if (const std::string refused = RefusedTarget(*line.output, target); !refused.empty()) {
    errors << "trussplot: " << *line.output << ": " << refused << "\n";
    return kExitIoFailure;
  }
  if (const std::string failure = ReplaceFile(target, picture); !failure.empty()) {
    errors << "trussplot: " << *line.output << ": cannot write the file (" << failure << ")\n";
    return kExitIoFailure;
  }
  return kExitSuccess;
}

}  // namespace trussplot
