#include "runtime/termination.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "runtime/fp_traps.h"
#include "runtime/run_time_error.h"

namespace runtime {
namespace {

Hooks hooks{};
bool terminating = false;
bool closingFailed = false;
int argumentCount = 0;
char** arguments = nullptr;

void WriteFd(int fd, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, bytes, count);
    if (n <= 0) return;  // nowhere left to report to
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
}

// A program that leaves main (or calls exit) without Finish still has its units written out.
void FinishAtExit() { Finish(0); }

}  // namespace

void SetHooks(const Hooks& newHooks) {
  hooks = newHooks;
  terminating = false;
  closingFailed = false;
}

void Start(int argc, char** argv) {
  argumentCount = argc > 1 ? argc - 1 : 0;
  arguments = argc > 1 ? argv + 1 : nullptr;
  ArmFloatingPointTraps();
  [[maybe_unused]] static const bool registered = std::atexit(FinishAtExit) == 0;
}

int ArgumentCount() { return argumentCount; }
const char* Argument(int index) {
  return index >= 0 && index < argumentCount ? arguments[index] : nullptr;
}

void WriteOut(const char* bytes, std::size_t count) {
  if (hooks.writeOut) hooks.writeOut(bytes, count);
  else WriteFd(1, bytes, count);
}

void WriteErr(const char* bytes, std::size_t count) {
  if (hooks.writeErr) hooks.writeErr(bytes, count);
  else WriteFd(2, bytes, count);
}

void Stop(const char* text, int exitCode) {
  if (hooks.endConsoleLine) hooks.endConsoleLine();
  if (text) {
    WriteOut(text, std::strlen(text));
    WriteOut("\r\n", 2);
  } else {
    static constexpr char kStop[] = "Stop - Program terminated.\r\n";
    WriteOut(kStop, sizeof kStop - 1);
  }
  throw RunEnded{exitCode};
}

bool Terminating() { return terminating; }

int Finish(int exitCode) {
  if (terminating) return exitCode;
  terminating = true;
  if (hooks.closeUnits) {
    // Subtle: an error raised while a unit is closed is reported by Fatal, which returns to here
    // during the closing; the closing itself goes on with the next unit.
    try {
      hooks.closeUnits();
    } catch (const RunTimeError& error) {
      Fatal(error);
    }
  }
  return closingFailed ? 1 : exitCode;
}

void NoteClosingError() { closingFailed = true; }

}  // namespace runtime
