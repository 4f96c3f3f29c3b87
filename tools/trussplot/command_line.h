// The trussplot command: its arguments and the whole run from the plot file to the picture.
#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tools/trussplot/svg_writer.h"

namespace trussplot {

// Exit codes of the command.
constexpr int kExitSuccess = 0;
constexpr int kExitIoFailure = 1;   // the plot file cannot be read or the picture not written
constexpr int kExitBadInput = 2;    // bad usage, or the input is not a plot file

// What the command line asks for.
struct CommandLine {
  PictureOptions picture;                 // view, up axis, magnification and values
  std::string input = "TRUSS.GRP";        // the plot file to read
  std::optional<std::string> output;      // the SVG file to write; empty: standard output
  bool help = false;                      // --help: print the usage and stop
  bool summary = false;                   // --summary: print the summary instead of drawing
  bool json = false;                      // --json: the summary as JSON
};

// A command line that cannot be followed; what() says why in one sentence.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name. Raises UsageError for an unknown option, a missing
// or bad option value, or more than one file name.
CommandLine ParseCommandLine(std::span<const std::string> arguments);

// The text printed by --help.
std::string_view UsageText();

// The whole command: reads the plot file, builds the picture (or the summary) in memory and only
// then writes it to a new file renamed over the output, so a failed run leaves the output as it
// was; an output that is not a regular file is refused. Messages go to `errors`; returns the exit code.
int RunTrussPlot(std::span<const std::string> arguments, std::ostream& standardOutput, std::ostream& errors);

}  // namespace trussplot
