// Laying out the labels of the picture and writing them where they found room.
#include "tools/trussplot/labels.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace trussplot {

namespace {

constexpr double kGap = 2.0;            // the least room between a label and its anchor
constexpr double kRingStep = 4.0;       // how much further each ring of places lies
constexpr int kRings = 60;              // rings tried before a label gives up its room
constexpr int kDirections = 16;         // places tried on each ring
const double kPi = std::acos(-1.0);

constexpr double kNodeNumberSize = 11.0;
constexpr double kValueSize = 10.0;
constexpr double kMemberNumberSize = 9.0;
constexpr double kMemberBoxHeight = 12.0;
constexpr double kDotClearance = 2.5;   // half the side of the square a node's dot keeps free
constexpr double kEndOn = 1.0;          // a member drawn shorter than this is seen end on
// A white edge around the letters of a value, so that it reads over the lines it lies on.
constexpr std::string_view kHalo = " stroke=\"#ffffff\" stroke-width=\"3\" paint-order=\"stroke\"";

Box Centred(Screen c, double width, double height) {
  return {c.x - width / 2.0, c.y - height / 2.0, c.x + width / 2.0, c.y + height / 2.0};
}

Screen Centre(const Box& b) { return {(b.left + b.right) / 2.0, (b.top + b.bottom) / 2.0}; }

// A text placed in the layout near `anchor`, written where its box went.
void PlaceText(LabelLayout& layout, const std::vector<Screen>& centres, Screen anchor, Screen away,
               std::string_view text, double size, std::string_view extra, std::string_view cls, SvgBuilder& svg) {
  const Box shape = TextBox({0.0, 0.0}, text, size);
  const Box box = layout.Place(centres, shape.right - shape.left, shape.bottom - shape.top, anchor, away);
  svg.Label({box.left, box.top - shape.top}, text, size, extra, cls);
}

// The nodes drawn on each point of the picture, as their numbers joined by commas.
std::vector<std::pair<Screen, std::string>> NodeGroups(const PlotFile& file, const Scene& scene) {
  std::map<std::pair<long long, long long>, std::size_t> at;
  std::vector<std::pair<Screen, std::string>> groups;
  for (std::size_t i = 0; i < file.nodes.size(); ++i) {
    if (!scene.nodes[i].placed) continue;
    const Screen p = scene.nodes[i].screen;
    const auto key = std::pair(std::llround(p.x * 2.0), std::llround(p.y * 2.0));
    const std::string number = std::to_string(file.nodes[i].K);
    if (const auto found = at.find(key); found != at.end()) {
      groups[found->second].second += "," + number;
    } else {
      at.emplace(key, groups.size());
      groups.emplace_back(p, number);
    }
  }
  return groups;
}

// The force of each analysed member, by member number, as "12.5 T", "3 C" or "0".
std::map<int, std::string> MemberForces(const Statics& statics) {
  std::map<int, std::string> forces;
  for (const MemberResult& m : statics.members) {
    if (!m.force || !m.stress) continue;
    forces[m.K] = m.zeroForce ? "0"
                  : Value(std::fabs(*m.force)) + (*m.stress > 0.0 ? " T" : " C");
  }
  return forces;
}

}  // namespace

Box TextBox(Screen baseline, std::string_view text, double size) {
  return {baseline.x, baseline.y - 0.78 * size, baseline.x + TextWidth(text, size, false), baseline.y + 0.24 * size};
}

bool LabelLayout::Free(const Box& box) const {
  return std::none_of(taken_.begin(), taken_.end(), [&](const Box& o) { return o.Overlaps(box); });
}

double LabelLayout::Bottom() const {
  double bottom = 0.0;
  for (std::size_t i = blocked_; i < taken_.size(); ++i) bottom = std::max(bottom, taken_[i].bottom);
  return bottom;
}

Box LabelLayout::Place(const std::vector<Screen>& centres, double width, double height, Screen anchor, Screen away) {
  for (const Screen& c : centres) {
    if (const Box box = Centred(c, width, height); Free(box)) return taken_.emplace_back(box);
  }
  const double start = std::atan2(away.y, away.x);
  for (int ring = 0; ring < kRings; ++ring) {
    const double reach = kGap + kRingStep * ring;
    for (int k = 0; k < kDirections; ++k) {
      // Turns alternately either way from the preferred direction.
      const double angle = start + (k % 2 == 0 ? 1.0 : -1.0) * ((k + 1) / 2) * 2.0 * kPi / kDirections;
      const double dx = std::cos(angle), dy = std::sin(angle);
      // Far enough along the direction that the box clears the anchor by `reach`.
      const double clear =
          std::min(width / 2.0 / std::max(std::fabs(dx), 1e-9), height / 2.0 / std::max(std::fabs(dy), 1e-9));
      const Box box = Centred({anchor.x + dx * (clear + reach), anchor.y + dy * (clear + reach)}, width, height);
      if (Free(box)) return taken_.emplace_back(box);
    }
  }
  return taken_.emplace_back(Centred(anchor, width, height));
}

