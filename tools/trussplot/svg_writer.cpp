#include "tools/trussplot/svg_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <vector>

namespace trussplot {

namespace {

// The page: a drawing area on the left, the legend on the right, the title above and the notes
// below. Lengths are in picture units (pixels at 100 %).
constexpr double kPageWidth = 1000.0;
constexpr double kPlotLeft = 20.0;
constexpr double kPlotWidth = 720.0;
constexpr double kMaxDrawHeight = 640.0;
constexpr double kMinPlotHeight = 280.0;
constexpr double kLegendLeft = 760.0;
constexpr double kTextWidth = kPageWidth - 2.0 * kPlotLeft;  // the width of the header lines
constexpr double kNoteWidth = kPlotWidth;                      // notes stay left of the legend
constexpr double kTitleSize = 16.0;                            // font size of the title
constexpr double kPadding = 72.0;        // room around the structure for arrows and supports
constexpr double kLongestArrow = 60.0;   // the arrow of the largest load, at most
constexpr double kLeastLongestArrow = 28.0;  // the arrow of the largest load, at least
constexpr double kShortestArrow = 16.0;  // the least length of an arrow, its head included
constexpr double kSupportSize = 12.0;    // depth of a support triangle
constexpr double kNoteHeight = 15.0;
constexpr double kDeformedWidth = 2.6;       // stroke of a deformed member in a small model
constexpr double kDenseDeformedWidth = 2.0;  // the same in a model of many members
constexpr std::size_t kDenseMembers = 24;
constexpr std::size_t kMaxNotes = 24;

constexpr std::array<int, 3> kCompressionRgb = {33, 102, 172};
constexpr std::array<int, 3> kZeroRgb = {150, 150, 150};
constexpr std::array<int, 3> kTensionRgb = {178, 24, 43};
constexpr std::string_view kUndeformedColour = "#b4b4b4";
constexpr std::string_view kLoadColour = "#1b7837";
constexpr std::string_view kSupportColour = "#555555";
constexpr std::string_view kCompressionDash = "8 4";
constexpr std::string_view kMissingStressDash = "2 3";
constexpr char kAxisNames[] = "xyz";

std::string Number(double value, int precision) {
  if (value == 0.0) value = 0.0;  // no "-0"
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
  return std::string(buffer, result.ptr);
}

// A coordinate of the picture, to a hundredth of a unit.
std::string Coord(double value) {
  if (std::fabs(value) < 0.005) value = 0.0;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  return std::string(buffer, result.ptr);
}

// A value for the reader: at least four significant digits, in plain decimals from 0.001 to a
// million and in powers of ten beyond, trailing zeros dropped.
std::string Value(double value) {
  const double magnitude = std::fabs(value);
  if (value == 0.0 || !(magnitude >= 1e-3 && magnitude < 1e6)) return Number(value, 4);
  const int decimals = std::max(0, 3 - static_cast<int>(std::floor(std::log10(magnitude))));
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  std::string text(buffer, result.ptr);
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text == "-0" ? "0" : text;
}

// Widths of glyphs in ems, by kind of character, of a wide sans-serif font in regular and bold.
struct GlyphWidths {
  double blank, narrow, medium, wide, capital, digit, small, other;
};
constexpr GlyphWidths kRegularWidths{0.375, 0.318, 0.389, 0.92, 0.675, 0.642, 0.567, 0.66};
constexpr GlyphWidths kBoldWidths{0.40, 0.382, 0.457, 1.03, 0.757, 0.704, 0.639, 0.72};

// The width of a text in picture units, a little generous so that the common fonts fit. Only an
// estimate: the viewer's font decides.
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

// Breaks a text at blanks into lines no wider than `width`; a word wider than that stands alone.
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

std::optional<Vec3> AllOf(const std::array<Real, 3>& values) {
  if (!values[0] || !values[1] || !values[2]) return std::nullopt;
  return Vec3{*values[0], *values[1], *values[2]};
}

double Length(const Vec3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

struct Screen {
  double x = 0.0;
  double y = 0.0;
};

// What the picture shows of one node.
struct NodeShape {
  bool placed = false;             // all its coordinates are known
  Vec3 at{};                       // undeformed position
  bool moved = false;              // its deformed position is known
  Vec3 deformed{};                 // position in the deformed shape
  Screen screen;                   // undeformed position in the picture
  Screen deformedScreen;           // deformed position in the picture
};

// A drawn member: its record and end nodes (0-based indices of placed nodes).
struct MemberShape {
  const PlotMember* member = nullptr;
  std::size_t end1 = 0;
  std::size_t end2 = 0;
};

// Places model points in the drawing area, keeping the proportions of the structure.
class Placement {
 public:
  Placement(View view, const std::vector<Point2>& points, double top) : view_(view), top_(top) {
    double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      minX = i == 0 ? points[i].x : std::min(minX, points[i].x);
      maxX = i == 0 ? points[i].x : std::max(maxX, points[i].x);
      minY = i == 0 ? points[i].y : std::min(minY, points[i].y);
      maxY = i == 0 ? points[i].y : std::max(maxY, points[i].y);
    }
    const double width = maxX - minX;
    const double height = maxY - minY;
    const double available = kPlotWidth - 2.0 * kPadding;
    double drawHeight = 0.0;
    if (width > 0.0) {
      unit_ = available / width;
      drawHeight = height * unit_;
    }
    if (height > 0.0 && (width <= 0.0 || drawHeight > kMaxDrawHeight)) {
      unit_ = kMaxDrawHeight / height;
      drawHeight = kMaxDrawHeight;
    }
    plotHeight_ = std::max(drawHeight + 2.0 * kPadding, kMinPlotHeight);
    centreX_ = (minX + maxX) / 2.0;
    centreY_ = (minY + maxY) / 2.0;
  }

  Screen At(const Vec3& p) const {
    const Point2 q = Project(view_, p);
    return {kPlotLeft + kPlotWidth / 2.0 + (q.x - centreX_) * unit_,
            top_ + plotHeight_ / 2.0 - (q.y - centreY_) * unit_};
  }

  // A direction of the model in picture units per model unit (picture y points down).
  Screen Direction(const Vec3& d) const {
    const Point2 q = Project(view_, d);
    return {q.x, -q.y};
  }

  double top() const { return top_; }                // top of the drawing area
  double plotHeight() const { return plotHeight_; }  // height of the drawing area

 private:
  View view_;
  double top_;
  double unit_ = 1.0;  // picture units per model unit
  double plotHeight_ = kMinPlotHeight;
  double centreX_ = 0.0;
  double centreY_ = 0.0;
};

class SvgBuilder {
 public:
  void Open(std::string_view element) {
    out_ += '<';
    out_ += element;
  }
  void Attribute(std::string_view name, std::string_view value) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    out_ += EscapeText(value);
    out_ += '"';
  }
  void Attribute(std::string_view name, double value) { Attribute(name, Coord(value)); }
  void CloseEmpty() { out_ += "/>\n"; }
  void CloseStart() { out_ += ">"; }
  void End(std::string_view element) {
    out_ += "</";
    out_ += element;
    out_ += ">\n";
  }
  void Raw(std::string_view text) { out_ += text; }
  void Text(std::string_view text) { out_ += EscapeText(text); }

