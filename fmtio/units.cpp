// The unit table and the connections: the start of a run, OPEN (also the implicit one of a READ
// or WRITE on a unit not yet connected), CLOSE and the end-of-run closing, with the device names
// and the keyword values they accept.
#include <cctype>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "fmtio/io_unit.h"
#include "fmtio/units.h"
#include "fmtio/write_statement.h"
#include "runtime/run_time_error.h"
#include "runtime/termination.h"

namespace fmtio {

IoUnit consoleIn;
IoUnit* consoleOut = &consoleIn;

namespace {

constexpr int kSlotCount = 61;
constexpr int kDefaultBlockSize = 1024;
constexpr int kMaxNameLength = 260;
constexpr int kMaxBlockSize = 2147483136;

struct Slot {
  int number = 0;
  std::unique_ptr<IoUnit> unit;  // null: the slot is free
};

Slot slots[kSlotCount];
IoUnit consoleOutSeparate;
int nextArgument = 0;
std::string openName;  // the trimmed name of the OPEN under way, shown with its errors

// ---- Keyword values ---------------------------------------------------------------------------

std::string_view Trimmed(KeywordText value) {
  const char* text = value.text;
  std::size_t n = value.length < 0 ? std::strlen(text) : static_cast<std::size_t>(value.length);
  while (n > 0 && text[n - 1] == ' ') --n;
  return {text, n};
}

bool SameWord(std::string_view value, const char* word) {
  const std::size_t n = std::strlen(word);
  if (value.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::toupper(static_cast<unsigned char>(value[i])) != word[i]) return false;
  }
  return true;
}

// The index of the keyword's value in `words`, `absent` when not given; another value is 6304.
int Choose(KeywordText value, std::initializer_list<const char*> words, int absent) {
  if (!value.text) return absent;
  const std::string_view text = Trimmed(value);
  int index = 0;
  for (const char* word : words) {
    if (SameWord(text, word)) return index;
    ++index;
  }
  runtime::Raise(6304);
}

std::string TrimBoth(const char* text, std::size_t n) {
  std::size_t begin = 0;
  while (begin < n && text[begin] == ' ') ++begin;
  while (n > begin && text[n - 1] == ' ') --n;
  return std::string(text + begin, n - begin);
}

// ---- Device names -----------------------------------------------------------------------------

enum class Device { kNone, kConsole, kError, kNull, kPath };

struct DeviceEntry {
  const char* name;
  Device device;
  const char* path;  // platform path of kPath devices
};

// Printers and serial lines are the platform's device files of the same order.
constexpr DeviceEntry kDevices[] = {
    {"CON", Device::kConsole, nullptr},    {"USER", Device::kConsole, nullptr},
    {"ERR", Device::kError, nullptr},      {"NUL", Device::kNull, "/dev/null"},
    {"PRN", Device::kPath, "/dev/lp0"},    {"LPT1", Device::kPath, "/dev/lp0"},
    {"LPT2", Device::kPath, "/dev/lp1"},   {"LPT3", Device::kPath, "/dev/lp2"},
    {"LPT4", Device::kPath, "/dev/lp3"},   {"COM1", Device::kPath, "/dev/ttyS0"},
    {"AUX", Device::kPath, "/dev/ttyS0"},  {"LINE", Device::kPath, "/dev/ttyS0"},
    {"COM2", Device::kPath, "/dev/ttyS1"}, {"COM3", Device::kPath, "/dev/ttyS2"},
    {"COM4", Device::kPath, "/dev/ttyS3"},
};

// The device a trimmed name denotes: three or four letters, optionally with an extension, which
// makes the names beginning with E, L or U (ERR, LINE, LPTn, USER) ordinary files.
const DeviceEntry* FindDevice(const std::string& name) {
  const std::size_t dot = name.find('.');
  const std::size_t base = dot == std::string::npos ? name.size() : dot;
  if (base < 3 || base > 4) return nullptr;
  const std::string_view stem(name.data(), base);
  for (const DeviceEntry& entry : kDevices) {
    if (!SameWord(stem, entry.name)) continue;
    if (dot != std::string::npos && std::strchr("ELU", entry.name[0])) return nullptr;
    return &entry;
  }
  return nullptr;
}

// ---- The unit table ---------------------------------------------------------------------------

// Units 0, 5 and 6 are connected to the console until an OPEN connects them elsewhere.
bool Preconnected(int number) { return number == 0 || number == 5 || number == 6; }

Slot* FindSlot(int number) {
  for (Slot& slot : slots) {
    if (slot.unit && slot.number == number) return &slot;
  }
  return nullptr;
}

Slot* FreeSlot() {
  for (Slot& slot : slots) {
    if (!slot.unit) return &slot;
  }
  return nullptr;
}

// ---- Opening -----------------------------------------------------------------------------------

std::unique_ptr<IoUnit> NewUnit(int number, int bufferSize) {
  auto unit = std::make_unique<IoUnit>();
  unit->number = number;
  unit->bufferSize = bufferSize;
  unit->buffer = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(bufferSize));
  return unit;
}

