#include "detect/letter_pairs.h"

#include <algorithm>

namespace tablemark {
namespace {

#include "detect/letter_pairs.inc"

constexpr std::uint8_t kOtherLetter = 1;
constexpr std::uint8_t kPunctuation = 2;
constexpr std::uint8_t kSymbol = 3;
constexpr std::uint8_t kFirstLetter = 4;
constexpr std::uint8_t kNeverUsed = 255;

Script ScriptOf(const SingleByteCharset& charset) {
  std::array<int, 3> letters{};
  for (const char16_t c : charset.seen) {
    if (c >= 0x00C0 && c < 0x0250) ++letters[0];
    if (c >= 0x0370 && c < 0x0400) ++letters[1];
    if (c >= 0x0400 && c < 0x0530) ++letters[2];
  }
  const auto most = std::max_element(letters.begin(), letters.end()) - letters.begin();
  return static_cast<Script>(most);
}

// For one charset and one language: the model's symbol for each byte, and
// what a letter beyond the alphabet costs on top.
struct SymbolMap {
  std::array<std::uint8_t, 256> symbol{};
  std::array<std::uint8_t, 256> extra{};
};

SymbolMap MapSymbols(const SingleByteCharset& charset, const LanguageModel& model) {
  SymbolMap map;
  for (int b = 'a'; b <= 'z'; ++b) {
    map.symbol[b] = static_cast<std::uint8_t>(kFirstLetter + b - 'a');
  }
  for (std::size_t i = 0; i < 128; ++i) {
    const char16_t seen = charset.seen[i];
    std::uint8_t& symbol = map.symbol[0x80 + i];
    if (seen >= 0xFFFE) {
      symbol = kSymbol;
    } else if (const auto at = std::lower_bound(model.alphabet.begin(), model.alphabet.end(), seen);
               at != model.alphabet.end() && *at == seen) {
      symbol = static_cast<std::uint8_t>(kFirstLetter + (at - model.alphabet.begin()));
    } else {
      symbol = charset.letters[i] == '1' ? kOtherLetter : kPunctuation;
      const auto rare = std::lower_bound(model.rareLetters.begin(), model.rareLetters.end(), seen);
      map.extra[0x80 + i] = rare != model.rareLetters.end() && *rare == seen
                                ? model.rareCosts[rare - model.rareLetters.begin()]
                                : kNeverUsed;
    }
  }
  return map;
}

// The languages each charset is scored against, with their symbol maps:
// made once, the first time a text is scored.
struct Pairing {
  std::size_t charset, language;
  SymbolMap symbols;
};

const std::vector<Pairing>& Pairings() {
  static const std::vector<Pairing> pairings = [] {
    std::vector<Pairing> made;
    const auto charsets = SingleByteCharsets();
    const auto models = LanguageModels();
    for (std::size_t c = 0; c < charsets.size(); ++c) {
      const Script script = ScriptOf(charsets[c]);
      for (std::size_t l = 0; l < models.size(); ++l) {
        if (models[l].script == script) made.push_back({c, l, MapSymbols(charsets[c], models[l])});
      }
    }
    return made;
  }();
  return pairings;
}

std::uint8_t Fold(std::uint8_t byte) {
  if (byte >= 'A' && byte <= 'Z') return static_cast<std::uint8_t>(byte + ('a' - 'A'));
  if ((byte >= 'a' && byte <= 'z') || byte >= 0x80) return byte;
  return ' ';
}

}  // namespace

std::span<const SingleByteCharset> SingleByteCharsets() { return kSingleByteCharsets; }
std::span<const LanguageModel> LanguageModels() { return kLanguageModels; }

PairCounts::PairCounts() : counts_(std::size_t{256} * 256, 0) {}

void PairCounts::count(std::span<const std::uint8_t> text) {
  for (const std::uint16_t pair : touched_) counts_[pair] = 0;
  touched_.clear();
  occurrences_.fill(0);
  highCount_ = 0;
  asciiLetters_ = 0;
  const auto add = [&](std::uint8_t first, std::uint8_t second) {
    const std::uint16_t pair = static_cast<std::uint16_t>(first << 8 | second);
    if (counts_[pair]++ == 0) touched_.push_back(pair);
  };
  std::uint8_t previous = ' ';
  for (const std::uint8_t byte : text) {
    const std::uint8_t folded = Fold(byte);
    ++occurrences_[byte];
    highCount_ += byte >= 0x80 ? 1 : 0;
    asciiLetters_ += folded >= 'a' && folded <= 'z' ? 1 : 0;
    if (folded == ' ' && previous == ' ') continue;
    add(previous, folded);
    previous = folded;
  }
  if (previous != ' ') add(previous, ' ');
  high_.clear();
  low_.clear();
  for (const std::uint16_t pair : touched_) {
    const Pair counted{static_cast<std::uint8_t>(pair >> 8), static_cast<std::uint8_t>(pair & 0xFF),
                       counts_[pair]};
    (counted.first >= 0x80 || counted.second >= 0x80 ? high_ : low_).push_back(counted);
  }
}

std::uint64_t StrayCount(const PairCounts& pairs, const CharsetCost& reading) {
  for (const Pairing& pairing : Pairings()) {
    if (pairing.charset != reading.charset || pairing.language != reading.language) continue;
    std::uint64_t stray = 0;
    for (int b = 0x80; b < 0x100; ++b) {
      if (pairing.symbols.symbol[b] == kSymbol || pairing.symbols.extra[b] == kNeverUsed) {
        stray += pairs.occurrences(static_cast<std::uint8_t>(b));
      }
    }
    return stray;
  }
  return pairs.highCount();
}

// Each language's cost of the pairs below 0x80: they read alike in every
// charset, so each language's is counted once.
std::vector<std::uint64_t> LowCosts(const PairCounts& pairs) {
  const auto models = LanguageModels();
  std::vector<std::uint64_t> lowCost(models.size(), 0);
  std::vector<bool> counted(models.size(), false);
  for (const Pairing& pairing : Pairings()) {
    if (counted[pairing.language]) continue;
    counted[pairing.language] = true;
    const LanguageModel& model = models[pairing.language];
    const std::size_t n = model.alphabet.size() + kFirstLetter;
    std::uint64_t cost = 0;
    for (const PairCounts::Pair& pair : pairs.lowPairs()) {
      cost +=
          std::uint64_t{pair.count} *
          model.costs[pairing.symbols.symbol[pair.first] * n + pairing.symbols.symbol[pair.second]];
    }
    lowCost[pairing.language] = cost;
  }
  return lowCost;
}

CharsetScores::CharsetScores(const PairCounts& pairs) {
  const auto models = LanguageModels();
  const std::vector<std::uint64_t> lowCost = LowCosts(pairs);
  for (const Pairing& pairing : Pairings()) {
    const LanguageModel& model = models[pairing.language];
    const std::size_t n = model.alphabet.size() + kFirstLetter;
    std::uint64_t high = 0;
    // Each byte is the second of one pair, so its extra is counted once.
    const SymbolMap& map = pairing.symbols;
    for (const PairCounts::Pair& pair : pairs.highPairs()) {
      high += std::uint64_t{pair.count} *
              (model.costs[map.symbol[pair.first] * n + map.symbol[pair.second]] +
               map.extra[pair.second]);
    }
    byPairing_.push_back(
        {pairing.charset, lowCost[pairing.language] + high, pairing.language, high});
  }
}

std::vector<CharsetCost> CharsetScores::best(std::size_t language) const {
  const auto models = LanguageModels();
  std::vector<CharsetCost> costs;
  for (std::size_t c = 0; c < SingleByteCharsets().size(); ++c) {
    costs.push_back({c, UINT64_MAX, models.size(), UINT64_MAX});
  }
  const Script script = language == kAnyLanguage ? Script::Latin : models[language].script;
  for (const CharsetCost& scored : byPairing_) {
    if (language != kAnyLanguage && models[scored.language].script == script &&
        scored.language != language) {
      continue;
    }
    CharsetCost& best = costs[scored.charset];
    if (scored.cost < best.cost) best = scored;
  }
  return costs;
}

}  // namespace tablemark
