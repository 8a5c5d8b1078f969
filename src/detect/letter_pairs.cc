#include "detect/letter_pairs.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace tablemark {
namespace {

#include "detect/letter_pairs.inc"

constexpr std::uint8_t kOtherLetter = 1;
constexpr std::uint8_t kPunctuation = 2;
constexpr std::uint8_t kSymbol = 3;
constexpr std::uint8_t kFirstLetter = 4;
constexpr std::uint8_t kNeverUsed = 255;
// What a sign beyond ASCII costs at most on top of being a sign, unless no
// writing has it beside a letter: the models learn from program messages,
// which hold few of the signs tables do (¤, ½, ±, ×), and which sign a byte
// is (865's ¤ or 850's ») must not weigh like a word of letters.
constexpr std::uint8_t kSignCap = 20;

// For one charset and one language: the model's symbol for each byte, what
// a letter beyond the alphabet costs on top, and what kind of character it
// is beside others (the bits below).
struct SymbolMap {
  std::array<std::uint8_t, 256> symbol{};
  std::array<std::uint8_t, 256> extra{};
  std::array<std::uint8_t, 256> kind{};
};
constexpr std::uint8_t kLetter = 1;    // of the language's alphabet
constexpr std::uint8_t kAlien = 2;     // no word of the language has it (see Alien)
constexpr std::uint8_t kSmall = 4;     // a small letter
constexpr std::uint8_t kCapital = 8;   // a capital letter
constexpr std::uint8_t kPiece = 16;    // a piece of a drawn frame (see Piece)
constexpr std::uint8_t kOutside = 32;  // a sign no word has inside it (see InWord)

// A pair's second byte that no text gives as one (Fold makes it a
// boundary): (byte, kWithin) stands for a byte between two letters of ASCII.
constexpr std::uint8_t kWithin = 0;
// What a sign between two letters costs on top of its pairs.
constexpr std::uint32_t kWithinCost = 60;

// Whether a character that is no letter may stand between two letters of a
// word: an apostrophe, a hyphen, Catalan's middle dot, an ellipsis. Any
// other sign there ("âren‰ovci") is what a wrong page makes of a letter.
bool InWord(char16_t c) {
  return c == 0x2019 || c == 0x2018 || c == 0xB4 || c == 0x2BC || c == 0xAD || c == 0x2013 ||
         c == 0x2014 || c == 0x2010 || c == 0xB7 || c == 0x2026;
}

// Whether a character of a charset can stand beside the letters of a
// language's words. A name from abroad brings letters of its own script, a
// text signs of all kinds between its words; but no word has a letter of
// another script, a piece of a drawn frame or a sign of mathematics in it
// ("S\u2552o", "\u03B1blast"): that is what a wrong page makes of a letter.
bool Alien(char16_t c, bool letter, Script script) {
  // Mathematics, technical signs, drawing, shapes; and accents standing on
  // their own (¨ ¯ ¸ ˘ ˙ ˚ ˛ ˜ ˝ ˇ), where no word has one beside a letter (´
  // stands for an apostrophe now and then).
  if (!letter) {
    return (c >= 0x2200 && c <= 0x25FF) || c == 0xA8 || c == 0xAF || c == 0xB8 ||
           (c >= 0x2D8 && c <= 0x2DD) || c == 0x2C7;
  }
  const auto in = [c](char16_t from, char16_t to) { return c >= from && c <= to; };
  Script of;
  if (in(0, 0x024F) || in(0x1E00, 0x1EFF) || in(0x2070, 0x209F) || in(0xFB00, 0xFB06)) {
    of = Script::Latin;
  } else if (in(0x0370, 0x03FF)) {
    of = Script::Greek;
  } else if (in(0x0400, 0x052F)) {
    of = Script::Cyrillic;
  } else if (in(0x0590, 0x05FF) || in(0xFB1D, 0xFB4F)) {
    of = Script::Hebrew;
  } else if (in(0x0600, 0x06FF) || in(0xFB50, 0xFDFF) || in(0xFE70, 0xFEFF)) {
    of = Script::Arabic;
  } else if (in(0x0E00, 0x0E7F)) {
    of = Script::Thai;
  } else {
    return false;
  }
  return of != script;
}

// Whether a character is a piece of a drawing that has others beside it: a
// frame's corners, crossings and lines across, a shaded block, an
// integral's halves. One alone among the words of a text is what a wrong
// page makes of a letter or a sign. (A frame's sides, │ and ║, stand alone
// on each line it frames.)
bool Piece(char16_t c) {
  return ((c >= 0x2500 && c <= 0x259F) || c == 0x2320 || c == 0x2321) && c != 0x2502 && c != 0x2551;
}

SymbolMap MapSymbols(const SingleByteCharset& charset, const LanguageModel& model) {
  SymbolMap map;
  for (int b = 'a'; b <= 'z'; ++b) {
    map.symbol[b] = static_cast<std::uint8_t>(kFirstLetter + b - 'a');
    map.symbol[b - 'a' + 'A'] = map.symbol[b];
    map.kind[b] = kLetter | kSmall;
    map.kind[b - 'a' + 'A'] = kLetter;
  }
  for (std::size_t i = 0; i < 128; ++i) {
    const char16_t seen = charset.seen[i];
    const bool letter = charset.letters[i] == '1';
    std::uint8_t& kind = map.kind[0x80 + i];
    if (charset.reads[i] != 0xFFFF && Alien(charset.reads[i], letter, model.script)) kind |= kAlien;
    if (Piece(charset.reads[i])) kind |= kPiece;
    if (!letter && charset.reads[i] != 0xFFFF && !InWord(charset.reads[i])) kind |= kOutside;
    if (letter) kind |= charset.reads[i] == seen ? kSmall : kCapital;
    std::uint8_t& symbol = map.symbol[0x80 + i];
    if (seen >= 0xFFFE) {
      symbol = kSymbol;
      // A byte the charset leaves undefined is as good as never in its text;
      // a symbol costs what it does among symbols.
      const auto sign =
          std::lower_bound(kSymbolSigns.begin(), kSymbolSigns.end(), charset.reads[i]);
      if (seen == 0xFFFE && sign != kSymbolSigns.end() && *sign == charset.reads[i]) {
        const std::uint8_t cost = kSymbolCosts[sign - kSymbolSigns.begin()];
        map.extra[0x80 + i] = (kind & kAlien) != 0 ? cost : std::min(cost, kSignCap);
      } else {
        map.extra[0x80 + i] = kNeverUsed;
      }
    } else if (const auto at = std::lower_bound(model.alphabet.begin(), model.alphabet.end(), seen);
               at != model.alphabet.end() && *at == seen) {
      symbol = static_cast<std::uint8_t>(kFirstLetter + (at - model.alphabet.begin()));
      map.kind[0x80 + i] |= kLetter;
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
      for (std::size_t l = 0; l < models.size(); ++l) {
        if (models[l].script == charsets[c].script) {
          made.push_back({c, l, MapSymbols(charsets[c], models[l])});
        }
      }
    }
    return made;
  }();
  return pairings;
}

// A pair's cost, growing a quarter as fast beyond `stray`: what is rarer
// still than a stray sign is told apart, but weighs no page of evidence.
std::uint32_t Bounded(std::uint32_t cost, std::uint32_t stray) {
  return cost <= stray ? cost : stray + (cost - stray) / 4;
}

// What `first` followed by `second` costs in a pairing's reading: the
// language's cost of their symbols and what the second costs on top, bounded.
inline std::uint32_t PairCost(const Pairing& pairing, std::uint8_t first, std::uint8_t second,
                              std::uint32_t stray) {
  const SymbolMap& map = pairing.symbols;
  if (second == kWithin) return (map.kind[first] & kOutside) != 0 ? kWithinCost : 0;
  const LanguageModel& model = kLanguageModels[pairing.language];
  const std::size_t n = model.alphabet.size() + kFirstLetter;
  const std::uint32_t cost = model.costs[map.symbol[first] * n + map.symbol[second]];
  const unsigned a = map.kind[first], b = map.kind[second];
  // Beside a letter, an alien character costs what one never used does, in
  // full: it is no stray of writing, but a page's misreading.
  if ((((a & kAlien) != 0) && ((b & kLetter) != 0)) ||
      (((b & kAlien) != 0) && ((a & kLetter) != 0))) {
    return cost + kNeverUsed;
  }
  // A piece of a drawing after no other costs what it does in full.
  if ((b & kPiece) != 0 && (a & kPiece) == 0) return Bounded(cost, stray) + map.extra[second];
  // A capital after a small letter of the same word is as rare in writing
  // as a stray sign, and as common where a page reads a small letter as one.
  return Bounded(cost + map.extra[second], stray) +
         ((a & kSmall) != 0 && (b & kCapital) != 0 ? stray : 0);
}

// The bytes of a charset's text that are one half of a quotation mark whose
// other half the text lacks: a guillemet that opens nothing or closes
// nothing is no quotation, but what a wrong page makes of a sign (865's ¤
// read as 850's »). 0 for none.
struct LoneQuotes {
  std::uint8_t first = 0, second = 0;
  bool has() const { return first != 0 || second != 0; }
  bool is(std::uint8_t byte) const { return byte == first || byte == second; }
};

// Where each charset has « and », and ‹ and ›: 0 where it has none.
using QuoteHalves = std::array<std::array<std::uint8_t, 2>, 2>;
const std::vector<QuoteHalves>& QuoteBytes() {
  static const std::vector<QuoteHalves> made = [] {
    constexpr char16_t kHalves[2][2] = {{0xAB, 0xBB}, {0x2039, 0x203A}};
    std::vector<QuoteHalves> bytes;
    for (const SingleByteCharset& charset : SingleByteCharsets()) {
      QuoteHalves halves{};
      for (std::size_t i = 0; i < 128; ++i) {
        for (std::size_t q = 0; q < 2; ++q) {
          for (std::size_t h = 0; h < 2; ++h) {
            if (charset.reads[i] == kHalves[q][h])
              halves[q][h] = static_cast<std::uint8_t>(0x80 + i);
          }
        }
      }
      bytes.push_back(halves);
    }
    return bytes;
  }();
  return made;
}

// `occurs(byte)` tells whether the text holds a byte.
template <typename Occurs>
LoneQuotes LoneQuotesOf(std::size_t charset, const Occurs& occurs) {
  LoneQuotes lone;
  const QuoteHalves& halves = QuoteBytes()[charset];
  std::uint8_t* slot[2] = {&lone.first, &lone.second};
  for (std::size_t q = 0; q < 2; ++q) {
    const auto [open, close] = halves[q];
    if (open == 0 || close == 0) continue;
    if (occurs(open) != occurs(close)) *slot[q] = occurs(open) ? open : close;
  }
  return lone;
}

// A pair's cost where the text has a lone half of a quotation mark: at
// least what it costs with that half read as a sign. Never less than
// without, so that what PairFloors learns stays a bound.
inline std::uint32_t PairCost(const Pairing& pairing, std::uint8_t first, std::uint8_t second,
                              std::uint32_t stray, const LoneQuotes& lone) {
  const std::uint32_t cost = PairCost(pairing, first, second, stray);
  if (second == kWithin || (!lone.is(first) && !lone.is(second))) return cost;
  const LanguageModel& model = kLanguageModels[pairing.language];
  const std::size_t n = model.alphabet.size() + kFirstLetter;
  const SymbolMap& map = pairing.symbols;
  const auto symbol = [&](std::uint8_t byte) { return lone.is(byte) ? kSymbol : map.symbol[byte]; };
  const std::uint32_t extra = lone.is(second) ? kSignCap : map.extra[second];
  return std::max(cost, Bounded(model.costs[symbol(first) * n + symbol(second)] + extra, stray));
}

std::uint8_t Fold(std::uint8_t byte) {
  if (byte >= 'A' && byte <= 'Z') return static_cast<std::uint8_t>(byte + ('a' - 'A'));
  if ((byte >= 'a' && byte <= 'z') || byte >= 0x80) return byte;
  return ' ';
}

// A byte as the first of a pair: folded, but where the second is beyond
// ASCII a capital stays one, for the case of the two to be weighed.
std::uint8_t First(std::uint8_t byte, std::uint8_t second) {
  return second >= 0x80 && byte >= 'A' && byte <= 'Z' ? byte : Fold(byte);
}

bool AsciiLetter(std::uint8_t byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

// A text's pairs as the models see them, byte by byte: runs of boundaries
// are one, and a byte beyond ASCII between two letters of ASCII is also
// given as (byte, kWithin). Whole texts and value by value are counted
// alike, so that a text costs the same read either way.
class PairWalk {
 public:
  template <typename Add>
  void step(std::uint8_t byte, const Add& add) {
    const std::uint8_t folded = Fold(byte);
    if (folded == ' ' && previous_ == ' ') return;
    add(First(previous_, folded), folded);
    if (previous_ >= 0x80 && AsciiLetter(before_) && AsciiLetter(byte)) add(previous_, kWithin);
    before_ = previous_;
    previous_ = folded == ' ' ? ' ' : byte;
  }
  // The pair that ends the text.
  template <typename Add>
  void finish(const Add& add) const {
    if (previous_ != ' ') add(Fold(previous_), ' ');
  }

 private:
  std::uint8_t previous_ = ' ';  // as it is, but any byte Fold makes a boundary
  std::uint8_t before_ = ' ';    // the byte before it, alike
};

}  // namespace

std::span<const SingleByteCharset> SingleByteCharsets() { return kSingleByteCharsets; }
std::span<const LanguageModel> LanguageModels() { return kLanguageModels; }

namespace {

// Where each charset's pairings begin among all, and after the last, where
// they end: a charset's pairings follow one another.
const std::vector<std::size_t>& FirstReadings() {
  static const std::vector<std::size_t> firsts = [] {
    std::vector<std::size_t> made(SingleByteCharsets().size() + 1, Pairings().size());
    for (std::size_t i = Pairings().size(); i-- > 0;) made[Pairings()[i].charset] = i;
    return made;
  }();
  return firsts;
}

// A charset's pairings, one for each language of its script.
std::span<const Pairing> PairingsOf(std::size_t charset) {
  const std::vector<std::size_t>& firsts = FirstReadings();
  return {Pairings().data() + firsts[charset], firsts[charset + 1] - firsts[charset]};
}

const Pairing& PairingOf(std::size_t charset, std::size_t language) {
  for (const Pairing& pairing : PairingsOf(charset)) {
    if (pairing.language == language) return pairing;
  }
  return Pairings().front();  // never reached: a charset is scored in its script's languages
}

}  // namespace

std::size_t FirstReadingOf(std::size_t charset) { return FirstReadings()[charset]; }

PairCounts::PairCounts() : counts_(std::size_t{256} * 256, 0) {}

void PairCounts::count(std::span<const std::uint8_t> text) {
  for (const std::uint16_t pair : touched_) counts_[pair] = 0;
  touched_.clear();
  occurrences_.fill(0);
  highPairCount_ = 0;
  const auto add = [&](std::uint8_t first, std::uint8_t second) {
    const std::uint16_t pair = static_cast<std::uint16_t>(first << 8 | second);
    if (counts_[pair]++ == 0) touched_.push_back(pair);
  };
  PairWalk walk;
  for (const std::uint8_t byte : text) {
    ++occurrences_[byte];
    walk.step(byte, add);
  }
  walk.finish(add);
  high_.clear();
  low_.clear();
  for (const std::uint16_t pair : touched_) {
    const Pair counted{static_cast<std::uint8_t>(pair >> 8), static_cast<std::uint8_t>(pair & 0xFF),
                       counts_[pair]};
    const bool high = counted.first >= 0x80 || counted.second >= 0x80;
    (high ? high_ : low_).push_back(counted);
    highPairCount_ += high && counted.second != kWithin ? counted.count : 0;
  }
}

const std::uint8_t* PairFloors::of(std::size_t charset, std::uint32_t strayCost) {
  if (floors_.empty() || strayCost != strayCost_) {
    floors_.assign(SingleByteCharsets().size(), {});
    strayCost_ = strayCost;
  }
  std::vector<std::uint8_t>& floors = floors_[charset];
  if (floors.empty()) floors.assign(std::size_t{1} << 16, kUnknown);
  return floors.data();
}

std::uint8_t PairFloors::learn(std::size_t charset, std::uint16_t pair) {
  const auto first = static_cast<std::uint8_t>(pair >> 8);
  const auto second = static_cast<std::uint8_t>(pair & 0xFF);
  std::uint32_t least = UINT32_MAX;
  for (const Pairing& pairing : PairingsOf(charset)) {
    least = std::min(least, PairCost(pairing, first, second, strayCost_));
  }
  // Lower still is a bound all the same.
  return floors_[charset][pair] = static_cast<std::uint8_t>(std::min<std::uint32_t>(least, 254));
}

namespace {

// A letter of ASCII's place among the letters (1-26) or 0 for a boundary:
// the pairs below 0x80 are of these alone, folded, and every language's
// model gives them the same symbols.
constexpr std::size_t kAsciiSymbols = 27;
std::size_t AsciiSymbol(std::uint8_t byte) { return byte == ' ' ? 0 : byte - 'a' + 1; }

// What each pair of ASCII symbols costs in each language, the languages of
// a pair side by side: a text's pairs are weighed in all at once.
const std::vector<std::uint8_t>& AsciiPairCosts() {
  static const std::vector<std::uint8_t> table = [] {
    const auto models = LanguageModels();
    std::vector<std::uint8_t> made(kAsciiSymbols * kAsciiSymbols * models.size());
    const auto symbol = [](std::size_t ascii) { return ascii == 0 ? 0 : kFirstLetter + ascii - 1; };
    for (std::size_t l = 0; l < models.size(); ++l) {
      const std::size_t n = models[l].alphabet.size() + kFirstLetter;
      for (std::size_t a = 0; a < kAsciiSymbols; ++a) {
        for (std::size_t b = 0; b < kAsciiSymbols; ++b) {
          made[(a * kAsciiSymbols + b) * models.size() + l] =
              models[l].costs[symbol(a) * n + symbol(b)];
        }
      }
    }
    return made;
  }();
  return table;
}

// Each language's cost of the pairs below 0x80: they read alike in every
// charset, so each language's is counted once.
std::vector<std::uint64_t> LowCosts(const PairCounts& pairs) {
  const std::size_t languages = LanguageModels().size();
  const std::vector<std::uint8_t>& table = AsciiPairCosts();
  std::vector<std::uint64_t> lowCost(languages, 0);
  for (const PairCounts::Pair& pair : pairs.lowPairs()) {
    const std::uint8_t* costs =
        &table[(AsciiSymbol(pair.first) * kAsciiSymbols + AsciiSymbol(pair.second)) * languages];
    const std::uint64_t count = pair.count;
    for (std::size_t l = 0; l < languages; ++l) lowCost[l] += count * costs[l];
  }
  return lowCost;
}

// Whether every reading of `charset` costs more than `bound` less its
// language's pairs below 0x80, by the least each pair costs in any of them.
bool CharsetBehind(std::size_t charset, std::span<const PairCounts::Pair> high,
                   std::span<const std::uint64_t> lowCost, double lowWeight, double bound,
                   std::uint32_t strayCost, PairFloors& floors) {
  const std::span<const Pairing> readings = PairingsOf(charset);
  // One language: its own reading gives up as soon.
  if (readings.size() < 2) return false;
  std::uint64_t leastLow = UINT64_MAX;
  for (const Pairing& pairing : readings) leastLow = std::min(leastLow, lowCost[pairing.language]);
  const double giveUp = bound - lowWeight * static_cast<double>(leastLow);
  if (giveUp >= 0x1p62) return false;
  const auto limit = static_cast<std::int64_t>(std::floor(giveUp));
  const std::uint8_t* known = floors.of(charset, strayCost);
  std::uint64_t cost = 0;
  for (const PairCounts::Pair& pair : high) {
    const auto index = static_cast<std::uint16_t>(pair.first << 8 | pair.second);
    const std::uint8_t floor =
        known[index] != PairFloors::kUnknown ? known[index] : floors.learn(charset, index);
    cost += std::uint64_t{pair.count} * floor;
    if (static_cast<std::int64_t>(cost) > limit) return true;
  }
  return false;
}

}  // namespace

std::vector<ReadingCost> ScoreReadings(const PairCounts& pairs, std::uint32_t strayCost,
                                       double lowWeight, double enough, std::size_t& first,
                                       std::size_t also, std::span<const std::size_t> alike,
                                       PairFloors& floors) {
  const auto& pairings = Pairings();
  const std::vector<std::uint64_t> lowCost = LowCosts(pairs);
  // The pairs that weigh most first, so that a reading far behind shows it
  // soon.
  std::vector<PairCounts::Pair> high = pairs.highPairs();
  std::sort(high.begin(), high.end(),
            [](const auto& a, const auto& b) { return a.count > b.count; });
  std::vector<ReadingCost> readings(pairings.size());
  double best = HUGE_VAL;
  // The reading that won the last text first, as the tables of a
  // directory are alike, then `also`: the others are then soon far behind.
  std::vector<std::size_t> order(pairings.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::swap(order[0], order[std::min(first, pairings.size() - 1)]);
  const auto second = std::find(order.begin() + 1, order.end(), also);
  if (second != order.end()) std::swap(order[1], *second);
  // Per charset: 0 not yet weighed, 1 weighed reading by reading, 2 behind
  // in every language.
  std::vector<std::uint8_t> charsetBehind(SingleByteCharsets().size(), 0);
  for (const std::size_t index : order) {
    const Pairing& pairing = pairings[index];
    // A charset that reads the text as another does costs what that one
    // does: its readings are copied below.
    if (alike[pairing.charset] != pairing.charset) continue;
    std::uint8_t& behind = charsetBehind[pairing.charset];
    if (behind == 0) {
      behind =
          CharsetBehind(pairing.charset, high, lowCost, lowWeight, best + enough, strayCost, floors)
              ? 2
              : 1;
    }
    if (behind == 2) {
      readings[index] = {pairing.charset, pairing.language, lowCost[pairing.language],
                         lowCost[pairing.language], false};
      continue;
    }
    const std::uint64_t low = lowCost[pairing.language];
    const double giveUp = best + enough - lowWeight * static_cast<double>(low);
    // The same bound in whole numbers, for the loop's hottest test.
    const std::int64_t limit = giveUp >= 0x1p62 ? std::numeric_limits<std::int64_t>::max()
                                                : static_cast<std::int64_t>(std::floor(giveUp));
    std::uint64_t cost = 0;
    bool complete = true;
    const LoneQuotes lone =
        LoneQuotesOf(pairing.charset, [&](std::uint8_t byte) { return pairs.occurs(byte); });
    // Each byte is the second of one pair, so its extra is counted once.
    for (const PairCounts::Pair& pair : high) {
      cost += std::uint64_t{pair.count} *
              (lone.has() ? PairCost(pairing, pair.first, pair.second, strayCost, lone)
                          : PairCost(pairing, pair.first, pair.second, strayCost));
      if (static_cast<std::int64_t>(cost) > limit) {
        complete = false;
        break;
      }
    }
    const double weighed = lowWeight * static_cast<double>(low) + static_cast<double>(cost);
    if (complete && weighed < best) {
      best = weighed;
      first = static_cast<std::size_t>(&pairing - pairings.data());
    }
    readings[index] = {pairing.charset, pairing.language, low + cost, low, complete};
  }
  // Which readings were given up on, and what they had cost by then, hang
  // on the order they were weighed in, and so on the text weighed before.
  // A text's answer must not: each reading more than `enough` behind the
  // best is given up on, and costs just that much.
  for (ReadingCost& reading : readings) {
    if (alike[reading.charset] != reading.charset) continue;
    const double giveUp = best + enough - lowWeight * static_cast<double>(reading.lowCost);
    if (reading.complete && static_cast<double>(reading.cost - reading.lowCost) <= giveUp) continue;
    reading.complete = false;
    reading.cost = reading.lowCost + static_cast<std::uint64_t>(std::ceil(std::max(0.0, giveUp)));
  }
  // Pairings go charset by charset, each over the same languages of its
  // script: a charset's first pairing and its kin's are as far apart as
  // their first ones.
  const std::vector<std::size_t>& firsts = FirstReadings();
  for (std::size_t index = 0; index < pairings.size(); ++index) {
    const Pairing& pairing = pairings[index];
    const std::size_t same = alike[pairing.charset];
    if (same == pairing.charset) continue;
    const ReadingCost& kin = readings[firsts[same] + (index - firsts[pairing.charset])];
    readings[index] = {pairing.charset, pairing.language, kin.cost, kin.lowCost, kin.complete};
  }
  return readings;
}

void ValuePairs::read(std::span<const std::uint8_t> text) {
  low_.clear();
  high_.clear();
  lowEnds_.clear();
  highEnds_.clear();
  for (std::vector<std::uint64_t>& costs : lowCosts_) costs.clear();
  readingsUsed_ = 0;
  std::size_t valueLow = 0, valueHigh = 0;  // where the value's pairs begin
  bool high = false;
  PairWalk walk;
  const auto add = [&](std::uint8_t first, std::uint8_t second) {
    (first >= 0x80 || second >= 0x80 ? high_ : low_).push_back({first, second});
  };
  const auto end = [&] {
    if (high) {
      lowEnds_.push_back(static_cast<std::uint32_t>(low_.size()));
      highEnds_.push_back(static_cast<std::uint32_t>(high_.size()));
    } else {
      low_.resize(valueLow);
      high_.resize(valueHigh);
    }
    valueLow = low_.size();
    valueHigh = high_.size();
    high = false;
  };
  occurs_.fill(false);
  for (const std::uint8_t byte : text) {
    high = high || byte >= 0x80;
    if (byte >= 0x80) occurs_[byte - 0x80] = true;
    walk.step(byte, add);
    if (byte == '\n') end();
  }
  walk.finish(add);
  if (!text.empty() && text.back() != '\n') end();
}

const std::vector<ValueCost>& ValuePairs::costs(std::size_t charset, std::size_t language,
                                                std::uint32_t strayCost) {
  if (lowCosts_.size() != LanguageModels().size() || lowStray_ != strayCost) {
    lowCosts_.assign(LanguageModels().size(), {});
    lowStray_ = strayCost;
    readingsUsed_ = 0;
  }
  for (std::size_t r = 0; r < readingsUsed_; ++r) {
    if (readings_[r].charset == charset && readings_[r].language == language) {
      return readings_[r].values;
    }
  }
  if (readingsUsed_ == readings_.size()) readings_.emplace_back();
  Reading& reading = readings_[readingsUsed_++];
  reading.charset = charset;
  reading.language = language;
  const Pairing& pairing = PairingOf(charset, language);
  const LoneQuotes lone =
      LoneQuotesOf(charset, [&](std::uint8_t byte) { return occurs_[byte - 0x80]; });
  const auto cost = [&](const Pair& pair) {
    return PairCost(pairing, pair.first, pair.second, strayCost, lone);
  };
  std::vector<std::uint64_t>& lows = lowCosts_[language];
  if (lows.empty() && !lowEnds_.empty()) {
    std::size_t at = 0;
    for (const std::uint32_t end : lowEnds_) {
      std::uint64_t low = 0;
      for (; at < end; ++at) low += cost(low_[at]);
      lows.push_back(low);
    }
  }
  std::vector<ValueCost>& costs = reading.values;
  costs.clear();
  std::size_t at = 0;
  for (std::size_t v = 0; v < highEnds_.size(); ++v) {
    std::uint64_t high = 0;
    for (; at < highEnds_[v]; ++at) high += cost(high_[at]);
    costs.push_back({lows[v], high});
  }
  return costs;
}

}  // namespace tablemark
