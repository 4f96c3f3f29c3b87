#include "tools/trussplot/svg_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <vector>

#include "tools/trussplot/labels.h"
#include "tools/trussplot/scene.h"

namespace trussplot {

namespace {

constexpr double kTextWidth = kPageWidth - 2.0 * kPlotLeft;  // the width of the header lines
constexpr double kNoteWidth = kPlotWidth;                      // notes stay left of the legend
constexpr double kTitleSize = 16.0;                            // font size of the title
constexpr double kLongestArrow = 60.0;   // the arrow of the largest load, at most
constexpr double kLeastLongestArrow = 28.0;  // the arrow of the largest load, at least
constexpr double kShortestArrow = 16.0;  // the least length of an arrow, its head included
constexpr double kSupportSize = 12.0;    // depth of a support triangle
constexpr double kHeadSize = 5.0;        // half the side of the square an arrowhead takes
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
constexpr std::string_view kReactionColour = "#762a83";
constexpr std::string_view kCompressionDash = "8 4";
constexpr std::string_view kMissingStressDash = "2 3";

void ArrowMarker(std::string_view id, std::string_view colour, SvgBuilder& svg) {
  svg.Raw("<marker id=\"" + std::string(id) + "\" viewBox=\"0 0 10 10\" refX=\"10\" refY=\"5\" markerWidth=\"5.5\" "
          "markerHeight=\"5.5\" orient=\"auto\"><path d=\"M0,0 L10,5 L0,10 z\" fill=\"" + std::string(colour) +
          "\"/></marker>\n");
}

void DrawDefinitions(SvgBuilder& svg) {
  svg.Raw("<defs>\n");
  ArrowMarker("arrow", kLoadColour, svg);
  ArrowMarker("reaction-arrow", kReactionColour, svg);
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
  std::vector<std::string> sentences = {Capitalised(DescribeView(scene.view)) + "."};
  if (!options.view && scene.inModelPlane) {
    sentences.back() += " The model lies in this plane.";
  }
  const std::string up = std::string("Up is ") + kAxisNames[scene.view.up];
  switch (scene.upSource) {
    case UpSource::kAsked: sentences.back() += " " + up + " (as asked)."; break;
    case UpSource::kLoads: sentences.back() += " " + up + ", the axis the loads act along."; break;
    case UpSource::kNoLoads: sentences.back() += " " + up + ": the loads have no resultant."; break;
    case UpSource::kNoAxis: sentences.back() += " " + up + ": the loads act along no one axis."; break;
  }
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
      const bool zero = IsZeroForce(stress, scene.statics.largestStress);
      colour = StressColour(zero ? 0.0 : stress, scene.stressRange);
      dash = stress < 0.0 && !zero ? kCompressionDash : std::string_view();
      tooltip += "stress " + Value(stress) + (zero ? " (zero force)" : stress < 0.0 ? " (compression)" : " (tension)");
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
    for (std::size_t j = 0; j < 3; ++j) {
      // A plane model drawn in its plane is held along the line of sight at every node; those
      // fixities carry nothing and are not supports.
      const bool alongNormal = scene.inModelPlane && NormalAxis(scene.view.view) == static_cast<int>(j);
      if (file.nodes[i].IFIX[j] != 1 || alongNormal) continue;
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

// Opens the line element of an arrow from `tail` to `tip`, its head the marker `marker`; the
// caller closes it.
void OpenArrow(Screen tail, Screen tip, std::string_view cls, std::string_view colour, std::string_view marker,
               SvgBuilder& svg) {
  svg.Open("line");
  if (!cls.empty()) svg.Attribute("class", cls);
  svg.Attribute("x1", tail.x);
  svg.Attribute("y1", tail.y);
  svg.Attribute("x2", tip.x);
  svg.Attribute("y2", tip.y);
  svg.Attribute("stroke", colour);
  svg.Attribute("stroke-width", 1.8);
  svg.Attribute("marker-end", "url(#" + std::string(marker) + ")");
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

// A force of the model split as the view shows it: the part in the picture plane, drawn as an
// arrow, and the part along the line of sight, drawn as a mark. The isometric view has no plane
// of its own: a force is all arrow unless it points nearly at the viewer.
struct ForceParts {
  Vec3 inPlane{};
  double towardViewer = 0.0;
};

ForceParts Split(Viewpoint view, const Vec3& force) {
  ForceParts parts{force, 0.0};
  if (const std::optional<int> normal = NormalAxis(view.view)) {
    const std::size_t n = static_cast<std::size_t>(*normal);
    Vec3 along{0.0, 0.0, 0.0};
    along[n] = force[n];
    parts.inPlane[n] = 0.0;
    parts.towardViewer = TowardViewer(view, along);
  } else if (const Point2 p = Project(view, force); std::hypot(p.x, p.y) < 0.2 * Length(force)) {
    parts = {{0.0, 0.0, 0.0}, TowardViewer(view, force)};
  }
  return parts;
}

// How forces of one kind are drawn.
struct ForceStyle {
  std::string_view cls;       // "load" or "reaction"
  std::string_view colour;
  std::string_view marker;    // the arrowhead
  double largest = 0.0;       // the force drawn longest
  double markRadius = 6.0;
};

// The mark of a force along the line of sight: a dot in a circle when it points at the viewer, a
// cross in a circle when it points away.
void Mark(Screen at, double r, bool towardViewer, std::string_view colour, SvgBuilder& svg) {
  svg.Raw("<circle cx=\"" + Coord(at.x) + "\" cy=\"" + Coord(at.y) + "\" r=\"" + Coord(r) +
          "\" fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\"/>");
  if (towardViewer) {
    // Larger than a node's dot, drawn over it, so that the dot shows as a rim of the colour.
    svg.Raw("<circle cx=\"" + Coord(at.x) + "\" cy=\"" + Coord(at.y) + "\" r=\"" + Coord(0.45 * r) + "\" fill=\"" +
            std::string(colour) + "\"/>");
    return;
  }
  const double c = r * 0.7;
  svg.Line({at.x - c, at.y - c}, {at.x + c, at.y + c}, {}, colour, 1.5);
  svg.Line({at.x - c, at.y + c}, {at.x + c, at.y - c}, {}, colour, 1.5);
}

// Draws a force on its node by its parts, each pushing on the node: the arrow's head at the node
// (`gap` short of it), the mark on the node, a dot in a circle when it points at the viewer and a
// cross when it points away. Each part's value goes to `values`.
void DrawForce(const Scene& scene, const Placement& placement, Screen node, const Vec3& force, double gap,
               const ForceStyle& style, const std::string& tooltip, std::vector<ForceValue>& values,
               SvgBuilder& svg) {
  const ForceParts parts = Split(scene.view, force);
  const Screen d = placement.Direction(parts.inPlane);
  const double projected = std::hypot(d.x, d.y);
  if (Length(parts.inPlane) > 0.0 && projected > 0.0) {
    const Screen u{d.x / projected, d.y / projected};
    const double length = std::max(LongestArrow(scene) * Length(parts.inPlane) / style.largest, kShortestArrow);
    const Screen tip{node.x - u.x * gap, node.y - u.y * gap};
    const Screen tail{tip.x - u.x * length, tip.y - u.y * length};
    OpenArrow(tail, tip, style.cls, style.colour, style.marker, svg);
    svg.CloseStart();
    svg.Tooltip(tooltip);
    svg.End("line");
    values.push_back({tail, {-u.x, -u.y}, Value(Length(parts.inPlane)),
                      style.cls == "load" ? "load-value" : "reaction-value", style.colour, false,
                      {tip.x - kHeadSize, tip.y - kHeadSize, tip.x + kHeadSize, tip.y + kHeadSize}});
  }
  if (parts.towardViewer == 0.0) return;
  const double r = style.markRadius;
  svg.Open("g");
  svg.Attribute("class", style.cls);
  svg.CloseStart();
  svg.Tooltip(tooltip);
  Mark(node, r, parts.towardViewer > 0.0, style.colour, svg);
  svg.End("g");
  values.push_back({{node.x + r * 0.7, node.y + r * 0.7}, {0.7071, 0.7071}, Value(std::fabs(parts.towardViewer)),
                    style.cls == "load" ? "load-value" : "reaction-value", style.colour, true,
                    {node.x - r, node.y - r, node.x + r, node.y + r}});
}

void DrawLoads(const PlotFile& file, const Scene& scene, const Placement& placement, std::vector<ForceValue>& values,
               SvgBuilder& svg) {
  const ForceStyle style{"load", kLoadColour, "arrow", scene.largestLoad, 6.0};
  svg.Raw("<g class=\"loads\">\n");
  for (std::size_t i = 0; i < file.nodes.size(); ++i) {
    const auto load = AllOf(file.nodes[i].load);
    if (!scene.nodes[i].placed || !load || Length(*load) == 0.0) continue;
    const std::string tooltip = "load at node " + std::to_string(file.nodes[i].K) + ": " + Value((*load)[0]) +
                                ", " + Value((*load)[1]) + ", " + Value((*load)[2]);
    DrawForce(scene, placement, scene.nodes[i].screen, *load, 0.0, style, tooltip, values, svg);
  }
  svg.Raw("</g>\n");
}

// The reaction of each fixed direction that carries a force, by the same rule as a load; an
// arrow that comes from the support's side ends at the base of its wedge.
void DrawReactions(const Scene& scene, const Placement& placement, std::vector<ForceValue>& values, SvgBuilder& svg) {
  if (scene.largestReaction == 0.0) return;
  const ForceStyle style{"reaction", kReactionColour, "reaction-arrow", scene.largestReaction, 9.0};
  svg.Raw("<g class=\"reactions\">\n");
  for (const Reaction& r : scene.statics.reactions) {
    const NodeShape& node = scene.nodes[static_cast<std::size_t>(r.node) - 1];
    if (!node.placed || IsZeroReaction(r.value, scene.statics.largestForce)) continue;
    Vec3 force{0.0, 0.0, 0.0};
    force[static_cast<std::size_t>(r.axis)] = r.value;
    const double gap = r.value > 0.0 ? kSupportSize + 3.0 : 3.0;
    DrawForce(scene, placement, node.screen, force, gap, style,
              "reaction at node " + std::to_string(r.node) + ", " + kAxisNames[r.axis] + ": " + Value(r.value, 5),
              values, svg);
  }
  svg.Raw("</g>\n");
}

void DrawAxes(const Placement& placement, SvgBuilder& svg) {
  const Screen origin = placement.AxesOrigin();
  svg.Raw("<g class=\"axes\" font-size=\"11\" fill=\"#444444\">\n");
  for (std::size_t j = 0; j < 3; ++j) {
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
double DrawLegend(const Scene& scene, double top, bool marks, SvgBuilder& svg) {
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
    y += 18.0;
    svg.Line({x, y}, {x + 36.0, y}, {}, StressColour(0.0, 1.0), DeformedWidth(scene));
    svg.Label({x + 44.0, y + 4.0}, "deformed: zero force", 12.0);
    y += 20.0;
    svg.Label({x, y + 4.0}, "displacements \xc3\x97 " + Number(scene.scale, 6), 12.0);
    y += 16.0;
    if (scene.largestDisplacementNode != 0) {
      svg.Label({x, y + 4.0}, "largest total movement:", 12.0);
      y += 16.0;
      svg.Label({x, y + 4.0},
                Value(scene.largestDisplacement) + " at node " + std::to_string(scene.largestDisplacementNode), 12.0);
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
    OpenArrow({x, y}, {x + 36.0, y}, {}, kLoadColour, "arrow", svg);
    svg.CloseEmpty();
    svg.Label({x + 44.0, y + 4.0}, "load (largest " + Value(scene.largestLoad) + ")", 12.0);
    y += 22.0;
  }
  if (scene.largestReaction > 0.0) {
    OpenArrow({x, y}, {x + 36.0, y}, {}, kReactionColour, "reaction-arrow", svg);
    svg.CloseEmpty();
    svg.Label({x + 44.0, y + 4.0}, "reaction (largest " + Value(scene.largestReaction) + ")", 12.0);
    y += 22.0;
  }
  if (marks) {
    Mark({x + 10.0, y}, 6.0, true, "#444444", svg);
    Mark({x + 26.0, y}, 6.0, false, "#444444", svg);
    svg.Label({x + 44.0, y + 4.0}, "force towards / away from you", 12.0);
    y += 22.0;
  }
  svg.Polygon({{x + 18.0, y}, {x + 18.0 - kSupportSize, y - 5.4}, {x + 18.0 - kSupportSize, y + 5.4}}, "legend-support",
              kSupportColour);
  svg.Label({x + 44.0, y + 4.0}, "support: fixed direction", 12.0);
  y += 22.0;
  svg.Label({x + 8.0, y + 4.0}, "7", 11.0);
  svg.Label({x + 44.0, y + 4.0}, "node number", 12.0);
  y += 20.0;
  MemberNumber({x + 3.0, y - 6.5, x + 17.0, y + 5.5}, "4", {}, svg);
  svg.Label({x + 44.0, y + 4.0}, "member number", 12.0);
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

}  // namespace

std::string StressColour(double stress, double range) {
  double t = range > 0.0 ? stress / range : 0.0;
  t = std::clamp(t, -1.0, 1.0);
  const std::array<int, 3>& end = t < 0.0 ? kCompressionRgb : kTensionRgb;
  const double w = std::fabs(t);
  static const char kHex[] = "0123456789abcdef";
  std::string colour = "#";
  for (std::size_t k = 0; k < 3; ++k) {
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
    extent.push_back(Project(scene.view, node.at));
    if (scene.deformedShown && node.moved) extent.push_back(Project(scene.view, node.deformed));
  }
  SvgBuilder body;
  const double top = DrawHeader(file, scene, options, body);
  const Placement placement(scene.view, extent, top);
  for (NodeShape& node : scene.nodes) {
    if (node.placed) node.screen = placement.At(node.at);
    if (node.moved) node.deformedScreen = placement.At(node.deformed);
  }

  body.Raw("<g class=\"structure\" stroke-linecap=\"round\">\n");
  DrawMembers(scene, body);
  DrawSupports(file, scene, placement, body);
  std::vector<ForceValue> values;
  DrawReactions(scene, placement, values, body);
  DrawLoads(file, scene, placement, values, body);
  // Labels beyond the arrows at the bottom of the drawing push the notes down.
  const double drawingHeight =
      std::max(placement.plotHeight(), DrawLabels(file, scene, placement, values, options.values, body) - top);
  body.Raw("</g>\n");
  DrawAxes(placement, body);
  const bool marks = std::any_of(values.begin(), values.end(), [](const ForceValue& v) { return v.mark; });
  const double legendHeight = DrawLegend(scene, top, marks, body);
  const double notesHeight = DrawNotes(scene, top + drawingHeight, body);
  const double height = std::ceil(top + std::max(drawingHeight + notesHeight, legendHeight) + 10.0);

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
