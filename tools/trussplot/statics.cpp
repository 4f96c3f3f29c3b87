// Member forces, reactions and equilibrium worked out from the stresses and loads of a plot file.
#include "tools/trussplot/statics.h"

#include <algorithm>
#include <cmath>

namespace trussplot {

namespace {

std::optional<Vec3> NodePosition(const PlotFile& file, int K) {
  if (K < 1 || static_cast<std::size_t>(K) > file.nodes.size()) return std::nullopt;
  return AllOf(file.nodes[static_cast<std::size_t>(K) - 1].coordinate);
}

MemberResult ReadMember(const PlotFile& file, const PlotMember& member) {
  MemberResult result;
  result.K = member.K;
  result.NODE = {member.NODE[0].value_or(0), member.NODE[1].value_or(0)};
  const auto a = NodePosition(file, result.NODE[0]);
  const auto b = NodePosition(file, result.NODE[1]);
  if (a && b) {
    const Vec3 d{(*b)[0] - (*a)[0], (*b)[1] - (*a)[1], (*b)[2] - (*a)[2]};
    result.length = Length(d);
    const double L = *result.length;
    if (L > 0.0) result.direction = Vec3{d[0] / L, d[1] / L, d[2] / L};
  }
  if (member.hasStress && member.stress) {
    result.stress = member.stress;
    if (member.A) result.force = *member.stress * *member.A;
  }
  return result;
}

// The largest total displacement and displacement component of the model and where they are.
void FindLargestDisplacement(const PlotFile& file, Statics& statics) {
  statics.displacementsKnown = HasDisplacements(file);
  for (const PlotNode& node : file.nodes) {
    Vec3 vector{};
    for (int j = 0; j < 3; ++j) {
      double& d = vector[static_cast<std::size_t>(j)];
      d = node.displacement[static_cast<std::size_t>(j)].value_or(0.0);
      if (std::fabs(d) > std::fabs(statics.largestDisplacement)) {
        statics.largestDisplacement = d;
        statics.displacementNode = node.K;
        statics.displacementAxis = j;
      }
    }
    if (Length(vector) > statics.largestMovement) {
      statics.largestMovement = Length(vector);
      statics.movementNode = node.K;
    }
  }
}

// Subtle: the reaction is what the support must add for the node to balance: minus the sum of
// the load and the member forces on the node (a tension member pulls its end towards the other).
// Summed over all nodes the member forces cancel, so the loads plus the reactions leave exactly
// the out-of-balance forces of the free directions.
void BalanceNodes(const PlotFile& file, Statics& statics) {
  std::vector<Vec3> pull(file.nodes.size(), Vec3{});
  for (const MemberResult& m : statics.members) {
    for (std::size_t end = 0; end < 2; ++end) {
      const double sign = end == 0 ? 1.0 : -1.0;
      Vec3& sum = pull[static_cast<std::size_t>(m.NODE[end]) - 1];
      for (std::size_t j = 0; j < 3; ++j) sum[j] += sign * *m.force * (*m.direction)[j];
    }
  }
  const std::optional<View> plane = CommonPlane(file);
  if (plane) statics.omittedAxis = NormalAxis(*plane);
  for (std::size_t i = 0; i < file.nodes.size(); ++i) {
    const PlotNode& node = file.nodes[i];
    const Vec3 load = *AllOf(node.load);
    double imbalance = 0.0;
    for (std::size_t j = 0; j < 3; ++j) {
      const double sum = load[j] + pull[i][j];
      statics.loadSum[j] += load[j];
      if (node.IFIX[j] == 1) {
        statics.reactions.push_back({node.K, static_cast<int>(j), -sum});
        statics.reactionSum[j] -= sum;
      } else {
        imbalance += sum * sum;
      }
    }
    if (std::sqrt(imbalance) > statics.largestImbalance) {
      statics.largestImbalance = std::sqrt(imbalance);
      statics.imbalanceNode = node.K;
    }
  }
  // A plane model's members have no component along the normal; unless a load has one, those
  // reactions are all zero and only fill the lists.
  const auto alongNormal = [&](const Reaction& r) { return statics.omittedAxis == r.axis; };
  const bool normalLoaded = std::any_of(statics.reactions.begin(), statics.reactions.end(),
                                        [&](const Reaction& r) { return alongNormal(r) && r.value != 0.0; });
  if (normalLoaded) {
    statics.omittedAxis.reset();
  } else {
    std::erase_if(statics.reactions, alongNormal);
  }
}

}  // namespace

std::optional<Vec3> AllOf(const std::array<Real, 3>& values) {
  if (!values[0] || !values[1] || !values[2]) return std::nullopt;
  return Vec3{*values[0], *values[1], *values[2]};
}

double Length(const Vec3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

std::optional<View> CommonPlane(const PlotFile& file) {
  std::vector<Vec3> points;
  for (const PlotNode& node : file.nodes) {
    if (const auto p = AllOf(node.coordinate)) points.push_back(*p);
  }
  if (points.empty()) return std::nullopt;
  const auto flat = [&](std::size_t axis) {
    return std::all_of(points.begin(), points.end(), [&](const Vec3& p) { return p[axis] == points[0][axis]; });
  };
  if (flat(2)) return View::kXY;
  if (flat(1)) return View::kXZ;
  if (flat(0)) return View::kYZ;
  return std::nullopt;
}

std::optional<int> NormalAxis(View view) {
  switch (view) {
    case View::kXY: return 2;
    case View::kXZ: return 1;
    case View::kYZ: return 0;
    case View::kIso: break;
  }
  return std::nullopt;
}

bool IsZeroForce(double stress, double largestStress) {
  return stress == 0.0 || std::fabs(stress) < kRoundOffShare * largestStress;
}

bool IsZeroReaction(double reaction, double largestForce) {
  return std::fabs(reaction) < kRoundOffShare * largestForce;
}

Statics ComputeStatics(const PlotFile& file) {
  Statics statics;
  bool complete = HasDisplacements(file) && file.end == FileEnd::kComplete;
  for (std::size_t i = 0; i < file.members.size(); ++i) {
    if (!IsAnalysedMember(file, i)) continue;
    const MemberResult m = ReadMember(file, file.members[i]);
    if (m.stress) statics.largestStress = std::max(statics.largestStress, std::fabs(*m.stress));
    if (m.force) statics.largestForce = std::max(statics.largestForce, std::fabs(*m.force));
    // A direction means both end nodes are in the model and apart.
    complete = complete && m.force && m.direction;
    statics.members.push_back(m);
  }
  for (const PlotNode& node : file.nodes) {
    // A fixity code written as "*" is not 1: that direction is free, and it needs no reaction.
    complete = complete && AllOf(node.load);
  }
  for (MemberResult& m : statics.members) m.zeroForce = m.stress && IsZeroForce(*m.stress, statics.largestStress);
  FindLargestDisplacement(file, statics);
  statics.forcesKnown = complete;
  if (complete) BalanceNodes(file, statics);
  return statics;
}

}  // namespace trussplot
