// Forces, reactions and equilibrium of an analysed truss, worked out from its plot file: member
// forces from the stresses and areas, reactions from the forces and loads at the supports.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "tools/trussplot/plot_file.h"
#include "tools/trussplot/projection.h"

namespace trussplot {

// The share of the largest |stress| below which a member counts as zero force, and of the largest
// member force below which a reaction counts as zero: the run solves in single precision, so a
// member that carries nothing comes out with a few thousandths of the largest, and the stresses
// are written to five significant digits.
constexpr double kRoundOffShare = 1e-4;

// The names of the axes, by index.
constexpr char kAxisNames[] = "xyz";

// A point or direction whose three values the file holds; empty when one is missing.
std::optional<Vec3> AllOf(const std::array<Real, 3>& values);

// The length of a vector.
double Length(const Vec3& v);

// The coordinate plane holding every node whose coordinates are known: kXY when all z are
// equal, else kXZ when all y are, else kYZ when all x are; empty for a space truss.
std::optional<View> CommonPlane(const PlotFile& file);

// The axis (0, 1, 2 for x, y, z) along the line of sight of a plane view; empty for iso.
std::optional<int> NormalAxis(View view);

// True when a stress is zero force: exactly zero, or below kRoundOffShare of the largest |stress|
// of the model.
bool IsZeroForce(double stress, double largestStress);

// True when a reaction is below kRoundOffShare of the largest member force.
bool IsZeroReaction(double reaction, double largestForce);

// One analysed member with what the file tells of it.
struct MemberResult {
  int K = 0;                      // member number
  std::array<int, 2> NODE{};      // end nodes; 0 when not representable
  std::optional<double> length;   // undeformed length; empty when an end is not placed
  std::optional<double> stress;   // axial stress, tension positive
  std::optional<double> force;    // stress x A, tension positive
  std::optional<Vec3> direction;  // unit vector from the first end to the second
  bool zeroForce = false;         // its stress is zero force (IsZeroForce against the largest)
};

// The reaction of a support in one fixed direction.
struct Reaction {
  int node = 0;        // node number
  int axis = 0;        // 0, 1, 2 for x, y, z
  double value = 0.0;  // force of the support on the structure, along +axis
};

// The statics of the whole model.
struct Statics {
  std::vector<MemberResult> members;   // the analysed members, in order
  double largestStress = 0.0;          // largest |stress|
  double largestForce = 0.0;           // largest |force|
  bool forcesKnown = false;            // every member has its force and geometry, every node its load
  std::vector<Reaction> reactions;     // per fixed direction, in node order (when forcesKnown)
  std::optional<int> omittedAxis;      // the normal of a plane model, whose reactions are all zero
  Vec3 loadSum{};                      // sum of the loads per direction
  Vec3 reactionSum{};                  // sum of the reactions per direction
  double largestImbalance = 0.0;       // largest out-of-balance force at a free node
  int imbalanceNode = 0;               // its node (0: every free node balances exactly)
  bool displacementsKnown = false;     // every node's displacements are in the file
  double largestMovement = 0.0;        // largest total displacement of a node (length of its vector)
  int movementNode = 0;                // its node (0: nothing moves)
  double largestDisplacement = 0.0;    // largest |displacement| component
  int displacementNode = 0;            // its node (0: nothing moves)
  int displacementAxis = 0;            // its direction
};

// The statics of a plot file; what the file does not hold is left out and flagged.
Statics ComputeStatics(const PlotFile& file);

}  // namespace trussplot