  void Line(Screen a, Screen b, std::string_view cls, std::string_view stroke, double width,
            std::string_view dash = {}, std::string_view tooltip = {}) {
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
    Open("title");
    CloseStart();
    Text(tooltip);
    End("title");
    End("line");
  }

  void Label(Screen at, std::string_view text, double size, std::string_view extra = {},
             std::string_view cls = {}) {
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

  void Polygon(const std::vector<Screen>& points, std::string_view cls, std::string_view fill) {
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

  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

// Everything the picture shows, gathered from the file before anything is drawn.
struct Scene {
  std::vector<NodeShape> nodes;
  std::vector<MemberShape> members;
  std::vector<std::string> notes;
  bool deformedShown = false;
  double scale = 1.0;
  bool scaleGiven = false;
  double largestDisplacement = 0.0;
  int largestDisplacementNode = 0;
  double stressRange = 0.0;
  bool anyStress = false;
  double largestLoad = 0.0;
};

std::string MemberList(const std::vector<int>& numbers) {
  if (numbers.size() == 1) return "member " + std::to_string(numbers.front());
  return "members " + std::to_string(numbers.front()) + "-" + std::to_string(numbers.back());
}

void GatherNodes(const PlotFile& file, Scene& scene) {
  scene.deformedShown = HasDisplacements(file);
  for (const PlotNode& node : file.nodes) {
    NodeShape shape;
    const std::string name = "node " + std::to_string(node.K);
    if (const auto at = AllOf(node.coordinate)) {
      shape.placed = true;
      shape.at = *at;
    } else {
      scene.notes.push_back(name + ": a coordinate is not representable; the node is not drawn");
    }
    for (int j = 0; j < 3; ++j) {
      if (!node.IFIX[j]) {
        scene.notes.push_back(name + ": the " + std::string(1, kAxisNames[j]) +
                              " fixity code is not representable (not 1, so the direction is free)");
      }
    }
    if (!AllOf(node.load)) scene.notes.push_back(name + ": a load is not representable; no arrow is drawn");
    if (scene.deformedShown && shape.placed) {
      if (const auto d = AllOf(node.displacement)) {
        shape.moved = true;
        shape.deformed = *d;  // the displacement until the scale is known
        if (Length(*d) > scene.largestDisplacement) {
          scene.largestDisplacement = Length(*d);
          scene.largestDisplacementNode = node.K;
        }
      } else if (node.hasDisplacement) {
        scene.notes.push_back(name + ": a displacement is not representable; its members are left out of "
                              "the deformed shape");
      }
    }
    scene.nodes.push_back(shape);
  }
}

void GatherMembers(const PlotFile& file, Scene& scene) {
  std::vector<int> unanalysed;
  for (std::size_t i = 0; i < file.members.size(); ++i) {
    const PlotMember& member = file.members[i];
    if (!IsAnalysedMember(file, i)) {
      unanalysed.push_back(member.K);
      continue;
    }
    const std::string name = "member " + std::to_string(member.K);
    if (!member.NODE[0] || !member.NODE[1]) {
      scene.notes.push_back(name + ": an end node is not representable; the member is not drawn");
      continue;
    }
    bool drawable = true;
    for (int end : {*member.NODE[0], *member.NODE[1]}) {
      if (end < 1 || static_cast<std::size_t>(end) > scene.nodes.size()) {
        scene.notes.push_back(name + ": end node " + std::to_string(end) + " is not in the file; the member is "
                              "not drawn");
        drawable = false;
      } else if (!scene.nodes[end - 1].placed) {
        drawable = false;
      }
    }
    if (!drawable) continue;
    scene.members.push_back({&member, static_cast<std::size_t>(*member.NODE[0] - 1),
                             static_cast<std::size_t>(*member.NODE[1] - 1)});
    if (member.hasStress && member.stress) {
      scene.anyStress = true;
      scene.stressRange = std::max(scene.stressRange, std::fabs(*member.stress));
    } else if (member.hasStress) {
      scene.notes.push_back(name + ": the stress is not representable; drawn dotted in black");
    }
  }
  if (!unanalysed.empty()) {
    scene.notes.push_back(MemberList(unanalysed) + " numbered above the member count (NELE = " +
                          std::to_string(file.NELE.value_or(0)) + ") took no part in the analysis; not drawn");
  }
}

void ApplyScale(const PictureOptions& options, Scene& scene) {
  std::vector<Vec3> placed;
  for (const NodeShape& node : scene.nodes) {
    if (node.placed) placed.push_back(node.at);
  }
  scene.scaleGiven = options.scale.has_value();
  scene.scale = options.scale.value_or(AutomaticScale(StructureSize(placed), scene.largestDisplacement));
  bool finite = true;
  for (NodeShape& node : scene.nodes) {
    if (!node.moved) continue;
    for (int j = 0; j < 3; ++j) {
      node.deformed[j] = node.at[j] + scene.scale * node.deformed[j];
      finite = finite && std::isfinite(node.deformed[j]);
    }
  }
  if (scene.deformedShown && !finite) {
    scene.deformedShown = false;
    scene.notes.push_back("the magnification " + Number(scene.scale, 6) +
                          " moves nodes beyond any drawable size; the deformed shape is not drawn");
  }
}

void GatherLoads(const PlotFile& file, Scene& scene) {
  for (std::size_t i = 0; i < file.nodes.size(); ++i) {
    if (!scene.nodes[i].placed) continue;
    if (const auto load = AllOf(file.nodes[i].load)) scene.largestLoad = std::max(scene.largestLoad, Length(*load));
  }
}

Scene Gather(const PlotFile& file, const PictureOptions& options) {
  Scene scene;
  GatherNodes(file, scene);
  GatherMembers(file, scene);
  ApplyScale(options, scene);
  GatherLoads(file, scene);
  return scene;
}

void DrawDefinitions(SvgBuilder& svg) {
  svg.Raw("<defs>\n");
  svg.Raw("<marker id=\"arrow\" viewBox=\"0 0 10 10\" refX=\"10\" refY=\"5\" markerWidth=\"5.5\" "
          "markerHeight=\"5.5\" orient=\"auto\"><path d=\"M0,0 L10,5 L0,10 z\" fill=\"");
  svg.Raw(kLoadColour);
  svg.Raw("\"/></marker>\n");
  svg.Raw("<linearGradient id=\"stress-scale\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">");
  svg.Raw("<stop offset=\"0\" stop-color=\"" + StressColour(1.0, 1.0) + "\"/>");
  svg.Raw("<stop offset=\"0.5\" stop-color=\"" + StressColour(0.0, 1.0) + "\"/>");
  svg.Raw("<stop offset=\"1\" stop-color=\"" + StressColour(-1.0, 1.0) + "\"/>");
  svg.Raw("</linearGradient>\n</defs>\n");
}

std::string Capitalised(std::string_view text) {
  std::string out(text);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

// The title, how the picture is drawn and, for a file that ended early, what is missing; each
// wrapped to the page. Returns the top of the drawing area below them.
double DrawHeader(const PlotFile& file, const Scene& scene, const PictureOptions& options, SvgBuilder& svg) {
  double y = 30.0;
  const std::string title = file.title.empty() ? "(no title)" : file.title;
  bool first = true;
  for (const std::string& line : Wrap(title, kTitleSize, true, kTextWidth)) {
    if (!first) y += kTitleSize + 4.0;
    svg.Label({kPlotLeft, y}, line, kTitleSize, "font-weight=\"bold\"", "title");
    first = false;
  }
  std::vector<std::string> sentences = {Capitalised(DescribeView(options.view)) + "."};
  if (scene.deformedShown) {
    sentences.push_back("Displacements magnified " + Number(scene.scale, 6) + " times" +
                        (scene.scaleGiven ? " (as asked)."
                                          : ", so that the largest is about a tenth of the structure's size."));
  }
  y += 8.0;
  for (const std::string& sentence : sentences) {
    for (const std::string& line : Wrap(sentence, 13.0, false, kTextWidth)) {
      y += 17.0;
      svg.Label({kPlotLeft, y}, line, 13.0);
    }
  }
  const std::string end = DescribeEnd(file);
  if (!end.empty()) {
    const std::string rest = HasDisplacements(file) ? "Members without a stress record are drawn dotted."
                                                    : "Only the undeformed model is shown.";
    y += 4.0;
    svg.Raw("<g class=\"early-end\" fill=\"#a50f15\" font-weight=\"bold\">\n");
    for (const std::string& sentence : {end, rest}) {
      for (const std::string& line : Wrap(sentence, 13.0, true, kTextWidth)) {
        y += 17.0;
        svg.Label({kPlotLeft, y}, line, 13.0);
      }
    }
    svg.Raw("</g>\n");
  }
  return y + 14.0;
}

// Many thick lines hide each other; a model of many members is drawn thinner.
double DeformedWidth(const Scene& scene) {
  return scene.members.size() > kDenseMembers ? kDenseDeformedWidth : kDeformedWidth;
}

void DrawMembers(const Scene& scene, SvgBuilder& svg) {
  svg.Raw("<g class=\"undeformed\">\n");
  for (const MemberShape& m : scene.members) {
    const std::string tooltip = "member " + std::to_string(m.member->K) + ": nodes " +
                                std::to_string(*m.member->NODE[0]) + "-" + std::to_string(*m.member->NODE[1]);
    svg.Line(scene.nodes[m.end1].screen, scene.nodes[m.end2].screen, "member undeformed", kUndeformedColour, 1.2,
             {}, tooltip);
  }
  svg.Raw("</g>\n");
  if (!scene.deformedShown) return;
  svg.Raw("<g class=\"deformed\">\n");
  for (const MemberShape& m : scene.members) {
    const NodeShape& a = scene.nodes[m.end1];
    const NodeShape& b = scene.nodes[m.end2];
    if (!a.moved || !b.moved) continue;
    std::string tooltip = "member " + std::to_string(m.member->K) + ": ";
    std::string colour = "#000000";
    std::string_view dash = kMissingStressDash;
    if (m.member->hasStress && m.member->stress) {
      const double stress = *m.member->stress;
      colour = StressColour(stress, scene.stressRange);
      dash = stress < 0.0 ? kCompressionDash : std::string_view();
      tooltip += "stress " + Value(stress) + (stress < 0.0 ? " (compression)" : stress > 0.0 ? " (tension)" : "");
    } else {
      tooltip += m.member->hasStress ? "stress not representable" : "no stress record";
    }
    svg.Line(a.deformedScreen, b.deformedScreen, "member deformed", colour, DeformedWidth(scene), dash, tooltip);
  }
  svg.Raw("</g>\n");
}

void DrawSupports(const PlotFile& file, const Scene& scene, const Placement& placement, SvgBuilder& svg) {
  svg.Raw("<g class=\"supports\">\n");
  for (std::size_t i = 0; i < file.nodes.size(); ++i) {
    const NodeShape& node = scene.nodes[i];
    if (!node.placed) continue;
    for (int j = 0; j < 3; ++j) {
      if (file.nodes[i].IFIX[j] != 1) continue;
      Vec3 axis{0.0, 0.0, 0.0};
      axis[j] = 1.0;
      const Screen d = placement.Direction(axis);
      const double length = std::hypot(d.x, d.y);
      const Screen p = node.screen;
      if (length < 0.2) {
        // A direction along the line of sight: the support is seen end on, as a square.
        const double h = kSupportSize / 2.5;
        svg.Polygon({{p.x - h, p.y - h}, {p.x + h, p.y - h}, {p.x + h, p.y + h}, {p.x - h, p.y + h}}, "support",
                    kSupportColour);
        continue;
      }
      const Screen u{d.x / length, d.y / length};
      const Screen base{p.x - u.x * kSupportSize, p.y - u.y * kSupportSize};
      const double half = kSupportSize * 0.45;
      svg.Polygon({p, {base.x - u.y * half, base.y + u.x * half}, {base.x + u.y * half, base.y - u.x * half}},
                  "support", kSupportColour);
    }
  }
  svg.Raw("</g>\n");
}

// The arrow length of the largest load: 60 units, shorter where members are drawn short (a model
// of many nodes) so that arrows do not reach across the neighbouring nodes.
double LongestArrow(const Scene& scene) {
  std::vector<double> lengths;
  for (const MemberShape& m : scene.members) {
    const Screen a = scene.nodes[m.end1].screen;
    const Screen b = scene.nodes[m.end2].screen;
    lengths.push_back(std::hypot(b.x - a.x, b.y - a.y));
  }
  if (lengths.empty()) return kLongestArrow;
  std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
  return std::clamp(0.6 * lengths[lengths.size() / 2], kLeastLongestArrow, kLongestArrow);
}

void DrawLoads(const PlotFile& file, const Scene& scene, const Placement& placement, const PictureOptions& options,
               SvgBuilder& svg) {
  const double longest = LongestArrow(scene);
  svg.Raw("<g class=\"loads\">\n");
  for (std::size_t i = 0; i < file.nodes.size(); ++i) {
    const auto load = AllOf(file.nodes[i].load);
    if (!scene.nodes[i].placed || !load || Length(*load) == 0.0) continue;
    const Screen tip = scene.nodes[i].screen;
    const Screen d = placement.Direction(*load);
    const double projected = std::hypot(d.x, d.y);
    // Subtle: whether a load is seen end on depends on its direction only; a small load keeps its
    // arrow, drawn at a least length so that it stays visible.
    const bool endOn = projected < 0.2 * Length(*load);
    const double length = std::max(longest * projected / scene.largestLoad, kShortestArrow);
    const Screen arrow = endOn ? Screen{} : Screen{d.x / projected * length, d.y / projected * length};
    const std::string tooltip = "load at node " + std::to_string(file.nodes[i].K) + ": " + Value((*load)[0]) +
                                ", " + Value((*load)[1]) + ", " + Value((*load)[2]);
    if (!endOn) {
      svg.Open("line");
      svg.Attribute("class", "load");
      svg.Attribute("x1", tip.x - arrow.x);
      svg.Attribute("y1", tip.y - arrow.y);
      svg.Attribute("x2", tip.x);
      svg.Attribute("y2", tip.y);
      svg.Attribute("stroke", kLoadColour);
      svg.Attribute("stroke-width", 1.8);
      svg.Attribute("marker-end", "url(#arrow)");
    } else {
      // A load along the line of sight: a circle with a dot when it points at the viewer, with a
      // cross when it points away.
      svg.Open("g");
      svg.Attribute("class", "load");
    }
    svg.CloseStart();
    svg.Open("title");
    svg.CloseStart();
    svg.Text(tooltip);
    svg.End("title");
    if (!endOn) {
      svg.End("line");
      continue;
    }
    const double r = 6.0;
    svg.Raw("<circle cx=\"" + Coord(tip.x) + "\" cy=\"" + Coord(tip.y) + "\" r=\"" + Coord(r) +
            "\" fill=\"none\" stroke=\"" + std::string(kLoadColour) + "\" stroke-width=\"1.5\"/>");
    if (TowardViewer(options.view, *load) > 0.0) {
      svg.Raw("<circle cx=\"" + Coord(tip.x) + "\" cy=\"" + Coord(tip.y) + "\" r=\"1.8\" fill=\"" +
              std::string(kLoadColour) + "\"/>");
    } else {
      const double c = r * 0.7;
      svg.Line({tip.x - c, tip.y - c}, {tip.x + c, tip.y + c}, {}, kLoadColour, 1.5);
      svg.Line({tip.x - c, tip.y + c}, {tip.x + c, tip.y - c}, {}, kLoadColour, 1.5);
    }
    svg.End("g");
  }
  svg.Raw("</g>\n");
}

void DrawNodeNumbers(const PlotFile& file, const Scene& scene, SvgBuilder& svg) {
  svg.Raw("<g class=\"node-numbers\" fill=\"#222222\" stroke=\"#ffffff\" stroke-width=\"3\" "
          "paint-order=\"stroke\">\n");
  for (std::size_t i = 0; i < file.nodes.size(); ++i) {
    if (!scene.nodes[i].placed) continue;
    const Screen p = scene.nodes[i].screen;
    svg.Raw("<circle cx=\"" + Coord(p.x) + "\" cy=\"" + Coord(p.y) + "\" r=\"2\" stroke=\"none\"/>");
    svg.Label({p.x + 5.0, p.y - 5.0}, std::to_string(file.nodes[i].K), 11.0, {}, "node-number");
  }
  svg.Raw("</g>\n");
}

void DrawAxes(const Placement& placement, SvgBuilder& svg) {
  const Screen origin{kPlotLeft + 24.0, placement.top() + placement.plotHeight() - 24.0};
  svg.Raw("<g class=\"axes\" font-size=\"11\" fill=\"#444444\">\n");
  for (int j = 0; j < 3; ++j) {
    Vec3 axis{0.0, 0.0, 0.0};
    axis[j] = 1.0;
    const Screen d = placement.Direction(axis);
    if (std::hypot(d.x, d.y) < 0.2) continue;
    const Screen end{origin.x + 26.0 * d.x, origin.y + 26.0 * d.y};
    svg.Line(origin, end, {}, "#444444", 1.0);
    svg.Label({end.x + 6.0 * d.x - 3.0, end.y + 6.0 * d.y + 4.0}, std::string(1, kAxisNames[j]), 11.0);
  }
  svg.Raw("</g>\n");
}

// The legend; returns its height.
double DrawLegend(const Scene& scene, double top, SvgBuilder& svg) {
  double y = top + 10.0;
  const double x = kLegendLeft;
  svg.Raw("<g class=\"legend\" font-size=\"12\" fill=\"#222222\">\n");
  svg.Line({x, y}, {x + 36.0, y}, {}, kUndeformedColour, 1.2);
  svg.Label({x + 44.0, y + 4.0}, "undeformed model", 12.0);
  y += 22.0;
  if (scene.deformedShown) {
    svg.Line({x, y}, {x + 36.0, y}, {}, StressColour(1.0, 1.0), DeformedWidth(scene));
    svg.Label({x + 44.0, y + 4.0}, "deformed: tension", 12.0);
    y += 18.0;
    svg.Line({x, y}, {x + 36.0, y}, {}, StressColour(-1.0, 1.0), DeformedWidth(scene), kCompressionDash);
    svg.Label({x + 44.0, y + 4.0}, "deformed: compression", 12.0);
    y += 20.0;
    svg.Label({x, y + 4.0}, "displacements \xc3\x97 " + Number(scene.scale, 6), 12.0);
    y += 16.0;
    if (scene.largestDisplacementNode != 0) {
      svg.Label({x, y + 4.0},
                "largest " + Value(scene.largestDisplacement) + " at node " +
                    std::to_string(scene.largestDisplacementNode),
                12.0);
    } else {
      svg.Label({x, y + 4.0}, "no node moves", 12.0);
    }
    y += 30.0;
    if (scene.anyStress) {
      const double barTop = y + 18.0;
      const double barHeight = 180.0;
      svg.Label({x, y + 4.0}, "stress (tension +)", 12.0, "font-weight=\"bold\"");
      svg.Raw("<rect class=\"colour-bar\" x=\"" + Coord(x) + "\" y=\"" + Coord(barTop) +
              "\" width=\"18\" height=\"" + Coord(barHeight) +
              "\" fill=\"url(#stress-scale)\" stroke=\"#444444\" stroke-width=\"0.5\"/>\n");
      const double range = scene.stressRange;
      for (int tick = 0; tick <= 4; ++tick) {
        const double value = range * (1.0 - tick / 2.0);
        if (range == 0.0 && tick != 2) continue;
        const double ty = barTop + barHeight * tick / 4.0;
        svg.Line({x + 18.0, ty}, {x + 23.0, ty}, {}, "#444444", 0.8);
        svg.Label({x + 27.0, ty + 4.0}, Value(value), 11.0, {}, "colour-bar-value");
      }
      y = barTop + barHeight + 24.0;
    } else {
      svg.Label({x, y + 4.0}, "no stress values", 12.0);
      y += 24.0;
    }
  }
  if (scene.largestLoad > 0.0) {
    svg.Open("line");
    svg.Attribute("x1", x);
    svg.Attribute("y1", y);
    svg.Attribute("x2", x + 36.0);
    svg.Attribute("y2", y);
    svg.Attribute("stroke", kLoadColour);
    svg.Attribute("stroke-width", 1.8);
    svg.Attribute("marker-end", "url(#arrow)");
    svg.CloseEmpty();
    svg.Label({x + 44.0, y + 4.0}, "load (largest " + Value(scene.largestLoad) + ")", 12.0);
    y += 22.0;
  }
  svg.Polygon({{x + 18.0, y}, {x + 18.0 - kSupportSize, y - 5.4}, {x + 18.0 - kSupportSize, y + 5.4}}, "legend-support",
              kSupportColour);
  svg.Label({x + 44.0, y + 4.0}, "support: fixed direction", 12.0);
  y += 22.0;
  svg.Label({x + 8.0, y + 4.0}, "7", 11.0);
  svg.Label({x + 44.0, y + 4.0}, "node number", 12.0);
  y += 12.0;
  svg.Raw("</g>\n");
  return y - top;
}

// The notes below the drawing; returns their height.
double DrawNotes(const Scene& scene, double top, SvgBuilder& svg) {
  if (scene.notes.empty()) return 0.0;
  svg.Raw("<g class=\"notes\" fill=\"#a50f15\">\n");
  double y = top + 18.0;
  svg.Label({kPlotLeft, y}, "Notes:", 12.0, "font-weight=\"bold\"");
  const std::size_t shown = std::min(scene.notes.size(), kMaxNotes);
  for (std::size_t i = 0; i < shown; ++i) {
    bool first = true;
    for (const std::string& line : Wrap(scene.notes[i], 12.0, false, kNoteWidth)) {
      y += kNoteHeight;
      svg.Label({kPlotLeft + (first ? 0.0 : 12.0), y}, line, 12.0, {}, first ? "note" : "");
      first = false;
    }
  }
  if (scene.notes.size() > shown) {
    y += kNoteHeight;
    svg.Label({kPlotLeft, y}, "and " + std::to_string(scene.notes.size() - shown) + " more", 12.0, {}, "note");
  }
  svg.Raw("</g>\n");
  return y - top + 10.0;
}

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

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '&': out += "&amp;"; continue;
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      case '"': out += "&quot;"; continue;
      default: break;
    }
    if (c < 0x20) {
      out += '?';
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const std::size_t length = Utf8Length(text, i)) {
      out.append(text.substr(i, length));
      i += length - 1;
    } else {
      out += "&#" + std::to_string(c) + ";";
    }
  }
  return out;
}

std::string StressColour(double stress, double range) {
  double t = range > 0.0 ? stress / range : 0.0;
  t = std::clamp(t, -1.0, 1.0);
  const std::array<int, 3>& end = t < 0.0 ? kCompressionRgb : kTensionRgb;
  const double w = std::fabs(t);
  static const char kHex[] = "0123456789abcdef";
  std::string colour = "#";
  for (int k = 0; k < 3; ++k) {
    const int c = static_cast<int>(std::lround(kZeroRgb[k] + (end[k] - kZeroRgb[k]) * w));
    colour += kHex[c / 16];
    colour += kHex[c % 16];
  }
  return colour;
}

std::string WriteSvg(const PlotFile& file, const PictureOptions& options) {
  Scene scene = Gather(file, options);
  std::vector<Point2> extent;
  for (const NodeShape& node : scene.nodes) {
    if (!node.placed) continue;
    extent.push_back(Project(options.view, node.at));
    if (scene.deformedShown && node.moved) extent.push_back(Project(options.view, node.deformed));
  }
  SvgBuilder body;
  const double top = DrawHeader(file, scene, options, body);
  const Placement placement(options.view, extent, top);
  for (NodeShape& node : scene.nodes) {
    if (node.placed) node.screen = placement.At(node.at);
    if (node.moved) node.deformedScreen = placement.At(node.deformed);
  }

  body.Raw("<g class=\"structure\" stroke-linecap=\"round\">\n");
  DrawMembers(scene, body);
  DrawSupports(file, scene, placement, body);
  DrawLoads(file, scene, placement, options, body);
  DrawNodeNumbers(file, scene, body);
  body.Raw("</g>\n");
  DrawAxes(placement, body);
  const double legendHeight = DrawLegend(scene, top, body);
  const double notesHeight = DrawNotes(scene, top + placement.plotHeight(), body);
  const double height = std::ceil(top + std::max(placement.plotHeight() + notesHeight, legendHeight) + 10.0);

  SvgBuilder svg;
  svg.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  svg.Raw("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Coord(kPageWidth) + "\" height=\"" +
          Coord(height) + "\" viewBox=\"0 0 " + Coord(kPageWidth) + " " + Coord(height) +
          "\" font-family=\"Helvetica, Arial, sans-serif\">\n");
  svg.Open("title");
  svg.CloseStart();
  svg.Text(file.title);
  svg.End("title");
  DrawDefinitions(svg);
  svg.Raw("<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n");
  svg.Raw(body.Take());
  svg.Raw("</svg>\n");
  return svg.Take();
}

}  // namespace trussplot
