// The engine's case tables: each line of a file in tests/fmtio/cases is a case (fields parted by
// " | ", as each file's head describes; texts it expects may be quoted on | lines under it), and a
// test of its own whose failures name that file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <complex>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "fmtio/format_spec.h"
#include "fmtio/read_statement.h"
#include "fmtio/typed_io.h"
#include "fmtio/units.h"
#include "fmtio/write_statement.h"
#include "fuzz/fuzz_support.h"
#include "runtime/fp_traps.h"
#include "tests/fmtio/engine_run_test.h"

namespace fmtio {
namespace {

namespace fs = std::filesystem;

// Text with escapes: \r \n \f \t \\ \" \xHH, and \{N} repeating the character after it N times.
std::string Unescape(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t count = 1;
    if (text.compare(i, 2, "\\{") == 0) {
      const std::size_t close = text.find('}', i);
      count = std::stoul(text.substr(i + 2, close - i - 2));
      i = close + 1;
    }
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      c = text[++i];
      const std::size_t named = std::string("rnft").find(c);
      if (named != std::string::npos) c = "\r\n\f\t"[named];
      if (c == 'x') {
        c = static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
      }
    }
    bytes.append(count, c);
  }
  return bytes;
}

// A quoted word: the text between the quotes, unescaped.
std::string Quoted(const std::string& word) { return Unescape(word.substr(1, word.size() - 2)); }

// Splits at blanks outside quotes.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words(1);
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ' && !quoted) {
      if (!words.back().empty()) words.emplace_back();
      continue;
    }
    if (text[i] == '"') quoted = !quoted;
    words.back() += text[i];
    if (text[i] == '\\' && i + 1 < text.size()) words.back() += text[++i];
  }
  if (words.back().empty()) words.pop_back();
  return words;
}

// An item TYPE:VALUE: TYPE one of i1 i2 i4 l1 l2 l4 r4 r8 x8 x16 c cN; VALUE a number (x: two,
// comma-separated), #HEX (the storage as a little-endian integer) or "TEXT" (the storage bytes).
struct Item {
  int type;
  std::string bytes;
  bool storage;
};

