// Letter pairs: how well a text read in one single-byte character set
// looks like a language. Used to tell apart the code pages that share an
// alphabet (a Windows page, its DOS and Mac siblings), which the general
// detector cannot: each page's reading of the text is scored with the
// letter-pair frequencies of each language of its script, and the reading
// that looks most like a language wins.
//
// The data comes from scripts/make-letter-pairs.py, trained on Debian's
// translated messages.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tablemark {

enum class Script { Latin, Greek, Cyrillic };

struct SingleByteCharset {
  std::int32_t codePage;  // 0 for an encoding no mark stands for
  std::string_view name;  // that encoding's own name, else empty
  // The characters bytes 0x80-0xFF read as (0xFFFF: undefined), and what
  // the models see of them: a letter folded to lower case, punctuation as
  // itself, 0xFFFE for a symbol, 0xFFFF undefined; and for each, '1' where
  // it is a letter.
  std::array<char16_t, 128> reads;
  std::array<char16_t, 128> seen;
  std::string_view letters;
};

struct LanguageModel {
  std::string_view code;
  Script script;
  std::u16string_view alphabet;  // sorted; a-z first
  // Cost of each symbol following another, in tenths of a nat, over the
  // symbols: 0 a boundary (any character of ASCII but a letter), 1 a letter
  // not in the alphabet, 2 punctuation not in it, 3 any other sign, then
  // the alphabet: its letters and the punctuation beyond ASCII it uses.
  const std::uint8_t* costs;
  // The letters and punctuation beyond the alphabet that a charset can
  // give, sorted, and what each costs on top of being one: the language
  // borrows some now and then, and never uses others.
  std::u16string_view rareLetters;
  const std::uint8_t* rareCosts;
  // The code pages the language is written in, commonest first (0 ends).
  std::array<std::int32_t, 6> homePages;
};

std::span<const SingleByteCharset> SingleByteCharsets();
std::span<const LanguageModel> LanguageModels();

// How often each pair of bytes follows in a text, letters' case folded and
// every other byte below 0x80 a boundary. Kept between texts: only the
// pairs counted are cleared.
class PairCounts {
 public:
  PairCounts();
  void count(std::span<const std::uint8_t> text);
  struct Pair {
    std::uint8_t first, second;
    std::uint32_t count;
  };
  // The pairs with a byte of 0x80 or above, and the others.
  const std::vector<Pair>& highPairs() const { return high_; }
  const std::vector<Pair>& lowPairs() const { return low_; }
  // Which bytes of 0x80 and above occur, and how often in all.
  bool occurs(std::uint8_t byte) const { return occurrences_[byte] != 0; }
  std::uint32_t occurrences(std::uint8_t byte) const { return occurrences_[byte]; }
  std::uint64_t highCount() const { return highCount_; }
  // Letters of ASCII and bytes beyond it: what the high bytes are a share of.
  std::uint64_t letterCount() const { return highCount_ + asciiLetters_; }

 private:
  std::vector<std::uint32_t> counts_;  // 256 x 256
  std::vector<std::uint16_t> touched_;
  std::vector<Pair> high_, low_;
  std::array<std::uint32_t, 256> occurrences_{};
  std::uint64_t highCount_ = 0;
  std::uint64_t asciiLetters_ = 0;
};

// Each charset's cost of the text under its best language, lowest first is
// likeliest: what the text costs read in that charset.
struct CharsetCost {
  std::size_t charset;  // index into SingleByteCharsets()
  std::uint64_t cost;
  std::size_t language;    // index into LanguageModels()
  std::uint64_t highCost;  // of the pairs with a byte of 0x80 or above
};

// Every single-byte charset's reading of a text scored against the
// languages of its script, once.
inline constexpr std::size_t kAnyLanguage = SIZE_MAX;
class CharsetScores {
 public:
  explicit CharsetScores(const PairCounts& pairs);
  // One entry per charset, in the order of SingleByteCharsets(): its cost
  // under its likeliest language, or under `language` where it is of that
  // language's script, so that charsets are weighed under one language
  // once it is known.
  std::vector<CharsetCost> best(std::size_t language = kAnyLanguage) const;

 private:
  std::vector<CharsetCost> byPairing_;
};

// How many bytes of the text read, in a charset under its best language,
// as no text of that language reads: signs, undefined bytes, letters the
// language never uses.
std::uint64_t StrayCount(const PairCounts& pairs, const CharsetCost& reading);

}  // namespace tablemark
