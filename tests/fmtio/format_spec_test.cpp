#include "fmtio/format_spec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/run_time_error.h"

namespace fmtio {
namespace {

std::string Hex(const FormatSpec& compiled) {
  std::string text;
  char byte[4];
  for (std::uint8_t b : compiled) {
    std::snprintf(byte, sizeof byte, "%s%02X", text.empty() ? "" : " ", b);
    text += byte;
  }
  return text;
}

std::string Printable(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c >= 32 && c < 127) {
      shown += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      shown += escape;
    }
  }
  return shown;
}

// Code bytes below are written as kind | 0x20 (repeat count follows) | parameters << 6; numbers in
// -120..120 are one byte, others 7F and four little-endian bytes; the final entry 1E carries the
// 16-bit distance from the byte after its code back to the reversion point.
struct CompileCase {
  std::string text;
  int length;  // -1: up to the NUL
  const char* bytes;
};

TEST(CompileFormatTest, StoresEntriesAsTheByteLayoutGives) {
  const CompileCase cases[] = {
      {"(I5)", -1, "48 05 1E 03 00"},
      {"(I5.3)", -1, "88 05 03 1E 04 00"},
      {"(3I2)", -1, "68 03 02 1E 04 00"},
      {"(I200)", -1, "48 7F C8 00 00 00 1E 07 00"},
      {"(X)", -1, "5D 01 1E 03 00"},
      {"(4X)", -1, "5D 04 1E 03 00"},
      {"(T5)", -1, "5B 05 1E 00 00"},
      {"(TL3,TR2)", -1, "5C 03 5D 02 1E 00 00"},
      {"(5/)", -1, "32 05 1E 03 00"},
      {"('AB')", -1, "22 02 41 42 1E 00 00"},
      {"(2HAB)", -1, "22 02 41 42 1E 05 00"},
      {"(\"A\"\"B\")", -1, "22 03 41 22 42 1E 00 00"},
      {"(-2P,F5.1)", -1, "23 FE 8B 05 01 1E 06 00"},
      {"(+1P)", -1, "23 01 1E 03 00"},
      {"(A)", -1, "06 1E 02 00"},
      {"(A4)", -1, "46 04 1E 03 00"},
      {"(L2)", -1, "47 02 1E 03 00"},
      {"(D9.2)", -1, "89 09 02 1E 04 00"},
      {"(E15.4E3)", -1, "CA 0F 04 03 1E 05 00"},
      {"(G10.3)", -1, "8C 0A 03 1E 04 00"},
      {"(ES10.3E2)", -1, "CF 01 0A 03 02 1E 06 00"},
      {"(EN12.3)", -1, "8F 02 0C 03 1E 05 00"},
      {"(E12.4D3)", -1, "CF 06 0C 04 03 1E 06 00"},
      {"(G12.4D3)", -1, "CF 07 0C 04 03 1E 06 00"},
      {"(Z)", -1, "0D 1E 02 00"},
      {"(Z8)", -1, "8D 08 00 1E 04 00"},
      {"(Z8.4)", -1, "8D 08 04 1E 04 00"},
      {"(O6,B8.2)", -1, "8F 04 06 00 8F 03 08 02 1E 09 00"},
      {"(Q)", -1, "0F 05 1E 03 00"},
      {"(SP,BN,BZ,S,SS,:,$,\\)", -1, "15 17 18 16 16 13 19 19 1E 00 00"},
      {"(^I^)", -1, "68 7F 87 FF FF FF 7F 86 FF FF FF 1E 0C 00"},
      // The reversion point is the last group at the top level; a group inside it is progress.
      {"(1X,I3,2(1X,F6.2))", -1, "5D 01 48 03 2E 02 5D 01 8B 06 02 1A 1E 09 00"},
      {"(I2,(I3,(I4)))", -1, "48 02 0E 48 03 0E 48 04 1A 1A 1E 09 00"},
      // A top-level group of literals only makes no progress: no reversion.
      {"(I2,('A'))", -1, "48 02 0E 22 01 41 1A 1E 00 00"},
      // Case, blanks and tabs (also inside numbers) do not matter; commas are optional.
      {"( i 1 5 ,\tf 7 . 2 )", -1, "48 0F 8B 07 02 1E 06 00"},
      {"(I5I3)", -1, "48 05 48 03 1E 05 00"},
      {"(I5 3X)", -1, "48 35 5D 01 1E 05 00"},
      // Compilation stops at the parenthesis that closes the first one.
      {"(I3)(F5.2)", -1, "48 03 1E 03 00"},
      {std::string("(I3)\0(F5.2)", 10), 10, "48 03 1E 03 00"},
      {"(I3,F5.2)", 4, "48 03 1F 4C 1B"},
      // Errors: the entries before the bad spot, then the error entry (1F and the number).
      {"I5", -1, "1F 45 1B"},
      {"(I5,3Q)", -1, "48 05 1F 47 1B"},
      {"(I5,E15)", -1, "48 05 1F 4B 1B"},
      {"(I5.7)", -1, "1F 4E 1B"},
      {"(,I5)", -1, "1F 4D 1B"},
      {"(I99999999999)", -1, "1F 4F 1B"},
  };
  for (const CompileCase& c : cases) {
    FormatSpec compiled;
    CompileFormat(c.text.data(), c.length, compiled);
    EXPECT_EQ(Hex(compiled), c.bytes) << "format " << Printable(c.text);
  }
}

