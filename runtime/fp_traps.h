// Floating-point traps: invalid operation, division by zero and overflow end the run with an
// "M" error; underflow, denormal operands and inexact results pass silently.
#pragma once

namespace runtime {

// Unmasks the three trapping exceptions and installs the trap handler.
void ArmFloatingPointTraps();

// Masks all floating-point traps again (for harnesses that run the engine in-process).
void DisarmFloatingPointTraps();

// The report text of floating-point error `number` (6101 "invalid", 6103 "divide by zero", ...).
const char* TrapName(int number);

// Masks the traps for the lifetime of the object and clears the flags it raised on exit: for the
// engine's own conversions, whose out-of-range intermediate results are checked, not fatal.
class TrapsMasked {
 public:
  TrapsMasked();
  ~TrapsMasked();
  TrapsMasked(const TrapsMasked&) = delete;
  TrapsMasked& operator=(const TrapsMasked&) = delete;

 private:
  int saved_;
};

}  // namespace runtime
