// The engineer's summary of a plot file, as plain text and as JSON.
#include "tools/trussplot/summary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "tools/trussplot/statics.h"
#include "tools/trussplot/svg_text.h"

namespace trussplot {

namespace {

// Forces and stresses are shown to five significant digits, as the plot file holds stresses.
constexpr int kDigits = 5;
constexpr std::size_t kMostStressed = 3;

// What the summary says and what it leaves out.
struct Content {
  Statics statics;
  std::vector<std::string> missing;        // sentences naming what the file does not give
  std::vector<const MemberResult*> mostStressed;  // the largest |stress| first
};

// "T", "C" or "0" for a member's force.
std::string_view Kind(const MemberResult& m) {
  if (m.zeroForce) return "0";
  return *m.stress > 0.0 ? "T" : "C";
}

Content Gather(const PlotFile& file) {
  Content c;
  c.statics = ComputeStatics(file);
  const std::string end = DescribeEnd(file);
  if (!end.empty()) c.missing.push_back(end);
  if (!c.statics.forcesKnown) {
    c.missing.push_back(end.empty() ? "Not available: reactions and equilibrium (a value they need is written "
                                      "as asterisks or is not a finite number)."
                                    : "Not available: reactions and equilibrium (they need every member's stress).");
  }
  if (!c.statics.displacementsKnown) c.missing.push_back("Not available: the displacements.");
  for (const MemberResult& m : c.statics.members) {
    if (m.stress) c.mostStressed.push_back(&m);
  }
  std::stable_sort(c.mostStressed.begin(), c.mostStressed.end(), [](const MemberResult* a, const MemberResult* b) {
    return std::fabs(*a->stress) > std::fabs(*b->stress);
  });
  if (c.mostStressed.size() > kMostStressed) c.mostStressed.resize(kMostStressed);
  return c;
}

std::string Right(std::string text, std::size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

std::string Figure(const std::optional<double>& value) { return value ? Value(*value, kDigits) : "-"; }

std::string Nodes(const MemberResult& m) { return std::to_string(m.NODE[0]) + "-" + std::to_string(m.NODE[1]); }

void TextReactions(const Content& c, std::string& out) {
  const Statics& s = c.statics;
  out += "\nReactions (force of the support on the structure)\n";
  out += "  node  direction      reaction\n";
  for (const Reaction& r : s.reactions) {
    out += Right(std::to_string(r.node), 6) + "  " + kAxisNames[r.axis] + "          " +
           Right(IsZeroReaction(r.value, s.largestForce) ? "0" : Value(r.value, kDigits), 14) + "\n";
  }
  if (s.omittedAxis) {
    out += "  The model lies in a plane: its " + std::string(1, kAxisNames[*s.omittedAxis]) +
           " reactions are all zero and not listed.\n";
  }
  out += "\nEquilibrium of the whole structure\n";
  out += "  direction    sum of loads  sum of reactions      difference\n";
  for (std::size_t j = 0; j < 3; ++j) {
    out += std::string("  ") + kAxisNames[j] + "          " + Right(Value(s.loadSum[j], kDigits), 14) +
           Right(Value(s.reactionSum[j], kDigits), 18) + Right(Value(s.loadSum[j] + s.reactionSum[j], kDigits), 16) +
           "\n";
  }
  out += "Largest out-of-balance force at a free node: " + Value(s.largestImbalance, 3);
  if (s.imbalanceNode != 0) out += " at node " + std::to_string(s.imbalanceNode);
  if (s.largestForce > 0.0) {
    out += ", " + Value(s.largestImbalance / s.largestForce, 2) + " of the largest member force (" +
           Value(s.largestForce, kDigits) + ")";
  }
  out += "\n";
}

void TextMembers(const Content& c, std::string& out) {
  const Statics& s = c.statics;
  out += "\nMembers (force: T tension, C compression, 0 zero force)\n";
  out += "  member  nodes        length           force        stress\n";
  for (const MemberResult& m : s.members) {
    std::string force = "-  ";
    if (m.force) {
      const std::string_view kind = Kind(m);
      force = kind == "0" ? "0  " : Value(std::fabs(*m.force), kDigits) + " " + std::string(kind);
    }
    std::string nodes = Nodes(m);
    nodes.resize(std::max<std::size_t>(nodes.size() + 1, 8), ' ');
    out += Right(std::to_string(m.K), 8) + "  " + nodes + Right(Figure(m.length), 11) + Right(force, 16) +
           Right(Figure(m.stress), 14) + "\n";
  }
}

void TextExtremes(const Content& c, std::string& out) {
  const Statics& s = c.statics;
  out += "\n";
  if (s.displacementNode != 0) {
    out += "Largest total displacement: " + Value(s.largestMovement, 4) + " at node " +
           std::to_string(s.movementNode) + "\nLargest displacement component: " + Value(s.largestDisplacement, 4) +
           " at node " + std::to_string(s.displacementNode) + ", direction " + kAxisNames[s.displacementAxis] + "\n";
  } else if (s.displacementsKnown) {
    out += "Largest displacement: no node moves\n";
  }
  if (!c.mostStressed.empty()) {
    out += "Largest |stress|:";
    for (const MemberResult* m : c.mostStressed) {
      out += (m == c.mostStressed.front() ? " member " : ", member ") + std::to_string(m->K) + " (" +
             Value(*m->stress, kDigits) + ")";
    }
    out += "\n";
  }
}

// A number for JSON: the shortest text that reads back as the same double; null when missing.
std::string Json(const std::optional<double>& value) {
  if (!value || !std::isfinite(*value)) return "null";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, *value == 0.0 ? 0.0 : *value);
  return std::string(buffer, result.ptr);
}

// A text as a JSON string, read by AsUtf8; control characters escaped.
std::string JsonText(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char ch : AsUtf8(text)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\u00";
      out += kHex[c / 16];
      out += kHex[c % 16];
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

std::string JsonVector(const Vec3& v) {
  std::string out = "[";
  for (const double value : v) out.append(out.size() > 1 ? ", " : "").append(Json(value));
  return out.append("]");
}

std::string Direction(int axis) { return JsonText(std::string_view(&kAxisNames[axis], 1)); }

}  // namespace

std::string WriteSummary(const PlotFile& file) {
  const Content c = Gather(file);
  std::string out = file.title.empty() ? "(no title)\n" : file.title + "\n";
  for (const std::string& sentence : c.missing) out += sentence + "\n";
  if (c.statics.forcesKnown) TextReactions(c, out);
  TextMembers(c, out);
  TextExtremes(c, out);
  return out;
}

std::string WriteSummaryJson(const PlotFile& file) {
  const Content c = Gather(file);
  const Statics& s = c.statics;
  std::string out = "{\n  \"title\": " + JsonText(file.title) + ",\n  \"missing\": [";
  for (const std::string& sentence : c.missing) out += (sentence == c.missing.front() ? "" : ", ") + JsonText(sentence);
  out += "],\n  \"reactions\": ";
  if (s.forcesKnown) {
    out += "[";
    for (const Reaction& r : s.reactions) {
      out += std::string(&r == &s.reactions.front() ? "\n" : ",\n") + "    {\"node\": " + std::to_string(r.node) +
             ", \"direction\": " + Direction(r.axis) + ", \"value\": " + Json(r.value) + "}";
    }
    out += std::string("\n  ],\n  \"reactionsNotListed\": ") + (s.omittedAxis ? Direction(*s.omittedAxis) : "null") +
           ",\n  \"equilibrium\": {\"loads\": " + JsonVector(s.loadSum) + ", \"reactions\": " +
           JsonVector(s.reactionSum) + ", \"difference\": " +
           JsonVector({s.loadSum[0] + s.reactionSum[0], s.loadSum[1] + s.reactionSum[1],
                       s.loadSum[2] + s.reactionSum[2]}) +
           ",\n    \"largestOutOfBalance\": " + Json(s.largestImbalance) + ", \"outOfBalanceNode\": " +
           std::to_string(s.imbalanceNode) + ", \"largestMemberForce\": " + Json(s.largestForce) +
           ", \"relativeOutOfBalance\": " +
           Json(s.largestForce > 0.0 ? std::optional(s.largestImbalance / s.largestForce) : std::nullopt) + "},\n";
  } else {
    out += "null,\n  \"reactionsNotListed\": null,\n  \"equilibrium\": null,\n";
  }
  out += "  \"members\": [";
  for (const MemberResult& m : s.members) {
    const std::string kind = m.stress ? JsonText(Kind(m)) : "null";
    out += std::string(&m == &s.members.front() ? "\n" : ",\n") + "    {\"member\": " + std::to_string(m.K) +
           ", \"nodes\": [" + std::to_string(m.NODE[0]) + ", " + std::to_string(m.NODE[1]) + "], \"length\": " +
           Json(m.length) + ", \"force\": " + Json(m.force) + ", \"kind\": " + kind + ", \"stress\": " +
           Json(m.stress) + "}";
  }
  out += "\n  ],\n  \"largestTotalDisplacement\": ";
  if (s.displacementNode != 0) {
    out += "{\"node\": " + std::to_string(s.movementNode) + ", \"value\": " + Json(s.largestMovement) +
           "},\n  \"largestDisplacementComponent\": {\"node\": " + std::to_string(s.displacementNode) +
           ", \"direction\": " + Direction(s.displacementAxis) + ", \"value\": " + Json(s.largestDisplacement) + "}";
  } else {
    out += "null,\n  \"largestDisplacementComponent\": null";
  }
  out += ",\n  \"largestStresses\": [";
  for (const MemberResult* m : c.mostStressed) {
    out += std::string(m == c.mostStressed.front() ? "" : ", ") + "{\"member\": " + std::to_string(m->K) +
           ", \"stress\": " + Json(m->stress) + "}";
  }
  out += "]\n}\n";
  return out;
}

}  // namespace trussplot
