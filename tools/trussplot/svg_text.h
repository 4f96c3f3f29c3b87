// Text for the picture: numbers as the picture writes them, text widths and line breaking, XML
// escaping, and the builder that assembles the SVG elements.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trussplot {

// A number to `precision` significant digits, shortest form; never "-0".
std::string Number(double value, int precision);

// A coordinate of the picture, to a hundredth of a unit.
std::string Coord(double value);

// A value for the reader: at least `digits` significant digits, in plain decimals from 0.001 to a
// million and in powers of ten beyond, trailing zeros dropped.
std::string Value(double value, int digits = 4);

// The width of a text in picture units, a little generous so that the common fonts fit.
double TextWidth(std::string_view text, double size, bool bold);

// Breaks a text at blanks into lines no wider than `width`; a word wider than that stands alone.
std::vector<std::string> Wrap(std::string_view text, double size, bool bold, double width);

// A text in UTF-8: as it is when it is valid UTF-8, else with every byte taken as a Latin-1
// character. The picture and the JSON both read titles this way.
std::string AsUtf8(std::string_view text);

// A text as XML character data, read by AsUtf8: markup characters escaped and control characters
// replaced by "?".
std::string EscapeText(std::string_view text);

// A point of the picture, in picture units: x to the right, y down.
struct Screen {
  double x = 0.0;
  double y = 0.0;
};

// Assembles an SVG document element by element; every attribute value and text is escaped.
class SvgBuilder {
 public:
  void Open(std::string_view element);
  void Attribute(std::string_view name, std::string_view value);
  void Attribute(std::string_view name, double value) { Attribute(name, Coord(value)); }
  void CloseEmpty() { out_ += "/>\n"; }
  void CloseStart() { out_ += ">"; }
  void End(std::string_view element);
  void Raw(std::string_view text) { out_ += text; }
  void Text(std::string_view text);
  // A "title" child: the tooltip a browser shows over its parent element.
  void Tooltip(std::string_view text);

  // A line element; with a tooltip it gets a title child.
  void Line(Screen a, Screen b, std::string_view cls, std::string_view stroke, double width,
            std::string_view dash = {}, std::string_view tooltip = {});
  // A text element; `extra` holds further attributes as written.
  void Label(Screen at, std::string_view text, double size, std::string_view extra = {},
             std::string_view cls = {});
  void Polygon(const std::vector<Screen>& points, std::string_view cls, std::string_view fill);

  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace trussplot
