// How a run ends: the orderly stop, the end-of-run closing and the exception that carries the
// exit code up to main.
#pragma once

#include <cstddef>

namespace runtime {

// Thrown to end the run; only main (and test or fuzz harnesses) catch it, then call Finish.
struct RunEnded {
  int exitCode;
};

// What the layers above supply to the run-time support at start-up. Every member may be null.
struct Hooks {
  void (*writeOut)(const char* bytes, std::size_t count);  // standard output
  void (*writeErr)(const char* bytes, std::size_t count);  // standard error
  void (*endConsoleLine)();                                // ends a pending console line, if any
  void (*closeUnits)();                                    // the end-of-run closing of every unit
};

// Installs the hooks of the layers above (replacing earlier ones) and clears the terminating state.
void SetHooks(const Hooks& hooks);

// Arms the floating-point traps, keeps the command line for the file layer and has the closing
// run at process exit when the program ends without Finish.
void Start(int argc, char** argv);

// The command-line arguments given at Start (without the program name).
int ArgumentCount();
const char* Argument(int index);

// Orderly end: ends a pending console line, writes "Stop - Program terminated." (or `text`) and
// ends the run with `exitCode` (0: the results were written).
[[noreturn]] void Stop(const char* text = nullptr, int exitCode = 0);

// Runs the end-of-run closing once (later calls do nothing) and returns the exit code to use:
// `exitCode`, or 1 when an error was reported during the closing.
int Finish(int exitCode);

// True once the end-of-run closing has begun.
bool Terminating();

// Notes that an error was reported during the closing: the run's exit code becomes 1.
void NoteClosingError();

// Writes to standard output and standard error through the installed hooks.
void WriteOut(const char* bytes, std::size_t count);
void WriteErr(const char* bytes, std::size_t count);

}  // namespace runtime
