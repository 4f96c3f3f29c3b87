#include "fmtio/platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace fmtio::platform {
namespace {

MemoryStreams* memory = nullptr;
std::string* memoryFile = nullptr;

int OpenErrorNumber(int error) {
  switch (error) {
    case ENOENT: case ENOTDIR: return 6416;
    case EEXIST: return 6415;
    case EACCES: case EPERM: case EROFS: case EISDIR: case ETXTBSY: return 6414;
    case EMFILE: case ENFILE: return 6417;
    case ENOSPC: case EDQUOT: return 6422;
    default: return 6412;  // invalid argument and every other refusal
  }
}

int WriteErrorNumber(int error) {
  switch (error) {
    case EACCES: case EPERM: case EROFS: case EBADF: return 6421;
    case ENOSPC: case EDQUOT: return 6422;
    default: return 6423;
  }
}

}  // namespace

void PrepareProcess() {
  for (int handle = kStdin; handle <= kStderr; ++handle) {
    if (::fcntl(handle, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is this one, so the null device takes it.
    const int null = ::open("/dev/null", handle == kStdin ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != handle) ::close(null);
  }
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
}

void UseMemoryStreams(MemoryStreams* streams) { memory = streams; }

void UseMemoryFile(std::string* bytes) { memoryFile = bytes; }

bool IsCharacterDevice(int handle) {
  if (memory && handle <= kStderr) return memory->interactive;
  struct stat info {};
  return ::fstat(handle, &info) == 0 && S_ISCHR(info.st_mode);
}

long Read(int handle, char* bytes, std::size_t count) {
  if (memory && handle == kStdin) {
    std::size_t n = std::min(count, memory->input.size() - memory->inputPosition);
    if (memory->blockLimit != 0) n = std::min(n, memory->blockLimit);
    std::memcpy(bytes, memory->input.data() + memory->inputPosition, n);
    memory->inputPosition += n;
    return static_cast<long>(n);
  }
  for (;;) {
    const ssize_t n = ::read(handle, bytes, count);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -1;
  }
}

long ReadAt(int handle, char* bytes, std::size_t count, std::int64_t offset) {
  if (handle == kMemoryFile) {
    const std::size_t size = memoryFile ? memoryFile->size() : 0;
    const std::size_t at = std::min(static_cast<std::size_t>(offset), size);
    const std::size_t n = std::min(count, size - at);
    if (n > 0) std::memcpy(bytes, memoryFile->data() + at, n);
    return static_cast<long>(n);
  }
  for (;;) {
    const ssize_t n = ::pread(handle, bytes, count, static_cast<off_t>(offset));
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -1;
  }
}

int Write(int handle, const char* bytes, std::size_t count, std::int64_t offset) {
  if (handle == kMemoryFile) {
    if (!memoryFile || offset < 0) return 6421;
    const std::size_t at = static_cast<std::size_t>(offset);
    if (memoryFile->size() < at + count) memoryFile->resize(at + count, ' ');
    memoryFile->replace(at, count, bytes, count);
    return 0;
  }
  if (memory && handle <= kStderr && handle != kStdin) {
    (handle == kStdout ? memory->out : memory->err).append(bytes, count);
    return 0;
  }
  while (count > 0) {
    const ssize_t n = offset < 0 ? ::write(handle, bytes, count)
                                 : ::pwrite(handle, bytes, count, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return WriteErrorNumber(errno);
    }
    if (n == 0) return 6422;
    bytes += n;
    count -= static_cast<std::size_t>(n);
    if (offset >= 0) offset += n;
  }
  return 0;
}

int OpenFile(const std::string& name, OpenMode mode, Action action) {
  int create = 0;
  if (mode == OpenMode::kNew) create = O_CREAT | O_EXCL;
  if (mode == OpenMode::kUnknown) create = O_CREAT;
  const int tries[3] = {O_RDWR, O_RDONLY, O_WRONLY};
  int first = 0, last = 2;
  if (action == Action::kReadWrite) last = 0;
  if (action == Action::kRead) first = last = 1;
  if (action == Action::kWrite) first = last = 2;
  int error = 0;
  for (int i = first; i <= last; ++i) {
    // A file created by a read-only attempt could not be written: read-only opens an existing
    // file only, and a new one is never tried read-only.
    const int flags = tries[i] == O_RDONLY ? 0 : create;
    if (flags != create && mode == OpenMode::kNew) continue;
    const int handle = ::open(name.c_str(), tries[i] | flags | O_CLOEXEC, 0666);
    if (handle >= 0) {
      struct stat info {};
      if (::fstat(handle, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(handle);
        return -6414;
      }
      return handle;
    }
    // A read-only try that finds no file leaves the refusal of the try before it standing.
    if (flags != create && errno == ENOENT && error != 0) continue;
    error = errno;
    if (error != EACCES && error != EISDIR && error != EROFS && error != EPERM) break;
  }
  return -OpenErrorNumber(error);
}

int OpenDevice(const char* path) {
  int handle = ::open(path, O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (handle < 0 && (errno == EACCES || errno == EROFS)) handle = ::open(path, O_WRONLY | O_CLOEXEC);
  return handle >= 0 ? handle : -OpenErrorNumber(errno);
}

void CloseHandle(int handle) {
  if (handle > kStderr) ::close(handle);
}

int DeleteFile(const std::string& name) {
  if (::unlink(name.c_str()) == 0) return 0;
  return (errno == EACCES || errno == EPERM || errno == EROFS) ? 6404 : 6412;
}

std::int64_t FileSize(int handle) {
  struct stat info {};
  return ::fstat(handle, &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : 0;
}

void Truncate(int handle, std::int64_t size) {
  // A file that cannot be cut (a device, a pipe) keeps what it has.
  if (::ftruncate(handle, static_cast<off_t>(size)) != 0) return;
}

bool IdentityOfName(const std::string& name, FileIdentity& identity) {
  struct stat info {};
  if (::stat(name.c_str(), &info) != 0) return false;
  identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return true;
}

bool IdentityOfHandle(int handle, FileIdentity& identity) {
  struct stat info {};
  if (::fstat(handle, &info) != 0) return false;
  identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  return true;
}

std::string ScratchName() {
  static unsigned counter = 0;
  for (;;) {
    char name[64];
    std::snprintf(name, sizeof name, "SCRATCH.%d.%u", static_cast<int>(::getpid()), ++counter);
    struct stat info {};
    if (::stat(name, &info) != 0) return name;
  }
}

}  // namespace fmtio::platform
