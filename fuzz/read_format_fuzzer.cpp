// A format text compiled and run as a formatted READ over input records, from a file unit or
// from the console.
//
// Input: an optional "%flags" line, the format text on one line, a line of item type letters
// (fuzz_support.h), then the record data: the contents of the file, or the console input.
// Flags: e error branch, f end-of-file branch, c read the console instead of the file,
//        i the console is interactive, b the console delivers blocks of 7 bytes,
//        z BLANK='ZERO', n PAD='NO', 2 a second READ follows the first.
// A format that may ask for more than kMaxFormatWork steps is skipped (fuzz_support.h).
#include <cstdint>
#include <string>
#include <string_view>

#include "fmtio/read_statement.h"
#include "fmtio/units.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr std::size_t kMaxItems = 64;
constexpr int kUnit = 12;

bool Has(std::string_view flags, char letter) { return flags.find(letter) != std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::PrepareScratchFolder(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Lines lines(data, size);
  const std::string_view flags = lines.Flags();
  const std::string format(lines.Line());
  fuzz::ReadItems items = fuzz::ParseReadItems(lines.Line(), kMaxItems);
  double elements = 0;
  for (const int type : items.types) elements += type == fmtio::kComplex8 || type == fmtio::kComplex16 ? 2 : 1;
  if (fuzz::FormatWork(format, elements) > fuzz::kMaxFormatWork) return 0;
  const bool console = Has(flags, 'c');
  const int options = (Has(flags, 'e') ? fmtio::kErrorBranch : 0) | (Has(flags, 'f') ? fmtio::kEndBranch : 0);

  const fuzz::InScratchFolder scratch;
  fmtio::platform::MemoryStreams streams;
  if (console) {
    streams.input.assign(lines.Rest());
    streams.interactive = Has(flags, 'i');
    streams.blockLimit = Has(flags, 'b') ? 7 : 0;
  } else {
    fuzz::WriteFile("read.txt", lines.Rest());
  }
  fuzz::RunEngine(streams, [&] {
    int unit = fmtio::kDefaultUnit;
    if (!console) {
      fmtio::OpenKeywords keywords;
      keywords.file = {"read.txt"};
      keywords.status = {"OLD"};
      if (Has(flags, 'z')) keywords.blank = {"ZERO"};
      if (Has(flags, 'n')) keywords.pad = {"NO"};
      fmtio::Open(kUnit, keywords);
      unit = kUnit;
    }
    const int runs = Has(flags, '2') ? 2 : 1;
    for (int run = 0; run < runs; ++run) {
      fmtio::BeginRead(unit, format.data(), static_cast<int>(format.size()), options);
      fuzz::ReadAll(items);
      fmtio::EndRead();
    }
  });
  return 0;
}
