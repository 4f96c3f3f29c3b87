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
    for (int i = 1; i <= 3; ++i) {  // WRITE(10,'(1X,I3,F8.2)') I, I*I/4.
      fmtio::BeginWrite(10, "(1X,I3,F8.2)", -1);
      fmtio::WriteItem(i);
      fmtio::WriteItem(static_cast<float>(i * i) / 4.0f);
      fmtio::EndWrite();
    }
    fmtio::Close(10);
    table.status = {"OLD"};
    fmtio::Open(10, table);
    float sum = 0.0f;
    for (int i = 1; i <= 3; ++i) {  // READ(10,*) N, X
      int n = 0;
      float x = 0.0f;
      fmtio::BeginRead(10, nullptr, 0);
      fmtio::ReadItem(fmtio::kInteger4, &n);
      fmtio::ReadItem(fmtio::kReal4, &x);
      fmtio::EndRead();
      sum += x;
    }
    fmtio::BeginWrite(fmtio::kDefaultUnit, "(' SUM =',F8.2)", -1);  // WRITE(*,'(...)') SUM
    fmtio::WriteItem(sum);
    fmtio::EndWrite();
    runtime::Stop();
  } catch (const runtime::RunEnded& end) {
    exitCode = end.exitCode;
  }
  return runtime::Finish(exitCode);
}
