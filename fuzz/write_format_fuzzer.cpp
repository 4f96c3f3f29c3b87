// A format text compiled and run as a WRITE over items taken from the input, to a file unit.
//
// Input: an optional "%flags" line, the format text on one line, then one item per line:
//   I J K <n>      4-, 2-, 1-byte integer       L <n>       logical (0 false)
//   R D <x>        4-, 8-byte real              X Y <hex>   4-, 8-byte real by its bits
//   C W <x> <y>    8-, 16-byte complex          A<text>     characters, copied
//   @T <v> <v>...  an array of type T (one of the above but A) by address
//   @A<n> <text>   the text by address as elements of n characters
// Flags: e error branch, n ADVANCE='NO', y ADVANCE='YES', q an ADVANCE value of neither,
//        c interpreted carriage control, d direct access (RECL=80), p a second WRITE begun while
//        the first is assembled (put aside), 2 the statement runs twice.
// A format that may ask for more than kMaxFormatWork steps is skipped (fuzz_support.h).
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fmtio/units.h"
#include "fmtio/write_statement.h"
#include "fuzz/fuzz_support.h"

namespace {

using fuzz::HasFlag;

constexpr std::size_t kMaxItems = 64;
constexpr std::size_t kMaxElements = 64;
constexpr int kUnit = 10;
constexpr int kAsideUnit = 11;

// One item of the list: its type, how it is handed over and its storage.
struct Item {
  char letter;
  bool byAddress;
  int length;  // characters by address: element length
  std::vector<unsigned char> bytes;
  int count;
};

template <class T>
void Append(std::vector<unsigned char>& bytes, T value) {
  unsigned char raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  bytes.insert(bytes.end(), raw, raw + sizeof(T));
}

std::uint64_t HexOf(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  std::uint64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value, 16);
  return value;
}

// Appends one element of type `letter` with the value `text`; false for an unknown letter.
bool AppendElement(char letter, std::string_view text, std::vector<unsigned char>& bytes) {
  switch (letter) {
    case 'I': Append(bytes, fuzz::NumberOf<std::int32_t>(text)); return true;
    case 'J': Append(bytes, fuzz::NumberOf<std::int16_t>(text)); return true;
    case 'K': Append(bytes, fuzz::NumberOf<std::int8_t>(text)); return true;
    case 'L': Append(bytes, fuzz::NumberOf<std::int32_t>(text)); return true;
    case 'R': Append(bytes, fuzz::NumberOf<float>(text)); return true;
    case 'D': Append(bytes, fuzz::NumberOf<double>(text)); return true;
    case 'X': Append(bytes, static_cast<std::uint32_t>(HexOf(text))); return true;
    case 'Y': Append(bytes, HexOf(text)); return true;
    case 'C':
    case 'W': {
      const std::size_t blank = text.find(' ', 1);
      const std::string_view imag = blank == std::string_view::npos ? std::string_view() : text.substr(blank);
      if (letter == 'C') {
        Append(bytes, fuzz::NumberOf<float>(text));
        Append(bytes, fuzz::NumberOf<float>(imag));
      } else {
        Append(bytes, fuzz::NumberOf<double>(text));
        Append(bytes, fuzz::NumberOf<double>(imag));
      }
      return true;
    }
    default: return false;
  }
}

int TypeOf(char letter) {
  switch (letter) {
    case 'I': return fmtio::kInteger4;
    case 'J': return fmtio::kInteger2;
    case 'K': return fmtio::kInteger1;
    case 'L': return fmtio::kLogical4;
    case 'R': case 'X': return fmtio::kReal4;
    case 'D': case 'Y': return fmtio::kReal8;
    case 'C': return fmtio::kComplex8;
    case 'W': return fmtio::kComplex16;
    default: return fmtio::kCharacter;
  }
}