// Records what interpretation asks of the record, as tokens: literals in quotes, "/" for a
// record end, TRn, TLn, Tn, the data edit descriptors handed out, "!" when an item found no
// descriptor, "$" for a suppressed record end and "E<number>" for a raised error.
class Recorder final : public FormatRecord {
 public:
  void Literal(const char* text, int count) override {
    std::string token = "'";
    token.append(text, static_cast<std::size_t>(count));
    tokens.push_back(token + "'");
  }
  void EndRecord() override { tokens.push_back("/"); }
  void TabRight(int count) override { Push("TR", count); }
  void TabLeft(int count) override { Push("TL", count); }
  void TabTo(int column) override { Push("T", column); }
  void Push(const char* name, int number) {
    std::ostringstream token;
    token << name << number;
    tokens.push_back(token.str());
  }

  std::vector<std::string> tokens;
};

std::string Descriptor(const FormatCursor& cursor) {
  std::ostringstream text;
  const bool real = cursor.kind >= kEditD && cursor.kind <= kEditG && cursor.kind != kEditZ;
  if (real && cursor.scale != 0) text << cursor.scale << 'P';
  switch (cursor.kind) {
    case kEditA: text << 'A'; if (cursor.w != 0) text << cursor.w; break;
    case kEditL: text << 'L' << cursor.w; break;
    case kEditI: text << 'I' << cursor.w; if (cursor.d != 1) text << '.' << cursor.d; break;
    case kEditD: text << 'D' << cursor.w << '.' << cursor.d; break;
    case kEditE: text << 'E' << cursor.w << '.' << cursor.d; break;
    case kEditF: text << 'F' << cursor.w << '.' << cursor.d; break;
    case kEditG: text << 'G' << cursor.w << '.' << cursor.d; break;
    case kEditZ: text << 'Z' << cursor.w; break;
    default: text << "X" << static_cast<int>(cursor.sub) << ':' << cursor.w; break;
  }
  if ((cursor.kind == kEditE || cursor.kind == kEditG) && cursor.e != 2) text << 'E' << cursor.e;
  return text.str();
}

// Walks a format against `items` items the way a statement does.
std::string Interpret(const std::string& text, int items) {
  FormatSpec compiled;
  CompileFormat(text.data(), static_cast<int>(text.size()), compiled);
  FormatCursor cursor;
  cursor.Reset(compiled, false);
  Recorder record;
  try {
    for (int i = 0; i < items; ++i) {
      if (!cursor.NextEditDescriptor(true, record)) {
        record.tokens.push_back("!");
        break;
      }
      record.tokens.push_back(Descriptor(cursor));
    }
    cursor.NextEditDescriptor(false, record);
    if (cursor.suppressRecordEnd) record.tokens.push_back("$");
  } catch (const runtime::RunTimeError& error) {
    record.Push("E", error.number);
  }
  std::string joined;
  for (const std::string& token : record.tokens) {
    if (!joined.empty()) joined += ' ';
    joined += token;
  }
  return joined;
}

std::string Nested(int depth) {
  std::string text(static_cast<std::size_t>(depth) + 1, '(');
  text += "I2";
  text.append(static_cast<std::size_t>(depth) + 1, ')');
  return text;
}

struct WalkCase {
  std::string format;
  int items;
  const char* tokens;
};

