// Number formats, text measuring and wrapping, XML escaping and the SVG element builder.
#include "tools/trussplot/svg_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace trussplot {

namespace {

// Widths of glyphs in ems, by kind of character, of a wide sans-serif font in regular and bold.
struct GlyphWidths {
  double blank, narrow, medium, wide, capital, digit, small, other;
};
constexpr GlyphWidths kRegularWidths{0.375, 0.318, 0.389, 0.92, 0.675, 0.642, 0.567, 0.66};
constexpr GlyphWidths kBoldWidths{0.40, 0.382, 0.457, 1.03, 0.757, 0.704, 0.639, 0.72};

// The length of the UTF-8 sequence starting at text[i], or 0 when the bytes there are not one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned int code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  const unsigned int smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool allowed = code >= smallest[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) &&
                       code != 0xFFFE && code != 0xFFFF;
  return allowed ? length : 0;
}

}  // namespace

std::string Number(double value, int precision) {
  if (value == 0.0 && std::signbit(value)) value = 0.0;  // no "-0"
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
  return std::string(buffer, result.ptr);
}

std::string Coord(double value) {
  if (std::fabs(value) < 0.005) value = 0.0;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  return std::string(buffer, result.ptr);
}

std::string Value(double value, int digits) {
  const double magnitude = std::fabs(value);
  if (value == 0.0 || !(magnitude >= 1e-3 && magnitude < 1e6)) return Number(value, digits);
  const int decimals = std::max(0, digits - 1 - static_cast<int>(std::floor(std::log10(magnitude))));
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string text(buffer, result.ptr);
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text == "-0" ? "0" : text;
}

// Only an estimate: the viewer's font decides.
double TextWidth(std::string_view text, double size, bool bold) {
  const GlyphWidths& w = bold ? kBoldWidths : kRegularWidths;
  double ems = 0.0;
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u & 0xC0) == 0x80) continue;  // continuation byte of a UTF-8 character
    if (c == ' ') {
      ems += w.blank;
    } else if (std::string_view("iljI.,:;'|!").find(c) != std::string_view::npos) {
      ems += w.narrow;
    } else if (std::string_view("frt()[]-/").find(c) != std::string_view::npos) {
      ems += w.medium;
    } else if (c == 'm' || c == 'w' || c == 'M' || c == 'W') {
      ems += w.wide;
    } else if (c >= 'A' && c <= 'Z') {
      ems += w.capital;
    } else if (c >= '0' && c <= '9') {
      ems += w.digit;
    } else if (c >= 'a' && c <= 'z') {
      ems += w.small;
    } else {
      ems += w.other;
    }
  }
  return 1.04 * ems * size;
}

std::vector<std::string> Wrap(std::string_view text, double size, bool bold, double width) {
  std::vector<std::string> lines;
  std::string line;
  while (!text.empty()) {
    const std::size_t blank = text.find(' ');
    const std::string_view word = text.substr(0, blank);
    text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    if (word.empty()) continue;
    const std::string longer = line.empty() ? std::string(word) : line + " " + std::string(word);
    if (!line.empty() && TextWidth(longer, size, bold) > width) {
      lines.push_back(line);
      line = std::string(word);
    } else {
      line = longer;
    }
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

std::string AsUtf8(std::string_view text) {
  bool valid = true;
  for (std::size_t i = 0; i < text.size() && valid; ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x80) continue;
    const std::size_t length = Utf8Length(text, i);
    valid = length != 0;
    if (valid) i += length - 1;
  }
  if (valid) return std::string(text);
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : AsUtf8(text)) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += static_cast<unsigned char>(ch) < 0x20 ? '?' : ch;
    }
  }
  return out;
}

void SvgBuilder::Open(std::string_view element) {
  out_ += '<';
  out_ += element;
}

void SvgBuilder::Attribute(std::string_view name, std::string_view value) {
  out_ += ' ';
  out_ += name;
  out_ += "=\"";
  out_ += EscapeText(value);
  out_ += '"';
}

void SvgBuilder::End(std::string_view element) {
  out_ += "</";
  out_ += element;
  out_ += ">\n";
}

void SvgBuilder::Text(std::string_view text) { out_ += EscapeText(text); }

void SvgBuilder::Tooltip(std::string_view text) {
  Open("title");
  CloseStart();
  Text(text);
  End("title");
}

void SvgBuilder::Line(Screen a, Screen b, std::string_view cls, std::string_view stroke, double width,
                      std::string_view dash, std::string_view tooltip) {
  Open("line");
  if (!cls.empty()) Attribute("class", cls);
  Attribute("x1", a.x);
  Attribute("y1", a.y);
  Attribute("x2", b.x);
  Attribute("y2", b.y);
  Attribute("stroke", stroke);
  Attribute("stroke-width", width);
  if (!dash.empty()) Attribute("stroke-dasharray", dash);
  if (tooltip.empty()) {
    CloseEmpty();
    return;
  }
  CloseStart();
  Tooltip(tooltip);
  End("line");
}

void SvgBuilder::Label(Screen at, std::string_view text, double size, std::string_view extra,
                       std::string_view cls) {
  Open("text");
  if (!cls.empty()) Attribute("class", cls);
  Attribute("x", at.x);
  Attribute("y", at.y);
  Attribute("font-size", size);
  if (!extra.empty()) {
    out_ += ' ';
    out_ += extra;
  }
  CloseStart();
  Text(text);
  End("text");
}

void SvgBuilder::Polygon(const std::vector<Screen>& points, std::string_view cls, std::string_view fill) {
  std::string list;
  for (const Screen& p : points) {
    if (!list.empty()) list += ' ';
    list += Coord(p.x);
    list += ',';
    list += Coord(p.y);
  }
  Open("polygon");
  Attribute("class", cls);
  Attribute("points", list);
  Attribute("fill", fill);
  CloseEmpty();
}

}  // namespace trussplot
