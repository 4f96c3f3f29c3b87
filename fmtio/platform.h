// The only code that calls the operating system: standard streams, files, the character-device
// test and file identity. Tests can point the standard streams at memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fmtio::platform {

inline constexpr int kStdin = 0;
inline constexpr int kStdout = 1;
inline constexpr int kStderr = 2;

// In-memory standard streams for tests: input is consumed from `input` in blocks of at most
// `blockLimit` bytes per read (0: no limit), output is appended to `out` and `err`.
struct MemoryStreams {
  std::string input;
  std::size_t inputPosition = 0;
  std::size_t blockLimit = 0;
  std::string out;
  std::string err;
  bool interactive = false;  // report the streams as character devices
};

// The handle of the memory file: a text in memory read and written like a file at offsets.
inline constexpr int kMemoryFile = -2;

// Points the memory file at `bytes` (null: none; its reads then find nothing).
void UseMemoryFile(std::string* bytes);

// Prepares the process for a run: a closed standard stream is opened on the null device, so that
// no file of the run takes its number, and a closed reader or a file-size limit makes a write
// fail with an error number instead of ending the process.
void PrepareProcess();

// Points the standard streams at `streams` (null: the process's real streams again).
void UseMemoryStreams(MemoryStreams* streams);

// True when the handle is a character device (an interactive console).
bool IsCharacterDevice(int handle);

// Reads up to `count` bytes; returns the number read, 0 at end of file, -1 on failure.
long Read(int handle, char* bytes, std::size_t count);

// Reads up to `count` bytes at `offset` of a file; returns as Read.
long ReadAt(int handle, char* bytes, std::size_t count, std::int64_t offset);

// Writes all bytes (at `offset` for files, -1: to a stream). Returns 0 or the error number:
// 6421 refused, 6422 disk full, 6423 any other failure.
int Write(int handle, const char* bytes, std::size_t count, std::int64_t offset = -1);

// How a file is to be opened.
enum class OpenMode { kOld, kNew, kReplace, kUnknown };
enum class Action { kDefault, kReadWrite, kRead, kWrite };

// Opens the file `name` in binary mode; returns the handle, or minus the error number
// (6412 to 6417, or 6414 for a folder).
int OpenFile(const std::string& name, OpenMode mode, Action action);

// Opens a device by its platform path for writing and reading; returns as OpenFile.
int OpenDevice(const char* path);

// Closes a handle other than the standard streams.
void CloseHandle(int handle);

// Deletes a file; returns 0, 6404 (access denied) or 6412.
int DeleteFile(const std::string& name);

// Size of an open file in bytes (0 when unknown).
std::int64_t FileSize(int handle);

// Cuts an open file to `size` bytes.
void Truncate(int handle, std::int64_t size);

// Identity of a file (volume and file index); false when the name denotes no file.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
bool IdentityOfName(const std::string& name, FileIdentity& identity);
bool IdentityOfHandle(int handle, FileIdentity& identity);

// A name for a new scratch file, not used by any existing file.
std::string ScratchName();

}  // namespace fmtio::platform
