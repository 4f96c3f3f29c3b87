// Placing the model on the page and gathering what the picture shows from the plot file.
#include "tools/trussplot/scene.h"

#include <algorithm>
#include <cmath>

namespace trussplot {

namespace {


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
    for (std::size_t j = 0; j < 3; ++j) {
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
      } else if (!scene.nodes[static_cast<std::size_t>(end - 1)].placed) {
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
    for (std::size_t j = 0; j < 3; ++j) {
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

}  // namespace

Placement::Placement(Viewpoint viewpoint, const std::vector<Point2>& points, double top)
    : viewpoint_(viewpoint), top_(top) {
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

Screen Placement::At(const Vec3& p) const {
  const Point2 q = Project(viewpoint_, p);
  return {kPlotLeft + kPlotWidth / 2.0 + (q.x - centreX_) * unit_,
          top_ + plotHeight_ / 2.0 - (q.y - centreY_) * unit_};
}

std::pair<int, UpSource> LoadAxis(const PlotFile& file) {
  Vec3 resultant{0.0, 0.0, 0.0};
  for (const PlotNode& node : file.nodes) {
    if (const auto load = AllOf(node.load)) {
      for (std::size_t j = 0; j < 3; ++j) resultant[j] += (*load)[j];
    }
  }
  const double length = Length(resultant);
  if (!(length > 0.0) || !std::isfinite(length)) return {2, UpSource::kNoLoads};
  for (std::size_t j = 0; j < 3; ++j) {
    if (std::fabs(resultant[j]) > length / std::sqrt(2.0)) return {static_cast<int>(j), UpSource::kLoads};
  }
  return {2, UpSource::kNoAxis};
}

Scene Gather(const PlotFile& file, const PictureOptions& options) {
  Scene scene;
  const std::optional<View> plane = CommonPlane(file);
  const auto [up, source] = options.up ? std::pair(*options.up, UpSource::kAsked) : LoadAxis(file);
  scene.view = Viewpoint(options.view.value_or(plane.value_or(View::kIso)), up);
  scene.upSource = source;
  scene.inModelPlane = plane == scene.view.view;
  GatherNodes(file, scene);
  GatherMembers(file, scene);
  ApplyScale(options, scene);
  GatherLoads(file, scene);
  scene.statics = ComputeStatics(file);
  for (const Reaction& r : scene.statics.reactions) {
    scene.largestReaction = std::max(scene.largestReaction, std::fabs(r.value));
  }
  return scene;
}

}  // namespace trussplot
