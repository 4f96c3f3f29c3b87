// List-directed READs of items of mixed types over input bytes, from a file unit or from the
// console.
//
// Input: an optional "%flags" line, a line of item type letters (fuzz_support.h), then the input
// bytes: the contents of the file, or the console input. Up to four READs of the same items
// run in turn, each starting at a new record, until one fails.
// Flags: e error branch, f end-of-file branch, c read the console instead of the file,
//        i the console is interactive, b the console delivers blocks of 7 bytes.
#include <cstdint>
#include <string_view>

#include "fmtio/read_statement.h"
#include "fmtio/units.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr std::size_t kMaxItems = 64;
constexpr int kStatements = 4;
constexpr int kUnit = 13;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Lines lines(data, size);
  const std::string_view flags = lines.Flags();
  fuzz::ReadItems items = fuzz::ParseReadItems(lines.Line(), kMaxItems);
  const fuzz::InScratchFolder scratch;
  fmtio::platform::MemoryStreams streams;
  const fuzz::ReadSource source(flags, lines.Rest(), "list.txt", streams);
  fuzz::RunEngine(streams, [&] {
    const int unit = source.Open(kUnit);
    for (int i = 0; i < kStatements; ++i) {
      fmtio::BeginRead(unit, nullptr, 0, source.Options());
      fuzz::ReadAll(items);
      if (fmtio::EndRead() != 0) break;
    }
  });
  return 0;
}
