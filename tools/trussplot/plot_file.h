// The plot file TRUSS.GRP read back from its fixed columns: the model, the results and where the
// file ended.
#pragma once

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace trussplot {

// A real value of the file; empty when its field held asterisks (the value did not fit) or the
// text of a value that is not a finite number.
using Real = std::optional<double>;

// Where the records of a plot file stop. Only kComplete has every section; the others are runs
// that ended early, in the order of the sections.
enum class FileEnd {
  kEmpty,             // no record at all: the run stopped before the title was written
  kAfterTitle,        // title only: the run stopped before the counts were written
  kAfterCounts,       // title and counts, no node record
  kInNodes,           // fewer node records than NNODE
  kBeyondNodeCount,   // node records went on past NNODE, and nothing follows them
  kInMembers,         // the nodes are complete, the member records are not
  kAfterModel,        // the model sections complete, no result record
  kInDisplacements,   // some, not all, displacement records
  kInStresses,        // all displacements, not all stress records
  kComplete,          // all six sections
};

// One record of the node section, with its displacement record when the file has one.
struct PlotNode {
  int K = 0;                                // node number
  std::array<std::optional<int>, 3> IFIX;   // fixity codes x, y, z; empty when written as "*"
  std::array<Real, 3> coordinate;           // XC, YC, ZC
  std::array<Real, 3> load;                 // the loads x, y, z as given in the data
  bool hasDisplacement = false;             // the file holds this node's displacement record
  std::array<Real, 3> displacement;         // displacements x, y, z (when hasDisplacement)
};

// One record of the member section, with its stress record when the file has one.
struct PlotMember {
  int K = 0;                                // member number
  std::array<std::optional<int>, 2> NODE;   // end nodes; empty when written as "**"
  Real E;                                   // modulus
  Real A;                                   // cross-section area
  bool hasStress = false;                   // the file holds this member's stress record
  Real stress;                              // axial stress, tension positive (when hasStress)
};

// The whole file. nodes[i] is node i + 1 and members[i] member i + 1, as the file numbers them
// consecutively from 1.
struct PlotFile {
  std::string title;                 // columns 2-81 of the first record less trailing blanks, by AsUtf8
  std::optional<int> NELE;           // member count of the counts record (empty: asterisks)
  std::optional<int> NNODE;          // node count of the counts record (empty: asterisks)
  std::vector<PlotNode> nodes;       // the node records, generated nodes included
  std::vector<PlotMember> members;   // the member records, also those numbered above NELE
  FileEnd end = FileEnd::kComplete;  // where the records stop
  int cutLine = 0;                   // the last line, cut short and left out; 0 when it is whole
};

// A text that is not a plot file; what() reads "line L, column C: ...".
class PlotFileError : public std::runtime_error {
 public:
  PlotFileError(int line, int column, const std::string& problem);
  int line() const { return line_; }      // 1-based line of the offending record
  int column() const { return column_; }  // 1-based column of the offending character

 private:
  int line_;
  int column_;
};

// Reads a plot file from its bytes. Lines end with CR LF or LF alone; the last line may lack its
// line end, and empty lines after the last record are ignored. A file that ended early is
// accepted and says so in `end`, also one whose last line has no line end and is too short to be
// read (cut short by a full disk: it is left out and named in `cutLine`). A text that does not
// follow the layout raises PlotFileError naming the first offending line and column.
PlotFile ParsePlotFile(std::string_view text);

// True when the file holds the members' analysis results: every displacement record (the stress
// records may still be incomplete).
bool HasDisplacements(const PlotFile& file);

// True when member record `index` (0-based) is one of the NELE members of the analysis; records
// numbered above NELE took no part in it.
bool IsAnalysedMember(const PlotFile& file, std::size_t index);

// Where an early end or a cut leaves the file, and where to find why; empty when complete and whole.
std::string DescribeEnd(const PlotFile& file);

}  // namespace trussplot