void ResetConsoleRecord(IoUnit& unit, int handle) {
  unit = IoUnit{};
  unit.name = "CON";
  unit.handle = handle;
  unit.kind = UnitKind::kTerminal;
  unit.carriageControl = CarriageControl::kInterpreted;
  unit.console = true;
  unit.stream = true;
  unit.bufferSize = kConsoleBufferSize;
  unit.buffer = std::make_unique<char[]>(kConsoleBufferSize);
}

// Completes a blank file name: the next command-line argument, else the question on the console,
// asked again until the reply is not empty.
std::string AskFileName(int number) {
  while (nextArgument < runtime::ArgumentCount()) {
    const char* argument = runtime::Argument(nextArgument++);
    std::string name = TrimBoth(argument, std::strlen(argument));
    if (!name.empty()) return name;
  }
  for (;;) {
    EndConsoleLine();
    std::string question = "File name missing or blank - please enter file name\r\nUNIT ";
    question += std::to_string(number);
    question += "? ";
    WriteTerminal(*consoleOut, question.data(), static_cast<int>(question.size()));
    consoleOut->outputPending = true;
    consoleOut->prompt = true;
    PrepareInput(consoleIn);
    try {
      ReadLine(consoleIn, kMaxNameLength, 0);
    } catch (runtime::RunTimeError& error) {
      if (error.number == 6501) {
        error.message = "end of file: standard input ended before a name for unit " + std::to_string(number) +
                        " was given";
      }
      throw;
    }
    std::string reply;
    for (char c : consoleIn.line) {
      if (c != '\r') reply += c;
    }
    reply = TrimBoth(reply.data(), reply.size());
    if (!reply.empty()) return reply;
  }
}

// Closes the connection of `unit` with the given disposition (-1 default, 0 KEEP, 1 DELETE). The
// handle is closed and the unit emptied also when writing out its buffer fails.
void CloseConnection(IoUnit& unit, int disposition) {
  const bool remove = disposition < 0 ? unit.deleteOnClose : disposition == 1;
  if (disposition == 0 && unit.scratch) runtime::Raise(6300);
  struct Release {
    IoUnit& unit;
    ~Release() {
      if (!unit.console) platform::CloseHandle(unit.handle);
      unit.handle = -1;
    }
  };
  if (unit.console) {
    EndConsoleLine();
    return;
  }
  Release release{unit};
  if (unit.kind == UnitKind::kTerminal) {
    if (unit.outputPending) WriteTerminal(unit, "\r\n", 2);
    unit.outputPending = false;
  } else if (!unit.writeFailed) {
    if (unit.recordOpen) unit.writtenEnd = std::max(unit.writtenEnd, unit.recordStart + unit.recordLength);
    FlushWindow(unit);
    if (unit.kind == UnitKind::kSequential && unit.writtenEnd >= 0 && unit.writtenEnd < unit.knownSize) {
      platform::Truncate(unit.handle, unit.writtenEnd);
    }
  }
  if (remove && unit.kind != UnitKind::kTerminal) {  // a device has no file to delete
    platform::CloseHandle(unit.handle);
    unit.handle = -1;
    const int error = platform::DeleteFile(unit.name);
    if (error != 0) runtime::Raise(error);
  }
}

