#include "runtime/fp_traps.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cfenv>
#include <string>

#include "runtime/termination.h"

namespace runtime {
namespace {

// The child's hooks: reports go to its standard error, the closing announces itself on its
// standard output, so the parent sees both and how often the closing ran.
void WriteFd(int fd, const char* bytes, std::size_t count) {
  if (::write(fd, bytes, count) < 0) ::_exit(3);
}
void ChildOut(const char* bytes, std::size_t count) { WriteFd(1, bytes, count); }
void ChildErr(const char* bytes, std::size_t count) { WriteFd(2, bytes, count); }
void ChildClosing() { WriteFd(1, "<closing>", 9); }

struct ChildResult {
  int exitCode = -1;
  std::string out, err;
};

std::string Drain(int fd) {
  std::string bytes;
  char buffer[256];
  for (long n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return bytes;
}

// Runs `arithmetic` in a child process after the run-time support has armed the traps.
ChildResult WithTrapsArmed(float (*arithmetic)()) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::close(out[0]);
    ::close(err[0]);
    SetHooks({ChildOut, ChildErr, nullptr, ChildClosing});
    Start(0, nullptr);
    volatile float result = arithmetic();
    (void)result;
    ::_exit(0);
  }
  ::close(out[1]);
  ::close(err[1]);
  ChildResult result;
  result.out = Drain(out[0]);
  result.err = Drain(err[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

volatile float zero = 0.0f, one = 1.0f, huge = 1.0e30f, tiny = 1.0e-30f, three = 3.0f;

struct TrapCase {
  const char* what;
  float (*arithmetic)();
  int exitCode;
  const char* err;
  const char* out;
};

TEST(FloatingPointTrapTest, TrappingAndSilentExceptions) {
  const TrapCase cases[] = {
      {"division by zero", [] { return one / zero; }, 1,
       "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n", "<closing>"},
      {"overflow", [] { return huge * huge; }, 1,
       "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n", "<closing>"},
      {"invalid operation", [] { return zero / zero; }, 1,
       "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n", "<closing>"},
      {"underflow", [] { return tiny * tiny; }, 0, "", ""},
      {"denormal operand", [] { return tiny * 1.0e-10f * three; }, 0, "", ""},
      {"inexact result", [] { return one / three; }, 0, "", ""},
  };
  for (const TrapCase& c : cases) {
    const ChildResult child = WithTrapsArmed(c.arithmetic);
    EXPECT_EQ(child.exitCode, c.exitCode) << c.what;
    EXPECT_EQ(child.err, c.err) << c.what;
    EXPECT_EQ(child.out, c.out) << c.what << ": the closing runs once after a trap";
  }
}

TEST(FloatingPointTrapTest, NoHandlerForTheInterruptKeys) {
  Start(0, nullptr);
  DisarmFloatingPointTraps();
  struct sigaction action {};
  ASSERT_EQ(::sigaction(SIGINT, nullptr, &action), 0);
  EXPECT_EQ(action.sa_handler, SIG_DFL);
}

TEST(FloatingPointTrapTest, TrapNames) {
  const std::pair<int, const char*> names[] = {
      {6101, "invalid"}, {6102, "denormal"}, {6103, "divide by zero"}, {6104, "overflow"},
      {6105, "underflow"}, {6106, "inexact"}, {6108, "square root"}, {6110, "stack overflow"},
      {6111, "stack underflow"}};
  for (const auto& [number, name] : names) EXPECT_STREQ(TrapName(number), name) << number;
}

TEST(FloatingPointTrapTest, MaskedConversionsLeaveTheTrapsArmed) {
  ArmFloatingPointTraps();
  {
    TrapsMasked masked;
    volatile float result = one / zero;  // checked by the caller, not fatal
    (void)result;
  }
  EXPECT_EQ(fegetexcept(), FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0) << "the flags raised while masked are cleared";
  DisarmFloatingPointTraps();
}

}  // namespace
}  // namespace runtime