std::vector<Item> ParseItems(fuzz::Lines& lines) {
  std::vector<Item> items;
  while (!lines.AtEnd() && items.size() < kMaxItems) {
    std::string_view line = lines.Line();
    if (line.empty()) continue;
    Item item{line[0], false, 0, {}, 1};
    if (item.letter == '@' && line.size() >= 2) {
      item.byAddress = true;
      item.letter = line[1];
      line.remove_prefix(2);
      if (item.letter == 'A') {
        std::size_t digits = 0;
        while (digits < line.size() && digits < 2 && line[digits] >= '0' && line[digits] <= '9') ++digits;
        item.length = digits > 0 ? fuzz::NumberOf<int>(line.substr(0, digits)) : 1;
        line.remove_prefix(digits);
        if (!line.empty()) line.remove_prefix(1);
        item.bytes.assign(line.begin(), line.end());
        item.count = item.length > 0 ? static_cast<int>(item.bytes.size()) / item.length : 0;
      } else {
        item.count = 0;
        std::size_t at = 0;
        while (at < line.size() && static_cast<std::size_t>(item.count) < kMaxElements) {
          while (at < line.size() && line[at] == ' ') ++at;
          const std::size_t end = std::min(line.find(' ', at), line.size());
          if (!AppendElement(item.letter, line.substr(at, end - at), item.bytes)) break;
          ++item.count;
          at = end;
        }
      }
      items.push_back(std::move(item));
      continue;
    }
    line.remove_prefix(1);
    if (item.letter == 'A') {
      item.bytes.assign(line.begin(), line.end());
    } else if (!AppendElement(item.letter, line, item.bytes)) {
      continue;
    }
    items.push_back(std::move(item));
  }
  return items;
}

template <class T>
T Load(const std::vector<unsigned char>& bytes, std::size_t at = 0) {
  T value;
  std::memcpy(&value, bytes.data() + at, sizeof(T));
  return value;
}

void WriteItems(const std::vector<Item>& items) {
  for (const Item& item : items) {
    const int type = TypeOf(item.letter);
    if (item.byAddress) {
      // An empty array still needs an address; nothing is read from it.
      const void* address = item.bytes.empty() ? static_cast<const void*>(&item) : item.bytes.data();
      fmtio::WriteItem(type, address, item.count, item.length);
      continue;
    }
    switch (item.letter) {
      case 'I': fmtio::WriteItem(Load<std::int32_t>(item.bytes)); break;
      case 'J': fmtio::WriteItem(Load<std::int16_t>(item.bytes)); break;
      case 'K': fmtio::WriteItem(Load<std::int8_t>(item.bytes)); break;
      case 'L': fmtio::WriteLogical(Load<std::int32_t>(item.bytes)); break;
      case 'R': case 'X': fmtio::WriteItem(Load<float>(item.bytes)); break;
      case 'D': case 'Y': fmtio::WriteItem(Load<double>(item.bytes)); break;
      case 'C': fmtio::WriteComplex(Load<float>(item.bytes), Load<float>(item.bytes, 4)); break;
      case 'W': fmtio::WriteComplex(Load<double>(item.bytes), Load<double>(item.bytes, 8)); break;
      default:
        fmtio::WriteItem(reinterpret_cast<const char*>(item.bytes.data()), static_cast<int>(item.bytes.size()));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Lines lines(data, size);
  const std::string_view flags = lines.Flags();
  const std::string format(lines.Line());
  const std::vector<Item> items = ParseItems(lines);
  double elements = 0;
  for (const Item& item : items) elements += (item.letter == 'C' || item.letter == 'W' ? 2 : 1) * item.count;
  if (fuzz::FormatWork(format, elements) > fuzz::kMaxFormatWork) return 0;
  const int options = HasFlag(flags, 'e') ? fmtio::kErrorBranch : 0;
  const char* advance = HasFlag(flags, 'n') ? "NO" : HasFlag(flags, 'y') ? "yes " : HasFlag(flags, 'q') ? "MAYBE" : nullptr;
  const int advanceLength = advance ? static_cast<int>(std::strlen(advance)) : 0;

  const fuzz::InScratchFolder scratch;
  fmtio::platform::MemoryStreams streams;
  fuzz::RunEngine(streams, [&] {
    fmtio::OpenKeywords keywords;
    keywords.file = {"write.txt"};
    keywords.status = {"REPLACE"};
    if (HasFlag(flags, 'c')) keywords.carriageControl = {"INTERPRETED"};
    if (HasFlag(flags, 'd')) {
      keywords.access = {"DIRECT"};
      keywords.recl = 80;
    }
    fmtio::Open(kUnit, keywords);
    const int runs = HasFlag(flags, '2') ? 2 : 1;
    for (int run = 0; run < runs; ++run) {
      fmtio::BeginWrite(kUnit, format.data(), static_cast<int>(format.size()), advance, advanceLength, options);
      WriteItems(items);
      if (HasFlag(flags, 'p')) {
        fmtio::OpenKeywords aside;
        aside.file = {"aside.txt"};
        fmtio::Open(kAsideUnit, aside);
        fmtio::BeginWrite(kAsideUnit, format.data(), static_cast<int>(format.size()), nullptr, 0, options);
        WriteItems(items);
        fmtio::EndWrite();
      }
      fmtio::EndWrite();
    }
    fmtio::Close(kUnit, {"DELETE"});
  });
  return 0;
}
