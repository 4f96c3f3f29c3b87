#include "fmtio/format_spec.h"

#include <algorithm>
#include <cstring>

#include "runtime/run_time_error.h"

namespace fmtio {
namespace {

constexpr int kMaxDepth = 16;
constexpr std::int64_t kMaxNumber = 2147483647;

// A token of the format text: a number (a digit run or a "^"), a character, or the end.
struct Token {
  enum Kind { kNumber, kChar, kEnd } kind = kEnd;
  int value = 0;  // the number, or the character (upper case)
  bool placeholder = false;
  bool tooLarge = false;
};

// Reads a format text one token at a time, skipping blanks and tabs outside literals. Between
// tokens the position is always past the blanks, so that looking ahead is a single comparison;
// only after the character that opens a literal (H or a quote) do the blanks stay, as they are
// the literal's own.
class Scanner {
 public:
  Scanner(const char* text, int length) : text_(text), length_(length) { SkipBlanks(); }

  Token Next() { return Scan(); }

  // Whether the next token is the character `c` (upper case) or a number, without taking it.
  bool PeekChar(int c) const {
    if (at_ >= length_) return false;
    const char next = text_[at_];
    return (next >= 'a' && next <= 'z' ? next - 'a' + 'A' : next) == c;
  }
  bool PeekNumber() const {
    return at_ < length_ && ((text_[at_] >= '0' && text_[at_] <= '9') || text_[at_] == '^');
  }

  // Raw characters, for literals: the position and the text. Only used right after Next has
  // taken the literal's opening character; SkipBlanks then passes the blanks after it.
  int& position() { return at_; }
  const char* text() const { return text_; }
  int length() const { return length_; }

  void SkipBlanks() {
    int at = at_;
    while (at < length_ && (text_[at] == ' ' || text_[at] == '\t')) ++at;
    at_ = at;
  }

 private:
  Token Scan() {
    Token token;
    if (at_ >= length_) return token;
    const unsigned char c = static_cast<unsigned char>(text_[at_]);
    if (c >= '0' && c <= '9') {
      token.kind = Token::kNumber;
      std::int64_t value = 0;
      while (at_ < length_) {
        const char d = text_[at_];
        if (d == ' ' || d == '\t') {
          ++at_;
          continue;
        }
        if (d < '0' || d > '9') break;
        value = value * 10 + (d - '0');
        if (value > kMaxNumber) {
          token.tooLarge = true;
          value = kMaxNumber;
        }
        ++at_;
      }
      token.value = static_cast<int>(value);
      return token;
    }
    ++at_;
    if (c == '^') {
      token.kind = Token::kNumber;
      token.placeholder = true;
      token.value = kPlaceholderBase - placeholders_++;
      SkipBlanks();
      return token;
    }
    token.kind = Token::kChar;
    token.value = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
    if (token.value != 'H' && c != '\'' && c != '"') SkipBlanks();
    return token;
  }

  const char* text_;
  int length_;
  int at_ = 0;
  int placeholders_ = 0;
};

// Raised inside the compiler to store an error entry and stop.
struct CompileError {
  int number;
};

class Compiler {
 public:
  Compiler(const char* text, int length, FormatSpec& compiled) : scan_(text, length), compiled_(compiled) {}

  void Compile() {
    compiled_.resize(2 * kEntryRoom);
    out_ = compiled_.data();
    end_ = out_ + compiled_.size();
    entry_ = 0;
    try {
      if (!IsChar(scan_.Next(), '(')) throw CompileError{6981};
      for (;;) {
        Room(kEntryRoom);
        entry_ = Size();
        if (Entry()) break;
      }
    } catch (const CompileError& error) {
      out_ = compiled_.data() + entry_;
      Put(kError);
      Put16(error.number);
    }
    compiled_.resize(Size());
  }

 private:
  static bool IsChar(const Token& token, int c) { return token.kind == Token::kChar && token.value == c; }

