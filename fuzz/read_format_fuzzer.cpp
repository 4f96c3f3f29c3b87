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

using fuzz::HasFlag;

constexpr std::size_t kMaxItems = 64;
constexpr int kUnit = 12;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Lines lines(data, size);
  const std::string_view flags = lines.Flags();
  const std::string format(lines.Line());
  fuzz::ReadItems items = fuzz::ParseReadItems(lines.Line(), kMaxItems);
  double elements = 0;
  for (const int type : items.types) elements += type == fmtio::kComplex8 || type == fmtio::kComplex16 ? 2 : 1;
  if (fuzz::FormatWork(format, elements) > fuzz::kMaxFormatWork) return 0;

  const fuzz::InScratchFolder scratch;
  fmtio::platform::MemoryStreams streams;
  const fuzz::ReadSource source(flags, lines.Rest(), "read.txt", streams);
  fuzz::RunEngine(streams, [&] {
    fmtio::OpenKeywords keywords;
    if (HasFlag(flags, 'z')) keywords.blank = {"ZERO"};
    if (HasFlag(flags, 'n')) keywords.pad = {"NO"};
    const int unit = source.Open(kUnit, keywords);
    const int runs = HasFlag(flags, '2') ? 2 : 1;
    for (int run = 0; run < runs; ++run) {
      fmtio::BeginRead(unit, format.data(), static_cast<int>(format.size()), source.Options());
      fuzz::ReadAll(items);
      fmtio::EndRead();
    }
  });
  return 0;
}
