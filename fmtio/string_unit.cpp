// The string unit of Format and Parse: a sequential file in memory, written and read through the
// unit layer's own record paths.
#include "fmtio/string_unit.h"

#include <algorithm>
#include <memory>
#include <new>

#include "fmtio/platform.h"
#include "runtime/run_time_error.h"

namespace fmtio {
namespace {

// A block of the memory file, and the record length of a file opened without RECL.
constexpr int kStringBlock = 1024;

IoUnit unit;
std::string bytes;
bool connected = false;
int openError = 6314;  // raised by a statement on the string unit while it is not connected

void Connect(std::string_view text, const char* name) {
  std::unique_ptr<char[]> buffer = std::move(unit.buffer);
  unit = IoUnit{};
  unit.buffer = buffer ? std::move(buffer) : std::make_unique_for_overwrite<char[]>(kStringBlock);
  unit.bufferSize = kStringBlock;
  unit.recl = kStringBlock;
  unit.number = kStringUnit;
  unit.name = name;
  unit.handle = platform::kMemoryFile;
  unit.kind = UnitKind::kSequential;
  unit.carriageControl = CarriageControl::kPlain;
  bytes.assign(text);
  unit.knownSize = static_cast<std::int64_t>(bytes.size());
  platform::UseMemoryFile(&bytes);
  connected = true;
}

}  // namespace

void OpenStringUnit(std::string_view text, const char* name) {
  connected = false;
  try {
    Connect(text, name);
  } catch (const std::bad_alloc&) {
    openError = 6700;  // the statement that selects the unit reports it
    return;
  }
  openError = 6314;
}

IoUnit& StringUnit() {
  if (!connected) runtime::Raise(openError);
  return unit;
}

std::string CloseStringUnit() {
  if (!connected) return {};
  connected = false;
  // As the closing of a file: an open record is kept, the window written out.
  if (!unit.writeFailed) {
    if (unit.recordOpen) unit.writtenEnd = std::max(unit.writtenEnd, unit.recordStart + unit.recordLength);
    FlushWindow(unit);
  }
  platform::UseMemoryFile(nullptr);
  if (unit.writtenEnd >= 0 && static_cast<std::size_t>(unit.writtenEnd) < bytes.size()) {
    bytes.resize(static_cast<std::size_t>(unit.writtenEnd));
  }
  std::string records;
  records.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    records += bytes[i];
  }
  if (!records.empty() && records.back() == '\n' && bytes.ends_with("\r\n")) records.pop_back();
  return records;
}

}  // namespace fmtio