  // The bytes go through out_ into compiled_, which holds at least kEntryRoom bytes beyond the
  // start of every entry: no entry is longer, and a literal makes room for its characters.
  static constexpr std::size_t kEntryRoom = 32;

  std::size_t Size() const { return static_cast<std::size_t>(out_ - compiled_.data()); }

  void Room(std::size_t count) {
    if (static_cast<std::size_t>(end_ - out_) >= count) return;
    const std::size_t size = Size();
    compiled_.resize(std::max(2 * compiled_.size(), size + count));
    out_ = compiled_.data() + size;
    end_ = compiled_.data() + compiled_.size();
  }

  void Put(std::uint8_t byte) { *out_++ = byte; }

  void Put16(int value) {
    Put(static_cast<std::uint8_t>(value & 0xFF));
    Put(static_cast<std::uint8_t>((value >> 8) & 0xFF));
  }

  void PutNumber(int value, bool placeholder) {
    if (!placeholder && value >= -120 && value <= 120) {
      Put(static_cast<std::uint8_t>(static_cast<std::int8_t>(value)));
      return;
    }
    Put(127);
    for (int i = 0; i < 4; ++i) Put(static_cast<std::uint8_t>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF));
  }

  // Stores an entry: code byte, sub-kind, repeat count and parameters.
  void PutEntry(int kind, int sub, const Token* count, const Token* params, int paramCount) {
    std::uint8_t code = static_cast<std::uint8_t>(kind);
    if (count) code |= kRepeatBit;
    code |= static_cast<std::uint8_t>(paramCount << kParamShift);
    Put(code);
    if (kind == kExtended) Put(static_cast<std::uint8_t>(sub));
    if (count) PutNumber(count->value, count->placeholder);
    for (int i = 0; i < paramCount; ++i) PutNumber(params[i].value, params[i].placeholder);
  }

  Token Number() {
    const Token token = scan_.Next();
    if (token.kind != Token::kNumber) throw CompileError{6980};
    if (token.tooLarge) throw CompileError{6991};
    return token;
  }

  bool PeekChar(int c) { return scan_.PeekChar(c); }

  bool OptionalNumber(Token& token) {
    if (!scan_.PeekNumber()) return false;
    token = Number();
    return true;
  }

  void Point() {
    if (!IsChar(scan_.Next(), '.')) throw CompileError{6987};
  }

  // w, then ".m" optional (m required after the point); m > w is 6990.
  int WidthAndMinimum(Token (&p)[3], bool widthRequired, bool storeZeroMinimum) {
    if (widthRequired) p[0] = Number();
    else if (!OptionalNumber(p[0])) return 0;
    if (PeekChar('.')) {
      scan_.Next();
      p[1] = Number();
      if (!p[0].placeholder && !p[1].placeholder && p[1].value > p[0].value) throw CompileError{6990};
      return 2;
    }
    if (storeZeroMinimum) {
      p[1] = Token{Token::kNumber, 0};
      return 2;
    }
    return 1;
  }

