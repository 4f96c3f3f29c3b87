#include "tools/trussplot/plot_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <span>

#include "tools/trussplot/svg_text.h"

namespace trussplot {

namespace {

// One fixed-column field of a record: its first column (1-based), width and what it holds.
struct FieldLayout {
  int first;
  int width;
  bool integer;           // an I field; otherwise an E field
  std::string_view name;  // what the field holds, for messages
};

// One kind of record: every column not covered by a field is a blank, and the record ends with
// its last field.
struct RecordLayout {
  std::string_view name;
  int length;
  std::span<const FieldLayout> fields;
};

constexpr FieldLayout kCountFields[] = {
    {2, 3, true, "member count"},
    {6, 3, true, "node count"},
};
constexpr FieldLayout kNodeFields[] = {
    {2, 2, true, "node number"},     {5, 1, true, "x fixity code"},  {7, 1, true, "y fixity code"},
    {9, 1, true, "z fixity code"},   {11, 10, false, "x coordinate"}, {22, 10, false, "y coordinate"},
    {33, 10, false, "z coordinate"}, {44, 10, false, "x load"},       {55, 10, false, "y load"},
    {66, 10, false, "z load"},
};
constexpr FieldLayout kMemberFields[] = {
    {2, 2, true, "member number"}, {5, 2, true, "first end node"}, {8, 2, true, "second end node"},
    {11, 15, false, "modulus"},    {27, 15, false, "area"},
};
constexpr FieldLayout kDisplacementFields[] = {
    {2, 3, true, "node number"},
    {6, 15, false, "x displacement"},
    {22, 15, false, "y displacement"},
    {38, 15, false, "z displacement"},
};
constexpr FieldLayout kStressFields[] = {
    {2, 3, true, "member number"},
    {6, 15, false, "stress"},
};

constexpr RecordLayout kCounts{"counts", 8, kCountFields};
constexpr RecordLayout kNode{"node", 75, kNodeFields};
constexpr RecordLayout kMember{"member", 41, kMemberFields};
constexpr RecordLayout kDisplacement{"displacement", 52, kDisplacementFields};
constexpr RecordLayout kStress{"stress", 20, kStressFields};
constexpr const RecordLayout* kSectionLayouts[] = {&kNode, &kMember, &kDisplacement, &kStress};

constexpr int kTitleLength = 80;
constexpr std::size_t kMaxFields = 10;

// The texts with which a value that is not a finite number fills its field, followed by periods.
constexpr std::string_view kNotFiniteTexts[] = {"1#INF", "1#QNAN", "1#SNAN", "1#IND"};

using Values = std::array<Real, kMaxFields>;

std::string_view TrimTrailingBlanks(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

std::string Columns(const FieldLayout& field) {
  if (field.width == 1) return "column " + std::to_string(field.first);
  return "columns " + std::to_string(field.first) + "-" + std::to_string(field.first + field.width - 1);
}

[[noreturn]] void FieldError(int line, int column, const RecordLayout& record, const FieldLayout& field,
                             const std::string& problem) {
  throw PlotFileError(line, column,
                      "the " + std::string(field.name) + " (" + Columns(field) + " of a " +
                          std::string(record.name) + " record) " + problem);
}

bool IsNotFiniteText(std::string_view field) {
  for (std::string_view text : kNotFiniteTexts) {
    bool matches = true;
    for (std::size_t i = 0; i < field.size() && matches; ++i) {
      matches = field[i] == (i < text.size() ? text[i] : '.');
    }
    if (matches) return true;
  }
  return false;
}

// Subtle: a field of asterisks is not an error but a value the writer could not fit; so is the
// text of a value that is not a finite number. Both come back empty.
Real ParseField(std::string_view text, int line, const RecordLayout& record, const FieldLayout& field) {
  if (text.find_first_not_of('*') == std::string_view::npos) return std::nullopt;
  const std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) FieldError(line, field.first, record, field, "is blank");
  const int startColumn = field.first + static_cast<int>(start);
  if (!field.integer && start == 0 && IsNotFiniteText(text)) return std::nullopt;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  const bool numberStart = *first == '-' || *first == '.' || (*first >= '0' && *first <= '9');
  if (!numberStart) {
    FieldError(line, startColumn, record, field, "is not a number");
  }
  double value = 0.0;
  std::from_chars_result result{};
  if (field.integer) {
    int integer = 0;
    result = std::from_chars(first, last, integer);
    value = integer;
  } else {
    result = std::from_chars(first, last, value, std::chars_format::general);
  }
  // The run stores reals in single precision: a value beyond its range was not written by it and
  // would overflow what the writers work out from it.
  if (result.ec == std::errc::result_out_of_range ||
      (result.ec == std::errc() && std::fabs(value) > std::numeric_limits<float>::max())) {
    FieldError(line, startColumn, record, field, "is out of range");
  }
  if (result.ec != std::errc() || !std::isfinite(value)) {
    FieldError(line, startColumn, record, field, "is not a number");
  }
  if (result.ptr != last) {
    const int column = field.first + static_cast<int>(result.ptr - text.data());
    FieldError(line, column, record, field,
               "holds the unexpected character '" + std::string(1, *result.ptr) + "'");
  }
  return value;
}

// Reads one record of the given layout, checking its blanks and its length.
Values ParseRecord(const RecordLayout& record, std::string_view text, int line) {
  const std::string_view trimmed = TrimTrailingBlanks(text);
  const int length = static_cast<int>(trimmed.size());
  Values values;
  int column = 1;
  for (std::size_t i = 0; i < record.fields.size(); ++i) {
    const FieldLayout& field = record.fields[i];
    for (; column < field.first; ++column) {
      if (column <= length && trimmed[static_cast<std::size_t>(column - 1)] != ' ') {
        throw PlotFileError(line, column,
                            "column " + std::to_string(column) + " of a " + std::string(record.name) +
                                " record must be blank");
      }
    }
    const int last = field.first + field.width - 1;
    if (last > length) {
      throw PlotFileError(line, length + 1,
                          "the record ends at column " + std::to_string(length) + ", but a " +
                              std::string(record.name) + " record has " + std::to_string(record.length) +
                              " columns");
    }
    const std::string_view text =
        trimmed.substr(static_cast<std::size_t>(field.first - 1), static_cast<std::size_t>(field.width));
    values[i] = ParseField(text, line, record, field);
    column = last + 1;
  }
  if (length > record.length) {
    const std::size_t extra = trimmed.find_first_not_of(' ', static_cast<std::size_t>(record.length));
    throw PlotFileError(line, static_cast<int>(extra) + 1,
                        "text after the last field: a " + std::string(record.name) + " record has " +
                            std::to_string(record.length) + " columns");
  }
  return values;
}

std::optional<int> AsInteger(const Real& value) {
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

// Record numbers run from 1 in each section; a number written as asterisks is taken from the
// record's place.
int CheckRecordNumber(const Real& number, int expected, int line, const RecordLayout& record) {
  if (number && *number != expected) {
    throw PlotFileError(line, record.fields[0].first,
                        std::string(record.name) + " record numbered " + std::to_string(AsInteger(number).value()) +
                            " where number " + std::to_string(expected) + " was expected");
  }
  return expected;
}

// A record whose length is that of another section's records is named as such: a message about
// a missing column would hide that a whole section is missing or out of place.
void CheckKind(const RecordLayout& expected, std::string_view text, int line, const std::string& place) {
  const int length = static_cast<int>(TrimTrailingBlanks(text).size());
  if (length == expected.length) return;
  for (const RecordLayout* other : kSectionLayouts) {
    if (other != &expected && other->length == length) {
      throw PlotFileError(line, 1,
                          "expected " + place + ", found a record of " + std::to_string(length) +
                              " columns like a " + std::string(other->name) + " record");
    }
  }
}

// The lines of a text; `lastEnded` tells whether the last line has its line end.
std::vector<std::string_view> SplitLines(std::string_view text, bool& lastEnded) {
  std::vector<std::string_view> lines;
  lastEnded = true;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    lastEnded = end != std::string_view::npos;
    if (!lastEnded) break;
    text.remove_prefix(end + 1);
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back(), lastEnded = true;
  return lines;
}

std::string CountText(const std::optional<int>& count) {
  return count ? std::to_string(*count) : std::string("not representable");
}

std::string OfCount(std::size_t have, const std::optional<int>& count, std::string_view what) {
  if (count) {
    return std::to_string(have) + " of the " + std::to_string(std::max(*count, 0)) + " " + std::string(what) +
           " records";
  }
  return std::to_string(have) + " " + std::string(what) + (have == 1 ? " record" : " records");
}

enum class Section { kNodes, kMembers, kDisplacements, kStresses };

// Reads the records after the counts, one section after the other. Where a count says a section
// is complete, the next record's length tells whether the section goes on (node records past
// NNODE, member records numbered above NELE) or the next one begins.
class SectionReader {
 public:
  explicit SectionReader(PlotFile& file) : file_(file) {}

  void Read(std::string_view text, int line) {
    if (section_ == Section::kNodes && NodesComplete() && !HasLength(text, kNode)) {
      if (file_.NNODE && file_.nodes.size() > NodeTarget()) {
        throw PlotFileError(line, 1,
                            "node records past the node count (NNODE = " + std::to_string(*file_.NNODE) +
                                ") end a plot file, but another record follows");
      }
      section_ = Section::kMembers;
    }
    if (section_ == Section::kMembers && MembersComplete() && !HasLength(text, kMember)) {
      section_ = Section::kDisplacements;
    }
    if (section_ == Section::kDisplacements && displacements_ >= NodeTarget()) section_ = Section::kStresses;
    switch (section_) {
      case Section::kNodes: ReadNode(text, line); break;
      case Section::kMembers: ReadMember(text, line); break;
      case Section::kDisplacements: ReadDisplacement(text, line); break;
      case Section::kStresses: ReadStress(text, line); break;
    }
  }

  FileEnd End() const {
    switch (section_) {
      case Section::kNodes:
        if (file_.nodes.size() < NodeTarget()) return FileEnd::kInNodes;
        return file_.nodes.size() > NodeTarget() ? FileEnd::kBeyondNodeCount : FileEnd::kInMembers;
      case Section::kMembers:
        return MembersComplete() ? FileEnd::kAfterModel : FileEnd::kInMembers;
      case Section::kDisplacements:
        if (displacements_ < NodeTarget()) return FileEnd::kInDisplacements;
        return stresses_ < MemberTarget() ? FileEnd::kInStresses : FileEnd::kComplete;
      case Section::kStresses:
        return stresses_ < MemberTarget() ? FileEnd::kInStresses : FileEnd::kComplete;
    }
    return FileEnd::kComplete;
  }

  // The records a section must have; with a count written as asterisks, those the file has.
  std::size_t NodeTarget() const {
    return file_.NNODE ? static_cast<std::size_t>(std::max(*file_.NNODE, 0)) : file_.nodes.size();
  }
  std::size_t MemberTarget() const {
    return file_.NELE ? static_cast<std::size_t>(std::max(*file_.NELE, 0)) : file_.members.size();
  }
  bool NodesComplete() const { return file_.nodes.size() >= NodeTarget(); }
  bool MembersComplete() const { return file_.members.size() >= MemberTarget(); }

  static bool HasLength(std::string_view text, const RecordLayout& record) {
    return static_cast<int>(TrimTrailingBlanks(text).size()) == record.length;
  }

  std::string Place(std::string_view what, std::size_t have, std::size_t target) const {
    return std::string(what) + " record " + std::to_string(have + 1) + " of " + std::to_string(target);
  }

  // The length of the record last begun, to tell a line cut short from a wrong one.
  int Expected() const { return expected_; }

 private:
  void ReadNode(std::string_view text, int line) {
    expected_ = kNode.length;
    if (!NodesComplete()) CheckKind(kNode, text, line, Place("node", file_.nodes.size(), NodeTarget()));
    const Values v = ParseRecord(kNode, text, line);
    PlotNode node;
    node.K = CheckRecordNumber(v[0], static_cast<int>(file_.nodes.size()) + 1, line, kNode);
    for (std::size_t j = 0; j < 3; ++j) {
      node.IFIX[j] = AsInteger(v[1 + j]);
      node.coordinate[j] = v[4 + j];
      node.load[j] = v[7 + j];
    }
    file_.nodes.push_back(node);
  }

  void ReadMember(std::string_view text, int line) {
    expected_ = kMember.length;
    if (!MembersComplete()) {
      CheckKind(kMember, text, line, Place("member", file_.members.size(), MemberTarget()));
    }
    const Values v = ParseRecord(kMember, text, line);
    PlotMember member;
    member.K = CheckRecordNumber(v[0], static_cast<int>(file_.members.size()) + 1, line, kMember);
    member.NODE = {AsInteger(v[1]), AsInteger(v[2])};
    member.E = v[3];
    member.A = v[4];
    file_.members.push_back(member);
  }

  void ReadDisplacement(std::string_view text, int line) {
    expected_ = kDisplacement.length;
    CheckKind(kDisplacement, text, line, Place("displacement", displacements_, NodeTarget()));
    const Values v = ParseRecord(kDisplacement, text, line);
    PlotNode& node = file_.nodes[displacements_];
    CheckRecordNumber(v[0], static_cast<int>(displacements_) + 1, line, kDisplacement);
    node.hasDisplacement = true;
    node.displacement = {v[1], v[2], v[3]};
    ++displacements_;
  }

  void ReadStress(std::string_view text, int line) {
    expected_ = kStress.length;
    if (stresses_ >= MemberTarget()) {
      throw PlotFileError(line, 1,
                          "more stress records than the member count (NELE = " + CountText(file_.NELE) + ")");
    }
    CheckKind(kStress, text, line, Place("stress", stresses_, MemberTarget()));
    const Values v = ParseRecord(kStress, text, line);
    PlotMember& member = file_.members[stresses_];
    CheckRecordNumber(v[0], static_cast<int>(stresses_) + 1, line, kStress);
    member.hasStress = true;
    member.stress = v[1];
    ++stresses_;
  }

  PlotFile& file_;
  Section section_ = Section::kNodes;
  std::size_t displacements_ = 0;
  std::size_t stresses_ = 0;
  int expected_ = 0;
};

}  // namespace

PlotFileError::PlotFileError(int line, int column, const std::string& problem)
    : std::runtime_error("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + problem),
      line_(line),
      column_(column) {}

PlotFile ParsePlotFile(std::string_view text) {
  bool lastEnded = true;
  const std::vector<std::string_view> lines = SplitLines(text, lastEnded);
  PlotFile file;
  file.end = FileEnd::kEmpty;
  // A last line without its line end that is shorter than the record it should be was cut short
  // (a full disk): the file ends before it.
  const auto cutShort = [&](std::size_t index, int length) {
    const bool cut = index + 1 == lines.size() && !lastEnded && static_cast<int>(lines[index].size()) < length;
    if (cut) file.cutLine = static_cast<int>(index) + 1;
    return cut;
  };
  if (lines.empty() || cutShort(0, kTitleLength + 1)) return file;
  const std::string_view title = TrimTrailingBlanks(lines[0]);
  if (lines[0].empty() || lines[0][0] != ' ') {
    throw PlotFileError(1, 1, "column 1 of the title record is not blank: this is not a plot file");
  }
  if (title.size() > kTitleLength + 1) {
    throw PlotFileError(1, kTitleLength + 2, "the title record goes on past column 81");
  }
  file.title = AsUtf8(title.substr(std::min<std::size_t>(1, title.size())));
  file.end = FileEnd::kAfterTitle;
  if (lines.size() == 1 || cutShort(1, kCounts.length)) return file;
  CheckKind(kCounts, lines[1], 2, "the counts record");
  const Values counts = ParseRecord(kCounts, lines[1], 2);
  file.NELE = AsInteger(counts[0]);
  file.NNODE = AsInteger(counts[1]);
  file.end = FileEnd::kAfterCounts;
  if (lines.size() == 2) return file;
  SectionReader reader(file);
  for (std::size_t i = 2; i < lines.size(); ++i) {
    try {
      reader.Read(lines[i], static_cast<int>(i) + 1);
    } catch (const PlotFileError&) {
      if (!cutShort(i, reader.Expected())) throw;
    }
  }
  // A cut first node record leaves the file as it was after the counts.
  if (file.cutLine != 3) file.end = reader.End();
  // A run stops right after writing a member whose end node is not in the model: results after
  // such a record were not written by a run.
  const bool results =
      std::any_of(file.nodes.begin(), file.nodes.end(), [](const PlotNode& n) { return n.hasDisplacement; });
  for (std::size_t i = 0; results && i < file.members.size() && IsAnalysedMember(file, i); ++i) {
    for (std::size_t end = 0; end < 2; ++end) {
      const std::optional<int> node = file.members[i].NODE[end];
      if (node && (*node < 1 || static_cast<std::size_t>(*node) > file.nodes.size())) {
        throw PlotFileError(static_cast<int>(3 + file.nodes.size() + i), kMemberFields[1 + end].first,
                            "end node " + std::to_string(*node) + " of member " + std::to_string(i + 1) +
                                " is not in the model, yet results follow");
      }
    }
  }
  return file;
}

bool HasDisplacements(const PlotFile& file) {
  return file.end == FileEnd::kInStresses || file.end == FileEnd::kComplete;
}

bool IsAnalysedMember(const PlotFile& file, std::size_t index) {
  return !file.NELE || index < static_cast<std::size_t>(std::max(*file.NELE, 0));
}

std::string DescribeEnd(const PlotFile& file) {
  const std::size_t withDisplacement =
      static_cast<std::size_t>(std::count_if(file.nodes.begin(), file.nodes.end(),
                                             [](const PlotNode& n) { return n.hasDisplacement; }));
  const std::size_t withStress =
      static_cast<std::size_t>(std::count_if(file.members.begin(), file.members.end(),
                                             [](const PlotMember& m) { return m.hasStress; }));
  std::string where;
  switch (file.end) {
    case FileEnd::kEmpty:
      where = "The file is empty: it ends before its title.";
      break;
    case FileEnd::kAfterTitle:
      where = "The file ends after its title, before the counts.";
      break;
    case FileEnd::kAfterCounts:
      where = "The file ends after the counts (NELE = " + CountText(file.NELE) + ", NNODE = " + CountText(file.NNODE) +
              "), before the first node record.";
      break;
    case FileEnd::kInNodes:
      where = "The file ends after " + OfCount(file.nodes.size(), file.NNODE, "node") + ".";
      break;
    case FileEnd::kBeyondNodeCount:
      where = "The node records go on past the node count (NNODE = " + CountText(file.NNODE) + ") to node " +
              std::to_string(file.nodes.size()) + ", where the file ends.";
      break;
    case FileEnd::kInMembers:
      where = "The file ends after " + OfCount(file.members.size(), file.NELE, "member") + ".";
      break;
    case FileEnd::kAfterModel:
      where = "The file ends after the model, before the first displacement record.";
      break;
    case FileEnd::kInDisplacements:
      where = "The file ends after " + OfCount(withDisplacement, file.NNODE, "displacement") + ".";
      break;
    case FileEnd::kInStresses:
      where = "The file ends after " + OfCount(withStress, file.NELE, "stress") + ".";
      break;
    case FileEnd::kComplete:
      break;
  }
  if (file.cutLine != 0) {
    where.insert(0, "The plot file ends inside line " + std::to_string(file.cutLine) + " (cut short)." +
                        (where.empty() ? "" : " "));
  }
  if (file.end == FileEnd::kComplete) return where;
  return where + " The report or the terminal of the run tells why the run ended there.";
}

}  // namespace trussplot
