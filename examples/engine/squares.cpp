// Writes a small table with a format, reads it back list-directed and prints the sum.
#include "fmtio/fmtio.h"

int main(int argc, char** argv) {
  fmtio::Start(argc, argv);
  int exitCode = 0;
  try {
    fmtio::OpenKeywords table;
    table.file = {"squares.txt"};
    table.status = {"REPLACE"};
    fmtio::Open(10, table);
    for (int i = 1; i <= 3; ++i) {
      fmtio::Write(10, "(1X,I3,F8.2)", i, static_cast<float>(i * i) / 4.0f);
    }
    fmtio::Close(10);
    table.status = {"OLD"};
    fmtio::Open(10, table);
    float sum = 0.0f;
    for (int i = 1; i <= 3; ++i) {
      int n = 0;
      float x = 0.0f;
      fmtio::Read(10, nullptr, n, x);  // a null format: list-directed
      sum += x;
    }
    fmtio::Write(fmtio::kDefaultUnit, "(' SUM =',F8.2)", sum);
    runtime::Stop();
  } catch (const runtime::RunEnded& end) {
    exitCode = end.exitCode;
  }
  return runtime::Finish(exitCode);
}
