#include "runtime/fp_traps.h"

#include <fenv.h>
#include <signal.h>
#include <unistd.h>

#include "runtime/run_time_error.h"
#include "runtime/termination.h"

namespace runtime {
namespace {

constexpr int kTrapping = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

struct TrapEntry {
  int number;
  const char* name;
};

constexpr TrapEntry kTraps[] = {
    {6101, "invalid"},        {6102, "denormal"},      {6103, "divide by zero"},
    {6104, "overflow"},       {6105, "underflow"},     {6106, "inexact"},
    {6108, "square root"},    {6110, "stack overflow"}, {6111, "stack underflow"},
};

int TrapNumber(int code) {
  switch (code) {
    case FPE_FLTDIV: case FPE_INTDIV: return 6103;
    case FPE_FLTOVF: case FPE_INTOVF: return 6104;
    case FPE_FLTUND: return 6105;
    case FPE_FLTRES: return 6106;
    default: return 6101;
  }
}

// Subtle: the faulting instruction cannot be resumed, so the handler reports, runs the end-of-run
// closing and ends the process itself instead of unwinding to main.
void OnTrap(int, siginfo_t* info, void*) {
  RunTimeError error;
  error.number = TrapNumber(info->si_code);
  error.letter = 'M';
  error.kind = StatementKind::kMath;
  error.message = "floating-point error: ";
  error.message += TrapName(error.number);
  const std::string text = FatalReportText(error);
  WriteErr(text.data(), text.size());
  DisarmFloatingPointTraps();
  const int code = Finish(1);
  _exit(code);
}

}  // namespace

const char* TrapName(int number) {
  for (const TrapEntry& entry : kTraps) {
    if (entry.number == number) return entry.name;
  }
  return "";
}

void ArmFloatingPointTraps() {
  struct sigaction action {};
  action.sa_sigaction = OnTrap;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, nullptr);
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(kTrapping);
}

void DisarmFloatingPointTraps() { fedisableexcept(FE_ALL_EXCEPT); }

TrapsMasked::TrapsMasked() : saved_(fegetexcept()) {
  if (saved_ != 0) fedisableexcept(FE_ALL_EXCEPT);
}

TrapsMasked::~TrapsMasked() {
  if (saved_ != 0) {
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(saved_);
  }
}

}  // namespace runtime