// Closes the connection for a CLOSE statement or for a re-OPEN: every error on the way, a failed
// write included, is the CLOSE's.
void CloseForStatement(IoUnit& unit, int disposition) {
  try {
    CloseConnection(unit, disposition);
  } catch (runtime::RunTimeError& error) {
    if (!runtime::ShownWithoutUnit(error.number)) {
      error.kind = runtime::StatementKind::kClose;
      error.name = unit.name;
    }
    throw;
  }
}

// The work of OPEN; raises unlocated errors.
void OpenUnit(int number, const OpenKeywords& keywords) {
  openName.clear();
  int status = Choose(keywords.status, {"OLD", "NEW", "SCRATCH", "REPLACE", "UNKNOWN"}, -1);
  const int access = Choose(keywords.access, {"SEQUENTIAL", "DIRECT", "APPEND"}, 0);
  const int form = Choose(keywords.form, {"FORMATTED", "UNFORMATTED", "BINARY"}, access == 1 ? 1 : 0);
  const int blank = Choose(keywords.blank, {"NULL", "ZERO"}, 0);
  const int position = Choose(keywords.position, {"ASIS", "REWIND", "APPEND"}, 0);
  const int action = Choose(keywords.action, {"READWRITE", "READ", "WRITE"}, -1);
  const int delim = Choose(keywords.delim, {"NONE", "APOSTROPHE", "QUOTE"}, 0);
  const int pad = Choose(keywords.pad, {"YES", "NO"}, 0);
  const int control = Choose(keywords.carriageControl, {"INTERPRETED", "LIST"}, -1);
  Choose(keywords.share, {"DENYNONE", "COMPAT", "DENYRD", "DENYWR", "DENYRW"}, 0);
  if (keywords.recl < 0 || keywords.blockSize < 0 || keywords.blockSize > kMaxBlockSize) {
    runtime::Raise(6304);
  }
  if (access == 1 && keywords.recl == 0) runtime::Raise(6311);
  // Only formatted connections are kept by this engine.
  if (form != 0) runtime::Raise(6304);

  Slot* slot = FindSlot(number);
  IoUnit* current = slot ? slot->unit.get() : nullptr;
  std::string name;
  if (keywords.file.text) {
    const char* text = keywords.file.text;
    const std::size_t n = keywords.file.length < 0 ? std::strlen(text) : static_cast<std::size_t>(keywords.file.length);
    name = TrimBoth(text, n);
    if (status == 2) {
      openName = name;
      runtime::Raise(6301);
    }
    if (name.empty()) name = AskFileName(number);
  } else if (current) {
    name = current->name;
  } else {
    name = platform::ScratchName();
    status = 2;
  }
  if (status < 0) status = 4;
  openName = name;
  if (name.size() > kMaxNameLength || name.find('\0') != std::string::npos) runtime::Raise(6412);

  const DeviceEntry* device = FindDevice(name);
  platform::FileIdentity identity;
  const bool exists = !device && platform::IdentityOfName(name, identity);
  for (Slot& other : slots) {
    if (!other.unit || &other == slot) continue;
    const IoUnit& unit = *other.unit;
    if (device ? (device->device != Device::kNull && SameWord(unit.name, device->name))
               : (exists && unit.hasIdentity && unit.identity == identity)) {
      runtime::Raise(6413);
    }
  }
  const UnitKind kind = access == 1 ? UnitKind::kDirect : UnitKind::kSequential;
  if (current) {
    const bool same = device ? SameWord(current->name, device->name)
                             : (exists && current->hasIdentity && current->identity == identity);
    if (same) {
      if (device ? access != 0 : current->kind != kind) runtime::Raise(6209);
      current->blankZero = blank == 1;
      current->delim = static_cast<Delim>(delim);
      current->padNo = pad == 1;
      if (control >= 0) current->carriageControl = static_cast<CarriageControl>(control);
      return;
    }
    CloseForStatement(*current, -1);
    slot->unit.reset();
    slot = nullptr;
  } else if (Preconnected(number)) {
    EndConsoleLine();  // the console itself stays connected
  }
  if (!slot) slot = FreeSlot();
  if (!slot) runtime::Raise(6418);

  std::unique_ptr<IoUnit> unit;
  if (device) {
    if (access != 0) runtime::Raise(6202);
    unit = NewUnit(number, kConsoleBufferSize);
    unit->kind = UnitKind::kTerminal;
    unit->carriageControl = CarriageControl::kInterpreted;
    unit->stream = true;
    unit->name = device->name;
    switch (device->device) {
      case Device::kConsole: unit->console = true; unit->handle = platform::kStdin; break;
      case Device::kError: unit->handle = platform::kStderr; break;
      default: {
        const int handle = platform::OpenDevice(device->path);
        if (handle < 0) runtime::Raise(-handle);
        unit->handle = handle;
      }
    }
  } else {
    int blockSize = keywords.blockSize == 0 ? kDefaultBlockSize : keywords.blockSize;
    blockSize = (blockSize + 511) / 512 * 512;
    // A file this OPEN makes could only be read, never written: ACTION='READ' refuses to make one.
    if (action == 1 && status != 0 && status != 4) runtime::Raise(status == 1 && exists ? 6415 : 6414);
    platform::OpenMode mode = platform::OpenMode::kOld;
    switch (status) {
      case 1: case 2: mode = platform::OpenMode::kNew; break;
      case 3:
        if (exists) {
          const int error = platform::DeleteFile(name);
          if (error != 0) runtime::Raise(error == 6404 ? 6414 : error);
        }
        mode = platform::OpenMode::kNew;
        break;
      case 4: mode = platform::OpenMode::kUnknown; break;
      default: break;
    }
    const platform::Action actions[] = {platform::Action::kReadWrite, platform::Action::kRead,
                                        platform::Action::kWrite};
    const int handle = platform::OpenFile(name, mode, action < 0 ? platform::Action::kDefault : actions[action]);
    if (handle < 0) runtime::Raise(-handle);
    unit = NewUnit(number, blockSize);
    unit->handle = handle;
    unit->name = name;
    unit->kind = kind;
    unit->carriageControl = CarriageControl::kPlain;
    unit->hasIdentity = platform::IdentityOfHandle(handle, unit->identity);
    unit->knownSize = platform::FileSize(handle);
    unit->scratch = status == 2;
    unit->deleteOnClose = status == 2;
    if (access == 2 || position == 2) {
      unit->recordStart = unit->knownSize;
      unit->filePosition = unit->knownSize;
      unit->wholeEnd = unit->knownSize;
      unit->writing = true;
    }
  }
  unit->recl = keywords.recl != 0 ? keywords.recl : kDefaultBlockSize;
  unit->blankZero = blank == 1;
  unit->delim = static_cast<Delim>(delim);
  unit->padNo = pad == 1;
  if (control >= 0) unit->carriageControl = static_cast<CarriageControl>(control);
  slot->number = number;
  slot->unit = std::move(unit);
}