void MemberNumber(const Box& box, std::string_view number, std::string_view cls, SvgBuilder& svg) {
  svg.Raw("<rect" + std::string(cls.empty() ? "" : " class=\"member-box\"") + " x=\"" + Coord(box.left) + "\" y=\"" +
          Coord(box.top) + "\" width=\"" + Coord(box.right - box.left) + "\" height=\"" + Coord(box.bottom - box.top) +
          "\" fill=\"#ffffff\" fill-opacity=\"0.85\" stroke=\"" + std::string(kMemberNumberColour) +
          "\" stroke-width=\"0.6\"/>");
  svg.Label({(box.left + box.right) / 2.0, box.top + 9.7}, number, kMemberNumberSize,
            "text-anchor=\"middle\" fill=\"" + std::string(kMemberNumberColour) + "\"", cls);
}

double DrawLabels(const PlotFile& file, const Scene& scene, const Placement& placement,
                  const std::vector<ForceValue>& forces, bool values, SvgBuilder& svg) {
  // Labels keep to the drawing area: below the header, right of the page's edge, left of the
  // legend, clear of the axis cross.
  LabelLayout layout;
  layout.Block({kLegendLeft - 4.0, -1e9, 1e9, 1e9});
  layout.Block({-1e9, -1e9, 1e9, placement.top()});
  layout.Block({-1e9, -1e9, 2.0, 1e9});
  const Screen axes = placement.AxesOrigin();
  layout.Block({axes.x - 8.0, axes.y - 36.0, axes.x + 40.0, axes.y + 36.0});
  for (const NodeShape& node : scene.nodes) {
    if (!node.placed) continue;
    const Screen p = node.screen;
    layout.Block({p.x - kDotClearance, p.y - kDotClearance, p.x + kDotClearance, p.y + kDotClearance});
  }
  for (const ForceValue& f : forces) layout.Block(f.symbol);
  // Node numbers first, up and to the right of their dots where there is room.
  svg.Raw("<g class=\"node-numbers\" fill=\"#222222\"" + std::string(kHalo) + ">\n");
  for (const auto& [p, text] : NodeGroups(file, scene)) {
    svg.Raw("<circle class=\"node\" cx=\"" + Coord(p.x) + "\" cy=\"" + Coord(p.y) + "\" r=\"2\" stroke=\"none\"/>");
    const Box b = TextBox({0.0, 0.0}, text, kNodeNumberSize);
    const double w = (b.right - b.left) / 2.0 + 4.0, h = (b.bottom - b.top) / 2.0 + 3.0;
    PlaceText(layout, {{p.x + w, p.y - h}, {p.x - w, p.y - h}, {p.x + w, p.y + h}, {p.x - w, p.y + h}}, p, {1.0, -1.0},
              text, kNodeNumberSize, {}, "node-number", svg);
  }
  svg.Raw("</g>\n");
  // Member numbers along their members, the midpoint first, each with its force right of its box.
  constexpr double kAlong[] = {0.5, 0.38, 0.62, 0.28, 0.72};
  const std::map<int, std::string> memberForces = values ? MemberForces(scene.statics) : std::map<int, std::string>();
  svg.Raw("<g class=\"member-numbers\">\n");
  for (const MemberShape& m : scene.members) {
    const Screen a = scene.nodes[m.end1].screen;
    const Screen b = scene.nodes[m.end2].screen;
    if (std::hypot(b.x - a.x, b.y - a.y) < kEndOn) continue;  // seen end on: its tooltip names it
    const std::string number = std::to_string(m.member->K);
    const auto force = memberForces.find(m.member->K);
    const std::string value = force == memberForces.end() ? std::string() : force->second;
    const double numberWidth = TextWidth(number, kMemberNumberSize, false) + 4.0;
    const double valueWidth = value.empty() ? 0.0 : TextWidth(value, kValueSize, false) + 1.0;
    std::vector<Screen> centres;
    for (const double t : kAlong) centres.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
    const Box box = layout.Place(centres, numberWidth + valueWidth, kMemberBoxHeight, centres.front(),
                                 {a.y - b.y, b.x - a.x});
    MemberNumber({box.left, box.top, box.left + numberWidth, box.bottom}, number, "member-number", svg);
    if (value.empty()) continue;
    // The text's box, 0.78 of its size above the baseline and 0.24 below, centred in the label's.
    svg.Label({box.left + numberWidth + 1.0, Centre(box).y + 0.27 * kValueSize}, value, kValueSize,
              "fill=\"" + std::string(kMemberNumberColour) + "\"" + std::string(kHalo), "member-value");
  }
  svg.Raw("</g>\n");
  if (!values) return layout.Bottom();
  // Values of the forces last, where the numbers left room.
  svg.Raw("<g class=\"values\"" + std::string(kHalo) + ">\n");
  for (const ForceValue& f : forces) {
    PlaceText(layout, {}, f.anchor, f.away, f.text, kValueSize, "fill=\"" + std::string(f.colour) + "\"", f.cls, svg);
  }
  svg.Raw("</g>\n");
  return layout.Bottom();
}

}  // namespace trussplot