template <class T>
T Get(const char* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

Item ParseItem(const std::string& word) {
  static const std::map<std::string, int> types = {
      {"i1", kInteger1}, {"i2", kInteger2}, {"i4", kInteger4}, {"l1", kLogical1}, {"l2", kLogical2}, {"l4", kLogical4},
      {"r4", kReal4},    {"r8", kReal8},    {"x8", kComplex8}, {"x16", kComplex16}};
  const std::size_t colon = word.find(':');
  const std::string name = word.substr(0, colon), value = word.substr(colon + 1);
  Item item{name[0] == 'c' ? int{kCharacter} : types.at(name), "", value[0] == '"' || value[0] == '#'};
  if (value[0] == '"') {
    item.bytes = Quoted(value);
  } else if (value[0] == '#') {
    const unsigned long long bits = std::stoull(value.substr(1), nullptr, 16);
    item.bytes.assign(reinterpret_cast<const char*>(&bits), static_cast<std::size_t>(SizeOf(item.type)));
  } else {
    std::istringstream parts(value);
    for (std::string part; std::getline(parts, part, ',');) {
      const auto put = [&](auto number, int size) {
        std::from_chars(part.data(), part.data() + part.size(), number);
        item.bytes.append(reinterpret_cast<const char*>(&number), static_cast<std::size_t>(size));
      };
      if (item.type == kReal4 || item.type == kComplex8) put(0.0f, 4);
      else if (item.type == kReal8 || item.type == kComplex16) put(0.0, 8);
      else put(0LL, SizeOf(item.type));
    }
  }
  if (name[0] == 'c' && name.size() > 1) item.bytes.resize(std::stoul(name.substr(1)), ' ');
  return item;
}

void Write(const Item& item) {
  const char* bytes = item.bytes.data();
  if (item.type == kCharacter) return WriteItem(bytes, static_cast<int>(item.bytes.size()));
  if (item.storage) return WriteItem(item.type, bytes, 1, 0);
  switch (item.type) {
    case kInteger1: return WriteItem(Get<std::int8_t>(bytes));
    case kInteger2: return WriteItem(Get<std::int16_t>(bytes));
    case kInteger4: return WriteItem(Get<std::int32_t>(bytes));
    case kReal4: return WriteItem(Get<float>(bytes));
    case kReal8: return WriteItem(Get<double>(bytes));
    case kComplex8: return WriteComplex(Get<float>(bytes), Get<float>(bytes + 4));
    case kComplex16: return WriteComplex(Get<double>(bytes), Get<double>(bytes + 8));
    default: return WriteLogical(item.type == kLogical4 ? Get<std::int32_t>(bytes) : bytes[0]);
  }
}

// Calls `use` with the item's storage as the C++ value the typed calls take for its type (every
// logical as bool, text as std::span<char>), then stores the value back.
template <class Use>
void Typed(int type, std::string& bytes, Use use) {
  const auto as = [&]<class T>(T value) {
    std::memcpy(&value, bytes.data(), sizeof value);
    use(value);
    std::memcpy(bytes.data(), &value, sizeof value);
  };
  switch (type) {
    case kCharacter: { std::span<char> text(bytes); return use(text); }
    case kLogical1: case kLogical2: case kLogical4: return as(bool{});
    case kInteger1: return as(std::int8_t{});
    case kInteger2: return as(std::int16_t{});
    case kInteger4: return as(std::int32_t{});
    case kReal4: return as(0.0f);
    case kReal8: return as(0.0);
    case kComplex8: return as(std::complex<float>{});
    default: return as(std::complex<double>{});
  }
}

// The records Format makes of a file's bytes: "\n" for each CR LF, the last line end left off.
std::string Records(std::string bytes) {
  const bool ended = bytes.ends_with("\r\n");
  for (std::size_t at = 0; (at = bytes.find("\r\n", at)) != std::string::npos;) bytes.erase(at, 1);
  if (ended) bytes.pop_back();
  return bytes;
}

// The ways each WRITE and READ case runs: the item calls, the typed calls on the same unit, and
// Format or Parse in memory. Each gives the same bytes, values and errors.
enum Way { kItemCalls, kTypedCalls, kInMemory };
constexpr const char* kWayNames[] = {"item calls: ", "typed calls: ", "in memory: "};

// The items of a case, after its error number !N if it has one (returned; "0" without).
std::string ParseItems(const std::string& field, std::vector<Item>& items) {
  const std::vector<std::string> words = Words(field);
  const bool error = !words.empty() && words[0][0] == '!';
  for (std::size_t i = error ? 1 : 0; i < words.size(); ++i) items.push_back(ParseItem(words[i]));
  return error ? words[0].substr(1) : "0";
}

// A case: its file and line, its fields and the texts quoted on the | lines under it.
struct Case {
  std::string file;
  int line;
  std::vector<std::string> fields, below;
};

std::string Join(const std::vector<std::string>& texts, const char* end) {
  std::string joined;
  for (const std::string& text : texts) joined += text + end;
  return joined;
}

class CaseTest : public EngineRunTest {
 public:
  explicit CaseTest(Case c) : c_(std::move(c)) {}

  void TestBody() override {
    const std::string& verb = c_.fields.at(0);
    const std::string format = Unescape(c_.fields.at(1));
    const char* text = format == "*" ? nullptr : format.c_str();
    if (verb == "compile" || verb == "work") {
      // One format, or several parted by blanks with what each gives quoted on its | line: the
      // bytes it compiles to, or the steps it asks for over ELEMENTS items.
      const std::vector<std::string> formats = c_.below.empty() ? std::vector{c_.fields[1]} : Words(c_.fields[1]);
      for (std::size_t i = 0; i < formats.size(); ++i) {
        const std::string one = Unescape(formats[i]), expected = c_.below.empty() ? c_.fields.back() : c_.below[i];
        where_ = formats[i] + ": ";
        if (verb == "work") {
          Expect("steps", std::to_string(fuzz::FormatWork(one, std::stod(c_.fields[2]))), std::to_string(std::stod(expected)));
          continue;
        }
        FormatSpec compiled;
        CompileFormat(one.data(), static_cast<int>(one.size()), compiled);
        std::string hex;
        char byte[4];
        for (std::uint8_t b : compiled) hex.append(byte, std::snprintf(byte, sizeof byte, hex.empty() ? "%02X" : " %02X", b));
        Expect("compiled", hex, expected);
      }
    } else if (verb == "write") {
      // WRITE(10, format, ERR=...) items, on a new file, with the program's floating-point traps.
      // Items by address are read when the statement runs: they live until then.
      std::vector<Item> items;
      ParseItems(c_.fields.at(2), items);
      const std::vector<std::string> words = Words(c_.below.empty() ? c_.fields.at(3) : "");
      const std::string error = words.size() > 1 ? words[0].substr(1) : "0";
      const std::string expected = c_.below.empty() ? Quoted(words.back()) + (error == "0" ? "\r\n" : "") : Join(c_.below, "\r\n");
      for (const Way way : {kItemCalls, kTypedCalls, kInMemory}) {
        where_ = kWayNames[way];
        std::string bytes;
        ASSERT_TRUE(way == kInMemory || OpenFile(10, "OUT.TXT", "REPLACE") == 0);
        if (way == kInMemory) detail::BeginFormat(text, kErrorBranch);
        else BeginWrite(10, text, -1, nullptr, 0, kErrorBranch);
        runtime::ArmFloatingPointTraps();
        for (const Item& item : items) {
          if (way == kItemCalls) {
            Write(item);
            continue;
          }
          std::string value = ClassOf(item.type) == ItemClass::kLogical ? std::string(1, item.bytes[0] != 0) : item.bytes;
          Typed(item.type, value, [](auto& typed) { detail::Put(typed); });
        }
        const int status = way == kInMemory ? detail::EndFormat(bytes) : EndWrite();
        runtime::DisarmFloatingPointTraps();
        if (way != kInMemory) {
          EXPECT_EQ(Close(10, {}, kErrorBranch), 0);
          bytes = Records(FileBytes("OUT.TXT"));
        }
        Expect("status", std::to_string(status), error);
        Expect("records", bytes, Records(expected));
      }
    } else if (verb == "read") {
      // READ(10, format, ERR=..., END=...) items from a file holding the records (one READ each for
      // records quoted below a case expecting an error); guard bytes follow each item's storage. An
      // error !FNNNN is a READ without ERR= whose fatal report must end in the last field's message.
      // LOGICAL*2 and *4 items have no C++ type of their own: their cases run by item calls alone.
      if (!c_.below.empty()) c_.fields.insert(c_.fields.begin() + 2, "");
      std::vector<Item> items;
      const std::string error = ParseItems(c_.fields.at(3), items);
      const bool fatal = error[0] == 'F';
      const bool typed = std::none_of(items.begin(), items.end(),
                                      [](const Item& item) { return item.type == kLogical2 || item.type == kLogical4; });
      std::vector<std::vector<std::string>> inputs(1, c_.below);  // the records each READ reads
      const std::string& records = c_.fields[2];
      const bool ended = records.ends_with('$');
      if (c_.below.empty()) {
        inputs[0] = {Quoted(records.substr(0, records.size() - ended))};
      } else if (error != "0") {
        inputs.clear();
        for (const std::string& record : c_.below) inputs.push_back({record});
      }
      for (const std::vector<std::string>& input : inputs) {
        // Each record ends in CR LF on file (a line feed inside a quoted one stays as it is), but
        // for records followed by $.
        std::string lines = Join(input, "\n"), file = Join(input, "\r\n");
        if (ended) lines.pop_back(), file.resize(file.size() - 2);
        WriteFile("IN.TXT", file);
        for (const Way way : {kItemCalls, kTypedCalls, kInMemory}) {
          if (way != kItemCalls && !typed) break;
          where_ = std::string(kWayNames[way]) + (inputs.size() > 1 ? "records " + Shown(lines) + ": " : "");
          StartRun();
          ASSERT_TRUE(way == kInMemory || OpenFile(10, "IN.TXT", "OLD") == 0);
          std::vector<std::string> storage;
          for (const Item& item : items) storage.emplace_back(item.bytes.size() + 16, '~');
          int status = 0;
          Run([&] {
            const int options = fatal ? 0 : kErrorBranch | kEndBranch;
            if (way == kInMemory) detail::BeginParse(lines, text, options);
            else BeginRead(10, text, -1, options);
            for (std::size_t i = 0; i < items.size(); ++i) {
              if (way == kItemCalls) {
                ReadItem(items[i].type, storage[i].data(), items[i].type == kCharacter ? static_cast<int>(items[i].bytes.size()) : 0);
                continue;
              }
              std::string value = storage[i].substr(0, items[i].bytes.size());
              Typed(items[i].type, value, [](auto& item) { detail::TakeItem(item); });
              storage[i].replace(0, value.size(), value);
            }
            status = EndRead();
          });
          const std::string unit = way == kInMemory ? "PARSE" : "IN.TXT";
          if (fatal) {
            Expect("report", streams_.err, "\r\nrun-time error " + error + ": READ(" + unit + ")\r\n- " + Quoted(c_.fields.at(4)) + "\r\n");
          } else {
            Expect("status", std::to_string(status), error);
          }
          for (std::size_t i = 0; i < items.size(); ++i) Expect("item storage", storage[i], items[i].bytes + std::string(16, '~'));
        }
      }
    } else if (verb == "open") {
      // OPEN(9, keywords, ERR=...) after making the file (or folder/) named after the error; a
      // refused one creates no X.TXT and leaves the unit unconnected.
      const std::vector<std::string> expected = Words(c_.fields.at(2));
      if (expected.size() > 1 && expected[1].back() == '/') fs::create_directory(expected[1]);
      if (expected.size() > 1 && expected[1].back() != '/') std::ofstream{expected[1]};
      static const std::map<std::string, KeywordText OpenKeywords::*> names = {
          {"FILE", &OpenKeywords::file}, {"STATUS", &OpenKeywords::status}, {"ACTION", &OpenKeywords::action},
          {"ACCESS", &OpenKeywords::access}};
      OpenKeywords keywords;
      std::vector<std::string> words = Words(format);
      for (std::string& word : words) {
        const std::size_t equals = word.find('=');
        keywords.*names.at(word.substr(0, equals)) = {word.c_str() + equals + 1};
      }
      Expect("status", std::to_string(Open(9, keywords, kErrorBranch)), expected[0]);
      Expect("files made", fs::exists("X.TXT") ? "X.TXT" : "", "");
      Expect("CLOSE", std::to_string(Close(9, {"DELETE"}, kErrorBranch)), "0");
    } else if (verb == "device") {
      // OPEN(10, FILE=name), WRITE(10, '(" X")'), CLOSE(10, STATUS=...): what the console's two
      // streams and the file of that name hold then. Files named like the devices are the user's.
      for (const char* name : {"CON", "ERR", "NUL"}) std::ofstream(name) << "USER DATA";
      ASSERT_EQ(OpenFile(10, format.c_str(), nullptr), 0);
      BeginWrite(10, "(' X')", -1, nullptr, 0, kErrorBranch);
      Expect("WRITE", std::to_string(EndWrite()), "0");
      Expect("output|error", streams_.out + "|" + streams_.err, Quoted(c_.fields.at(2)) + "|" + Quoted(c_.fields.at(3)));
      Expect("CLOSE", std::to_string(Close(10, {c_.fields.at(4).c_str()}, kErrorBranch)), "0");
      Expect("file", FileBytes(format), Quoted(c_.fields.at(5)));
      Expect("user files", FileBytes("CON") + FileBytes("ERR") + FileBytes("NUL"), "USER DATAUSER DATAUSER DATA");
      const auto files = std::distance(fs::directory_iterator("."), fs::directory_iterator());
      Expect("files", std::to_string(files), FileBytes(format) == " X\r\n" ? "4" : "3");
    } else {
      ADD_FAILURE_AT(c_.file.c_str(), c_.line) << "unknown verb " << verb;
    }
  }

 private:
  void Expect(const char* what, const std::string& actual, const std::string& expected) {
    if (actual == expected) return;
    const auto at = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first;
    ADD_FAILURE_AT(c_.file.c_str(), c_.line) << where_ << what << " differ in line " << 1 + std::count(actual.begin(), at, '\n')
                                             << "\n  expected " << Shown(expected) << "\n  actual   " << Shown(actual);
  }

  Case c_;
  std::string where_;  // the way the statement runs, and which records it reads
};

// Registers a test named after the file and line of each case, with the texts quoted under it.
const bool registered = [] {
  std::vector<Case> cases;
  for (const fs::path& path : std::set<fs::path>(fs::directory_iterator(TRUSS_SOURCE_DIR "/tests/fmtio/cases"), {})) {
    std::ifstream file(path);
    std::string text;
    for (int line = 1; std::getline(file, text); ++line) {
      if (text.starts_with('|')) cases.back().below.push_back(Quoted(text.substr(text.find('"'))));
      if (text.empty() || text[0] == '#' || text[0] == '|') continue;
      if (text.ends_with(" |")) text += ' ';  // an empty last field
      cases.push_back({path.string(), line, {}, {}});
      for (std::size_t at = 0, bar; at != std::string::npos; at = bar == std::string::npos ? bar : bar + 3) {
        bar = text.find(" | ", at);
        cases.back().fields.push_back(text.substr(at, bar - at));
      }
    }
  }
  for (const Case& c : cases) {
    const std::string name = fs::path(c.file).stem().string() + "_" + std::to_string(c.line);
    ::testing::RegisterTest("Cases", name.c_str(), nullptr, nullptr, c.file.c_str(), c.line,
                            [c] { return new CaseTest(c); });
  }
  return true;
}();

}  // namespace
}  // namespace fmtio