  // Compiles one entry; returns true after the final parenthesis.
  bool Entry() {
    Token token = scan_.Next();
    Token count;
    bool counted = false;
    if (token.kind == Token::kNumber) {
      if (token.tooLarge) throw CompileError{6991};
      count = token;
      counted = true;
      token = scan_.Next();
    }
    const Token* repeat = counted ? &count : nullptr;
    Token p[3];
    if (token.kind == Token::kEnd) throw CompileError{6988};
    const int c = token.value;
    const auto noCount = [&] {
      if (counted) throw CompileError{6983};
    };
    switch (c) {
      case 'X': {
        p[0] = counted ? count : Token{Token::kNumber, 1};
        PutEntry(kTabRight, 0, nullptr, p, 1);
        progress_ = true;
        break;
      }
      case 'H': {
        if (!counted) throw CompileError{6984};
        if (count.placeholder) throw CompileError{6984};
        int& at = scan_.position();
        if (count.value > scan_.length() - at) throw CompileError{6988};
        Room(kEntryRoom + static_cast<std::size_t>(count.value));
        PutEntry(kLiteral, 0, &count, nullptr, 0);
        std::memcpy(out_, scan_.text() + at, static_cast<std::size_t>(count.value));
        out_ += count.value;
        at += count.value;
        scan_.SkipBlanks();
        progress_ = true;
        break;
      }
      case '\'':
      case '"': {
        noCount();
        Literal(static_cast<char>(c));
        break;
      }
      case 'P': {
        if (!counted) throw CompileError{6984};
        PutEntry(kScale, 0, &count, nullptr, 0);
        progress_ = true;
        break;
      }
      case '+':
      case '-': {
        noCount();
        Token k = Number();
        if (!IsChar(scan_.Next(), 'P')) throw CompileError{6982};
        if (c == '-' && !k.placeholder) k.value = -k.value;
        PutEntry(kScale, 0, &k, nullptr, 0);
        progress_ = true;
        break;
      }
      case 'A': {
        const int n = OptionalNumber(p[0]) ? 1 : 0;
        PutEntry(kEditA, 0, repeat, p, n);
        progress_ = true;
        break;
      }
      case 'L': {
        p[0] = Number();
        PutEntry(kEditL, 0, repeat, p, 1);
        progress_ = true;
        break;
      }
      case 'I': {
        const int n = WidthAndMinimum(p, true, false);
        PutEntry(kEditI, 0, repeat, p, n);
        progress_ = true;
        break;
      }
      case 'D':
      case 'F': {
        p[0] = Number();
        Point();
        p[1] = Number();
        PutEntry(c == 'D' ? kEditD : kEditF, 0, repeat, p, 2);
        progress_ = true;
        break;
      }
      case 'E':
      case 'G':
        RealDescriptor(c, repeat, p);
        progress_ = true;
        break;
      case 'Z': {
        const int n = WidthAndMinimum(p, false, true);
        PutEntry(kEditZ, 0, repeat, p, n);
        progress_ = true;
        break;
      }
      case 'O': {
        const int n = WidthAndMinimum(p, false, true);
        PutEntry(kExtended, kSubO, repeat, p, n);
        progress_ = true;
        break;
      }
      case 'B': {
        if (PeekChar('N') || PeekChar('Z')) {
          noCount();
          PutEntry(IsChar(scan_.Next(), 'N') ? kBlankNull : kBlankZero, 0, nullptr, nullptr, 0);
          break;
        }
        const int n = WidthAndMinimum(p, false, true);
        PutEntry(kExtended, kSubB, repeat, p, n);
        progress_ = true;
        break;
      }
      case 'Q': {
        noCount();
        PutEntry(kExtended, kSubQ, nullptr, nullptr, 0);
        progress_ = true;
        break;
      }
      case 'S': {
        noCount();
        int kind = kPlusOff;
        if (PeekChar('P')) {
          scan_.Next();
          kind = kPlusOn;
        } else if (PeekChar('S')) {
          scan_.Next();
        }
        PutEntry(kind, 0, nullptr, nullptr, 0);
        break;
      }
      case 'T': {
        noCount();
        int kind = kTabTo;
        if (PeekChar('L')) {
          scan_.Next();
          kind = kTabLeft;
        } else if (PeekChar('R')) {
          scan_.Next();
          kind = kTabRight;
        }
        p[0] = Number();
        if (!p[0].placeholder && p[0].value == 0) throw CompileError{6982};
        PutEntry(kind, 0, nullptr, p, 1);
        break;
      }
      case '(': {
        if (++depth_ > kMaxDepth) throw CompileError{6986};
        if (depth_ == 1) {
          reversion_ = entry_;
          progress_ = false;
        } else {
          progress_ = true;
        }
        PutEntry(kGroupOpen, 0, repeat, nullptr, 0);
        break;
      }
      case ')': {
        noCount();
        if (depth_ == 0) {
          Final();
          return true;
        }
        --depth_;
        PutEntry(kGroupClose, 0, nullptr, nullptr, 0);
        break;
      }
      case '/': {
        PutEntry(kRecordEnd, 0, repeat, nullptr, 0);
        progress_ = true;
        break;
      }
      case ':': noCount(); PutEntry(kColon, 0, nullptr, nullptr, 0); break;
      case '$':
      case '\\': noCount(); PutEntry(kDollar, 0, nullptr, nullptr, 0); break;
      case ',':
      case '.': noCount(); throw CompileError{6989};
      default: throw CompileError{6989};
    }
    if (PeekChar(',')) scan_.Next();
    return false;
  }

