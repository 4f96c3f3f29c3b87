// The plot-file reader and the three writers of trussplot: any bytes are read as a plot file, and
// what reads is drawn in every view, and magnified near the double range, and summarised as text and JSON. The reader may refuse the
// input, never crash; every output is UTF-8 and holds no inf or nan; the picture's markup is
// balanced and the JSON's brackets and strings are closed.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/trussplot/plot_file.h"
#include "tools/trussplot/summary.h"
#include "tools/trussplot/svg_text.h"
#include "tools/trussplot/svg_writer.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// True when `word` stands in `text` as a word of its own: how a number that is not finite prints.
bool HasWord(std::string_view text, std::string_view word) {
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  for (std::size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
    const std::size_t end = at + word.size();
    if ((at == 0 || !letter(text[at - 1])) && (end == text.size() || !letter(text[end]))) return true;
  }
  return false;
}

void CheckText(std::string_view text, bool titleHasWords) {
  Check(trussplot::AsUtf8(text) == text);
  Check(titleHasWords || (!HasWord(text, "inf") && !HasWord(text, "nan")));
}

// Every element opened is closed in order; comments, CDATA and the declaration are skipped, and
// no '<' or unknown entity stands in text or attribute values.
void CheckMarkup(std::string_view svg) {
  std::vector<std::string_view> open;
  std::size_t at = 0;
  for (std::size_t lt; (lt = svg.find('<', at)) != std::string_view::npos;) {
    for (std::size_t amp = svg.find('&', at); amp < lt; amp = svg.find('&', amp + 1)) {
      const std::string_view entity = svg.substr(amp, svg.find(';', amp) - amp + 1);
      Check(entity == "&amp;" || entity == "&lt;" || entity == "&gt;" || entity == "&quot;" ||
            (entity.size() > 3 && entity[1] == '#'));
    }
    const std::string_view rest = svg.substr(lt);
    const std::string_view close = rest.starts_with("<!--")        ? "-->"
                                   : rest.starts_with("<![CDATA[") ? "]]>"
                                   : rest.starts_with("<?")        ? "?>"
                                                                   : ">";
    const std::size_t end = svg.find(close, lt + 1);
    Check(end != std::string_view::npos);
    at = end + close.size();
    if (close != ">" || rest.starts_with("<!")) continue;
    const std::string_view tag = svg.substr(lt + 1, end - lt - 1);
    Check(tag.find('<') == std::string_view::npos && !tag.empty());
    const std::string_view name = tag.substr(tag[0] == '/', tag.find_first_of(" \n/", 1) - (tag[0] == '/'));
    if (tag[0] == '/') {
      Check(!open.empty() && open.back() == name);
      open.pop_back();
    } else if (tag.back() != '/') {
      open.push_back(name);
    }
  }
  Check(open.empty() && svg.find('>', at) == std::string_view::npos);
}

// Brackets and braces close in order outside strings; strings end and hold no control character.
void CheckJson(std::string_view json) {
  std::string open;
  bool inString = false;
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (inString) {
      Check(static_cast<unsigned char>(c) >= 0x20);
      if (c == '\\') ++i;
      inString = c != '"';
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      open += c == '{' ? '}' : ']';
    } else if (c == '}' || c == ']') {
      Check(!open.empty() && open.back() == c);
      open.pop_back();
    }
  }
  Check(!inString && open.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  trussplot::PlotFile file;
  try {
    file = trussplot::ParsePlotFile(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const trussplot::PlotFileError&) {
    return 0;
  }
  const bool titleHasWords = HasWord(file.title, "inf") || HasWord(file.title, "nan");
  using trussplot::View;
  const trussplot::PictureOptions pictures[] = {{}, {View::kIso, {}}, {View::kXY, {}}, {View::kXZ, {}},
                                                {View::kYZ, {}}, {{}, 1.7e308}};
  for (const trussplot::PictureOptions& options : pictures) {
    const std::string svg = trussplot::WriteSvg(file, options);
    CheckText(svg, titleHasWords);
    CheckMarkup(svg);
  }
  CheckText(trussplot::WriteSummary(file), titleHasWords);
  const std::string json = trussplot::WriteSummaryJson(file);
  CheckText(json, titleHasWords);
  CheckJson(json);
  return 0;
}