void LocateOpenError(runtime::RunTimeError& error) {
  if (error.kind == runtime::StatementKind::kKeywords && !runtime::ShownWithoutUnit(error.number)) {
    error.kind = runtime::StatementKind::kOpen;
    error.name = openName;
  }
}

void WriteStdout(const char* bytes, std::size_t count) {
  platform::Write(platform::kStdout, bytes, count);
}

void WriteStderr(const char* bytes, std::size_t count) {
  platform::Write(platform::kStderr, bytes, count);
}

}  // namespace

void Start(int argc, char** argv) {
  platform::PrepareProcess();
  // A run starts with no unit connected; handles an earlier run in this process left open go.
  for (Slot& slot : slots) {
    if (slot.unit && !slot.unit->console) platform::CloseHandle(slot.unit->handle);
    slot.unit.reset();
  }
  nextArgument = 0;
  AbandonWriteStatements();
  ResetConsoleRecord(consoleIn, platform::kStdin);
  const bool shared = platform::IsCharacterDevice(platform::kStdin) &&
                      platform::IsCharacterDevice(platform::kStdout);
  if (shared) {
    consoleOut = &consoleIn;
  } else {
    ResetConsoleRecord(consoleOutSeparate, platform::kStdout);
    consoleOut = &consoleOutSeparate;
  }
  runtime::SetHooks({WriteStdout, WriteStderr, EndConsoleLine, CloseAllUnits});
  runtime::Start(argc, argv);
}

