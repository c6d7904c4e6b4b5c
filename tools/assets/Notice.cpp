#include "tools/assets/Notice.h"

#include "tools/assets/MemoText.h"

#include <sstream>
#include <stdexcept>

namespace {

// Windows-1252: \xE8 is e with grave accent.
constexpr const char* kNotice =
    "Attenzione: il presente programma per elaboratore \xE8 tutelato dalla legge sul diritto d'autore e dai "
    "trattati internazionali. La riproduzione o la distribuzione non autorizzata del programma, o di una "
    "qualsiasi sua parte, in qualunque forma e con qualunque mezzo, sar\xE0 perseguita civilmente e "
    "penalmente nella misura massima consentita dalla legge.";
constexpr std::size_t kNoticeLines = 7;

std::string Join(const std::vector<std::string>& words, std::size_t first, std::size_t last,
                 const std::vector<int>& extraSpaces) {
  std::string line = words[first];
  for (std::size_t i = first + 1; i < last; ++i) {
    line.append(1 + static_cast<std::size_t>(extraSpaces.empty() ? 0 : extraSpaces[i - first - 1]), ' ');
    line += words[i];
  }
  return line;
}

}  // namespace

std::vector<std::string> JustifiedNotice(const TextMeasure& measure) {
  std::vector<std::string> words;
  std::istringstream in(kNotice);
  for (std::string word; in >> word;) words.push_back(word);

  const int space = measure.Width(" ");
  std::vector<std::string> lines;
  for (std::size_t first = 0; first < words.size();) {
    std::size_t last = first + 1;
    while (last < words.size() && measure.Width(Join(words, first, last + 1, {})) <= kMemoTextWidth) ++last;
    const std::string plain = Join(words, first, last, {});
    if (measure.Width(plain) > kMemoTextWidth)
      throw std::runtime_error("a word is wider than the memo: " + words[first]);
    if (last == words.size() || last - first < 2) {
      lines.push_back(plain);
    } else {
      // Spread the spare spaces evenly over the gaps between words.
      const int gaps = static_cast<int>(last - first - 1);
      const int spare = (kMemoTextWidth - measure.Width(plain)) / space;
      std::vector<int> extra(static_cast<std::size_t>(gaps));
      for (int g = 0; g < gaps; ++g) extra[static_cast<std::size_t>(g)] = spare * (g + 1) / gaps - spare * g / gaps;
      lines.push_back(Join(words, first, last, extra));
    }
    first = last;
  }
  if (lines.size() != kNoticeLines) {
    std::string message = "the notice makes " + std::to_string(lines.size()) + " lines, not seven:";
    for (const std::string& line : lines) message += "\n  " + line;
    throw std::runtime_error(message);
  }
  return lines;
}