TEST(FormatCursorTest, WalksFormatsAgainstItems) {
  const WalkCase cases[] = {
      {"(' TRUSS ANALYSIS PROGRAM ',/)", 0, "' TRUSS ANALYSIS PROGRAM ' /"},
      {"(1X,I3,' ',E15.5)", 2, "TR1 I3 ' ' E15.5"},
      {"(2X,' NODE',I3,10X,E15.4,/)", 2, "TR2 ' NODE' I3 TR10 E15.4 /"},
      // Reversion without a top-level group goes to the start; the scale factor stays.
      {"(E10.3,1P,E10.3)", 4, "E10.3 1PE10.3 / 1PE10.3 1PE10.3"},
      // Reversion to the last top-level group, whose count applies again.
      {"(I3,2(1X,F6.2))", 6, "I3 TR1 F6.2 TR1 F6.2 / TR1 F6.2 TR1 F6.2 / TR1 F6.2 TR1"},
      {"(3(1X,I2))", 7, "TR1 I2 TR1 I2 TR1 I2 / TR1 I2 TR1 I2 TR1 I2 / TR1 I2 TR1"},
      {"(3I2)", 4, "I2 I2 I2 / I2"},
      {"(I5,:,' END')", 1, "I5"},
      {"(I5,' END')", 1, "I5 ' END'"},
      {"(I5,:,' END')", 2, "I5 ' END' / I5"},
      {"(' A',$)", 0, "' A' $"},
      {"(I1,$)", 2, "I1 / I1 $"},
      {"('IT''S')", 0, "'IT'S'"},
      {"(3HA'B)", 0, "'A'B'"},
      {"(I3)(F5.2)", 2, "I3 / I3"},
      {"(I1 5,F 7. 2)", 2, "I15 F7.2"},
      {"(I5 3X)", 1, "I53 TR1"},
      {"(T5,TL2,TR3,2/)", 0, "T5 TL2 TR3 / /"},
      {Nested(16), 1, "I2"},
      {Nested(17), 1, "E6986"},
      {"(,I5)", 1, "E6989"},
      {"(3(,I5))", 2, "I5 I5"},
      // Errors are raised only when interpretation reaches them.
      {"(I5.7)", 1, "E6990"},
      {"(I5.7)", 0, "E6990"},
      {"('A',I5.7)", 1, "'A' E6990"},
      {"(I5,:,I5.7)", 1, "I5"},
      {"(I5,E15)", 2, "I5 E6987"},
      {"(I5,E15)", 1, "I5 E6987"},
      {"(I5,'AB)", 1, "I5 E6988"},
      {"(I5,'AB'", 1, "I5 E6988"},
      // A tail that would end records forever without consuming an item: the item finds none.
      {"(5X)", 1, "TR5 !"},
      {"(3HABC)", 1, "'ABC' !"},
      {"(I2,(5X))", 2, "I2 TR5 / TR5 !"},
      {"(I2,5X)", 2, "I2 TR5 / I2 TR5"},
      // No progress since the reversion point: the item meets the final parenthesis.
      {"('A')", 1, "'A' !"},
      {"(I2,('A'))", 2, "I2 'A' !"},
  };
  for (const WalkCase& c : cases) {
    EXPECT_EQ(Interpret(c.format, c.items), c.tokens) << "format " << c.format << " with " << c.items << " items";
  }
}

TEST(FormatCursorTest, PlaceholdersTakeTheirValuesInOrder) {
  FormatSpec compiled;
  CompileFormat("(^I^)", -1, compiled);
  const int values[] = {2, 7};
  FormatCursor cursor;
  cursor.Reset(compiled, false);
  cursor.placeholders = values;
  cursor.placeholderCount = 2;
  Recorder record;
  std::string tokens;
  for (int i = 0; i < 3; ++i) {
    tokens += cursor.NextEditDescriptor(true, record) ? Descriptor(cursor) + " " : "! ";
  }
  for (const std::string& token : record.tokens) tokens += token + " ";
  EXPECT_EQ(tokens, "I7 I7 I7 / ");
}

// Every byte c as "(c)": the outcome by the scanner's character classes. Bytes that begin no
// descriptor are 6989; 0 means the text compiles and interprets without error.
int ExpectedForSingleCharacter(int c) {
  if (c >= 'a' && c <= 'z') c = c - 'a' + 'A';
  switch (c) {
    case ' ': case '\t': case ')': case '/': case ':': case '$': case '\\':
    case 'A': case 'B': case 'O': case 'Q': case 'S': case 'X': case 'Z':
      return 0;
    case 'D': case 'E': case 'F': case 'G': case 'I': case 'L': case 'T':
    case '+': case '-':
      return 6980;  // a required number is missing
    case 'H': case 'P':
      return 6984;
    case '\'': case '"': case '(':
      return 6988;  // literal not closed, or the text ends inside a group
    case '^':
      return 6983;  // a count (the placeholder) before ")"
    default:
      return c >= '0' && c <= '9' ? 6983 : 6989;
  }
}

TEST(FormatCursorTest, EveryByteAloneInParentheses) {
  for (int c = 0; c < 256; ++c) {
    const char text[3] = {'(', static_cast<char>(c), ')'};
    FormatSpec compiled;
    CompileFormat(text, 3, compiled);
    FormatCursor cursor;
    cursor.Reset(compiled, false);
    Recorder record;
    int raised = 0;
    try {
      cursor.NextEditDescriptor(true, record);
    } catch (const runtime::RunTimeError& error) {
      raised = error.number;
    }
    EXPECT_EQ(raised, ExpectedForSingleCharacter(c)) << "format (\\x" << std::hex << c << ")";
  }
}

}  // namespace
}  // namespace fmtio