  // A quoted literal: its length first, a doubled delimiter counting once, then its characters.
  void Literal(char delimiter) {
    int& at = scan_.position();
    const char* text = scan_.text();
    const int length = scan_.length();
    int count = 0;
    int end = at;
    for (;; ++count) {
      if (end >= length) throw CompileError{6988};
      if (text[end] == delimiter) {
        if (end + 1 < length && text[end + 1] == delimiter) {
          end += 2;
          continue;
        }
        break;
      }
      ++end;
    }
    // A literal closed by the last character leaves no room for the final parenthesis.
    if (end + 1 >= length) throw CompileError{6988};
    const Token counted{Token::kNumber, count};
    Room(kEntryRoom + static_cast<std::size_t>(count));
    PutEntry(kLiteral, 0, &counted, nullptr, 0);
    for (; at < end; ++at) {
      Put(static_cast<std::uint8_t>(text[at]));
      if (text[at] == delimiter) ++at;
    }
    at = end + 1;
    scan_.SkipBlanks();
  }

  // E and G in all their forms: EN, ES (E only), Ew.d[Ee], Gw.d[Ee], and with exponent letter D.
  void RealDescriptor(int letter, const Token* repeat, Token (&p)[3]) {
    if (PeekChar('N') || PeekChar('S')) {
      if (letter == 'G') throw CompileError{6989};
      const int sub = IsChar(scan_.Next(), 'N') ? kSubEN : kSubES;
      p[0] = Number();
      Point();
      p[1] = Number();
      if (!p[0].placeholder && !p[1].placeholder && p[1].value > p[0].value) throw CompileError{6971};
      int n = 2;
      if (PeekChar('E')) {
        scan_.Next();
        p[2] = Number();
        if (!p[2].placeholder && p[2].value == 0) throw CompileError{6972};
        n = 3;
      }
      PutEntry(kExtended, sub, repeat, p, n);
      return;
    }
    p[0] = Number();
    Point();
    p[1] = Number();
    int n = 2;
    int sub = kSubNone;
    if (PeekChar('D')) {
      scan_.Next();
      sub = letter == 'E' ? kSubED : kSubGD;
      p[2] = Number();
      n = 3;
    } else if (PeekChar('E')) {
      scan_.Next();
      p[2] = Number();
      n = 3;
    }
    if (sub != kSubNone) PutEntry(kExtended, sub, repeat, p, n);
    else PutEntry(letter == 'E' ? kEditE : kEditG, 0, repeat, p, n);
  }

  void Final() {
    Put(kFinal);
    std::size_t offset = 0;
    if (progress_) offset = Size() - reversion_;
    // Subtle: the offset is kept in 16 bits; a format too long for that cannot be interpreted.
    if (offset > 0xFFFF) throw CompileError{6988};
    Put16(static_cast<int>(offset));
  }

  Scanner scan_;
  FormatSpec& compiled_;
  std::uint8_t* out_ = nullptr;  // the next byte of compiled_ to write
  std::uint8_t* end_ = nullptr;  // the end of compiled_
  std::size_t entry_ = 0;      // start of the entry being compiled
  std::size_t reversion_ = 0;  // the open entry of the last top-level group, or the start
  int depth_ = 0;
  bool progress_ = false;
};

}  // namespace

void CompileFormat(const char* text, int length, FormatSpec& compiled) {
  if (length < 0) length = static_cast<int>(std::strlen(text));
  Compiler(text, length, compiled).Compile();
}

}  // namespace fmtio
