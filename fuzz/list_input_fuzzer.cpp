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

bool Has(std::string_view flags, char letter) { return flags.find(letter) != std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::PrepareScratchFolder(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Lines lines(data, size);
  const std::string_view flags = lines.Flags();
  fuzz::ReadItems items = fuzz::ParseReadItems(lines.Line(), kMaxItems);
  const bool console = Has(flags, 'c');
  const int options = (Has(flags, 'e') ? fmtio::kErrorBranch : 0) | (Has(flags, 'f') ? fmtio::kEndBranch : 0);

  const fuzz::InScratchFolder scratch;
  fmtio::platform::MemoryStreams streams;
  if (console) {
    streams.input.assign(lines.Rest());
    streams.interactive = Has(flags, 'i');
    streams.blockLimit = Has(flags, 'b') ? 7 : 0;
  } else {
    fuzz::WriteFile("list.txt", lines.Rest());
  }
  fuzz::RunEngine(streams, [&] {
    int unit = fmtio::kDefaultUnit;
    if (!console) {
      fmtio::OpenKeywords keywords;
      keywords.file = {"list.txt"};
      keywords.status = {"OLD"};
      fmtio::Open(kUnit, keywords);
      unit = kUnit;
    }
    for (int i = 0; i < kStatements; ++i) {
      fmtio::BeginRead(unit, nullptr, 0, options);
      fuzz::ReadAll(items);
      if (fmtio::EndRead() != 0) break;
    }
  });
  return 0;
}
