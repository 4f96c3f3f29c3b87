// The labels of the picture: node numbers, member numbers and values, each at the first place
// near its anchor that no label placed before and no node's dot takes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/trussplot/scene.h"
#include "tools/trussplot/svg_text.h"

namespace trussplot {

// A box on the page, in picture units.
struct Box {
  double left = 0.0;
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
  // True when the two boxes share more than an edge.
  bool Overlaps(const Box& o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
};

// The box of a text written from `baseline` (its left end) in `size`: from the ascent of the
// capitals to below the commas, as wide as TextWidth.
Box TextBox(Screen baseline, std::string_view text, double size);

// The labels placed so far and the boxes they must keep clear of.
class LabelLayout {
 public:
  // Keeps every label placed after out of `box` (a node's dot, the legend).
  void Block(const Box& box) {
    taken_.push_back(box);
    blocked_ = taken_.size();
  }

  // The bottom of the lowest label placed; 0 for none.
  double Bottom() const;

  // Places a box of `width` x `height` centred at the first free one of `centres`, else at the
  // nearest free place around `anchor`, first towards `away` (a direction in picture units);
  // the box is taken from then on.
  Box Place(const std::vector<Screen>& centres, double width, double height, Screen anchor, Screen away);

 private:
  bool Free(const Box& box) const;
  std::vector<Box> taken_;
  std::size_t blocked_ = 0;  // the boxes blocked come first
};

// The value of a load or reaction, written near the tail of its arrow or beside its mark.
struct ForceValue {
  Screen anchor;           // the tail of the arrow, or the node of a mark
  Screen away;             // the direction the label prefers, from the anchor
  std::string text;
  std::string_view cls;    // "load-value" or "reaction-value"
  std::string_view colour;
  bool mark = false;       // the part along the line of sight
  Box symbol;              // the arrowhead or the mark, which no label covers
};

// The colour of the member numbers.
constexpr std::string_view kMemberNumberColour = "#2d4a6b";

// A member number in its box, on a nearly opaque white ground so that it reads over the lines.
void MemberNumber(const Box& box, std::string_view number, std::string_view cls, SvgBuilder& svg);

// Draws the node numbers (one label for the nodes on one point), the member numbers (none for a
// member seen end on) and, with `values`, the force values and each member's force with T or C,
// so that no label covers another, a node's dot or a force's arrowhead or mark. Labels stay in
// the drawing area of `placement` or below it. Returns the bottom of the lowest label.
double DrawLabels(const PlotFile& file, const Scene& scene, const Placement& placement,
                  const std::vector<ForceValue>& forces, bool values, SvgBuilder& svg);

}  // namespace trussplot
