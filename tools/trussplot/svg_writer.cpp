#include "tools/trussplot/svg_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <vector>

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
constexpr std::string_view kMemberNumberColour = "#2d4a6b";
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
      const bool zero = IsZeroForce(stress, scene.stressRange);
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
      if (file.nodes[i].IFIX[j] != 1 || (scene.inModelPlane && NormalAxis(scene.view) == static_cast<int>(j))) continue;
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

void DrawLoads(const PlotFile& file, const Scene& scene, const Placement& placement, SvgBuilder& svg) {
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
      OpenArrow({tip.x - arrow.x, tip.y - arrow.y}, tip, "load", kLoadColour, "arrow", svg);
    } else {
      // A load along the line of sight: a circle with a dot when it points at the viewer, with a
      // cross when it points away.
      svg.Open("g");
      svg.Attribute("class", "load");
    }
    svg.CloseStart();
    svg.Tooltip(tooltip);
    if (!endOn) {
      svg.End("line");
      continue;
    }
    const double r = 6.0;
    svg.Raw("<circle cx=\"" + Coord(tip.x) + "\" cy=\"" + Coord(tip.y) + "\" r=\"" + Coord(r) +
            "\" fill=\"none\" stroke=\"" + std::string(kLoadColour) + "\" stroke-width=\"1.5\"/>");
    if (TowardViewer(scene.view, *load) > 0.0) {
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

// One arrow per fixed direction that carries a force, on the support's side of the node beyond
// the wedge, pointing the way the support pushes; its length in proportion to the largest
// reaction.
void DrawReactions(const Scene& scene, const Placement& placement, SvgBuilder& svg) {
  if (scene.largestReaction == 0.0) return;
  const double longest = LongestArrow(scene);
  svg.Raw("<g class=\"reactions\">\n");
  for (const Reaction& r : scene.statics.reactions) {
    const NodeShape& node = scene.nodes[static_cast<std::size_t>(r.node) - 1];
    if (!node.placed || IsZeroReaction(r.value, scene.statics.largestForce)) continue;
    Vec3 axis{0.0, 0.0, 0.0};
    axis[static_cast<std::size_t>(r.axis)] = 1.0;
    const Screen d = placement.Direction(axis);
    const double projected = std::hypot(d.x, d.y);
    if (projected < 0.2) continue;  // along the line of sight: its value is in the summary
    const Screen u{d.x / projected, d.y / projected};
    const double length = std::max(longest * std::fabs(r.value) / scene.largestReaction, kShortestArrow);
    const Screen nearEnd{node.screen.x - u.x * (kSupportSize + 3.0), node.screen.y - u.y * (kSupportSize + 3.0)};
    const Screen farEnd{nearEnd.x - u.x * length, nearEnd.y - u.y * length};
    const bool pushes = r.value > 0.0;
    OpenArrow(pushes ? farEnd : nearEnd, pushes ? nearEnd : farEnd, "reaction", kReactionColour, "reaction-arrow",
              svg);
    svg.CloseStart();
    svg.Tooltip("reaction at node " + std::to_string(r.node) + ", " + kAxisNames[r.axis] + ": " + Value(r.value, 5));
    svg.End("line");
  }
  svg.Raw("</g>\n");
}

// A box the labels take on the page.
struct Box {
  double left, top, right, bottom;
  bool Overlaps(const Box& o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
};

// The box of a node number, written up and to the right of its node.
Box NodeNumberBox(Screen p, int K) {
  return {p.x + 4.0, p.y - 15.0, p.x + 6.0 + TextWidth(std::to_string(K), 11.0, false), p.y - 2.0};
}

// A member number in its box, on a nearly opaque white ground so that it reads over the lines.
void MemberNumber(const Box& box, std::string_view number, std::string_view cls, SvgBuilder& svg) {
  svg.Raw("<rect x=\"" + Coord(box.left) + "\" y=\"" + Coord(box.top) + "\" width=\"" + Coord(box.right - box.left) +
          "\" height=\"" + Coord(box.bottom - box.top) + "\" fill=\"#ffffff\" fill-opacity=\"0.85\" stroke=\"" +
          std::string(kMemberNumberColour) + "\" stroke-width=\"0.6\"/>");
  svg.Label({(box.left + box.right) / 2.0, box.top + 9.7}, number, 9.0,
            "text-anchor=\"middle\" fill=\"" + std::string(kMemberNumberColour) + "\"", cls);
}

// Member numbers in small boxes along the members, apart from the node numbers beside the nodes.
// A number goes to the midpoint unless that box is taken by a label placed before; then to the
// first free of a few places further along the member.
void DrawMemberNumbers(const PlotFile& file, const Scene& scene, SvgBuilder& svg) {
  constexpr double kAlong[] = {0.5, 0.38, 0.62, 0.28, 0.72};
  std::vector<Box> taken;
  for (std::size_t i = 0; i < file.nodes.size(); ++i) {
    if (scene.nodes[i].placed) taken.push_back(NodeNumberBox(scene.nodes[i].screen, file.nodes[i].K));
  }
  svg.Raw("<g class=\"member-numbers\">\n");
  for (const MemberShape& m : scene.members) {
    const Screen a = scene.nodes[m.end1].screen;
    const Screen b = scene.nodes[m.end2].screen;
    const std::string number = std::to_string(m.member->K);
    const double width = TextWidth(number, 9.0, false) + 4.0;
    const auto boxAt = [&](double t) {
      const Screen c{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
      return Box{c.x - width / 2.0, c.y - 6.5, c.x + width / 2.0, c.y + 5.5};
    };
    Box box = boxAt(kAlong[0]);
    for (const double t : kAlong) {
      const Box candidate = boxAt(t);
      if (std::none_of(taken.begin(), taken.end(), [&](const Box& o) { return o.Overlaps(candidate); })) {
        box = candidate;
        break;
      }
    }
    taken.push_back(box);
    MemberNumber(box, number, "member-number", svg);
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
    y += 18.0;
    svg.Line({x, y}, {x + 36.0, y}, {}, StressColour(0.0, 1.0), DeformedWidth(scene));
    svg.Label({x + 44.0, y + 4.0}, "deformed: zero force", 12.0);
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
  const View view = scene.view;
  std::vector<Point2> extent;
  for (const NodeShape& node : scene.nodes) {
    if (!node.placed) continue;
    extent.push_back(Project(view, node.at));
    if (scene.deformedShown && node.moved) extent.push_back(Project(view, node.deformed));
  }
  SvgBuilder body;
  const double top = DrawHeader(file, scene, options, body);
  const Placement placement(view, extent, top);
  for (NodeShape& node : scene.nodes) {
    if (node.placed) node.screen = placement.At(node.at);
    if (node.moved) node.deformedScreen = placement.At(node.deformed);
  }

  body.Raw("<g class=\"structure\" stroke-linecap=\"round\">\n");
  DrawMembers(scene, body);
  DrawSupports(file, scene, placement, body);
  DrawReactions(scene, placement, body);
  DrawLoads(file, scene, placement, body);
  DrawMemberNumbers(file, scene, body);
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