int Open(int unit, const OpenKeywords& keywords, int options) {
  if (unit < -32767 || unit > 32767) return 6314;
  try {
    runtime::RaisingNoMemory([&] { OpenUnit(unit, keywords); });
    return 0;
  } catch (runtime::RunTimeError& error) {
    LocateOpenError(error);
    if (options & kErrorBranch) return error.number;
    runtime::Fatal(error);
    return error.number;
  }
}

int Close(int unit, KeywordText status, int options) {
  if (unit < -32767 || unit > 32767) return 6314;
  int disposition = -1;
  if (status.text) {
    const std::string_view value = Trimmed(status);
    if (SameWord(value, "KEEP")) disposition = 0;
    else if (SameWord(value, "DELETE")) disposition = 1;
    else return 6304;
  }
  Slot* slot = FindSlot(unit);
  if (!slot) {
    if (Preconnected(unit)) EndConsoleLine();
    return 0;
  }
  const std::string name = slot->unit->name;
  try {
    // A refused KEEP leaves the scratch unit connected, so the end of the run still deletes it.
    if (disposition == 0 && slot->unit->scratch) runtime::Raise(6300);
    const std::unique_ptr<IoUnit> closing = std::move(slot->unit);
    CloseForStatement(*closing, disposition);
    return 0;
  } catch (runtime::RunTimeError& error) {
    if (error.kind == runtime::StatementKind::kKeywords && !runtime::ShownWithoutUnit(error.number)) {
      error.kind = runtime::StatementKind::kClose;
      error.name = name;
    }
    if (options & kErrorBranch) return error.number;
    runtime::Fatal(error);
    return error.number;
  }
}

void CloseAllUnits() {
  for (Slot& slot : slots) {
    if (!slot.unit) continue;
    std::unique_ptr<IoUnit> closing = std::move(slot.unit);
    try {
      CloseConnection(*closing, -1);
    } catch (runtime::RunTimeError& error) {
      if (error.kind == runtime::StatementKind::kKeywords) {
        error.kind = runtime::StatementKind::kClose;
        error.name = closing->name;
      }
      runtime::Fatal(error);
    }
  }
  EndConsoleLine();
}

IoUnit& SelectUnit(int number, bool forRead) {
  if (Slot* slot = FindSlot(number)) {
    IoUnit& unit = *slot->unit;
    if (unit.console) return forRead ? consoleIn : *consoleOut;
    return unit;
  }
  if (number == kDefaultUnit || Preconnected(number)) {
    return forRead ? consoleIn : *consoleOut;
  }
  OpenKeywords keywords;
  keywords.file = {"", 0};
  keywords.status = {forRead ? "OLD" : "UNKNOWN", -1};
  try {
    runtime::RaisingNoMemory([&] { OpenUnit(number, keywords); });
  } catch (runtime::RunTimeError& error) {
    LocateOpenError(error);
    throw;
  }
  return *FindSlot(number)->unit;
}

}  // namespace fmtio
