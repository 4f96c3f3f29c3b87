// The string statements under Format and Parse: a WRITE or READ on the string unit.
#include "fmtio/typed_io.h"

#include <new>

#include "fmtio/string_unit.h"
#include "runtime/run_time_error.h"

namespace fmtio::detail {
namespace {

int formatOptions = 0;

}  // namespace

void BeginFormat(FormatText format, int options) {
  OpenStringUnit({}, "FORMAT");
  formatOptions = options;
  BeginWrite(kStringUnit, format.text, format.length, nullptr, 0, options);
}

int EndFormat(std::string& records) {
  int status = EndWrite();
  try {
    records = CloseStringUnit();
  } catch (const std::bad_alloc&) {
    runtime::RunTimeError error;
    error.number = 6700;
    if (!(formatOptions & kErrorBranch)) runtime::Fatal(error);
    status = 6700;
  }
  return status;
}

void BeginParse(std::string_view text, FormatText format, int options) {
  OpenStringUnit(text, "PARSE");
  BeginRead(kStringUnit, format.text, format.length, options);
}

}  // namespace fmtio::detail
