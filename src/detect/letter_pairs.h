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
  // the models see of them: a letter folded to lower case, 0x0020 for a
  // boundary such as punctuation, 0xFFFE for a symbol, 0xFFFF undefined.
  std::array<char16_t, 128> reads;
  std::array<char16_t, 128> seen;
};

struct LanguageModel {
  std::string_view code;
  Script script;
  std::u16string_view alphabet;  // sorted letters; a-z first
  // Cost of each symbol following another, in tenths of a nat, over the
  // symbols: 0 boundary, 1 a letter not in the alphabet, 2 a symbol, then
  // the alphabet's letters.
  const std::uint8_t* costs;
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
  // Which bytes of 0x80 and above occur.
  bool occurs(std::uint8_t byte) const { return seen_[byte]; }

 private:
  std::vector<std::uint32_t> counts_;  // 256 x 256
  std::vector<std::uint16_t> touched_;
  std::vector<Pair> high_, low_;
  std::array<bool, 256> seen_{};
};

// Each charset's cost of the text under its best language, lowest first is
// likeliest: what the text costs read in that charset.
struct CharsetCost {
  std::size_t charset;  // index into SingleByteCharsets()
  std::uint64_t cost;
  std::size_t language;  // index into LanguageModels()
};

// Scores every single-byte charset against the languages of its script.
// Returns one entry per charset, in the order of SingleByteCharsets().
std::vector<CharsetCost> ScoreCharsets(const PairCounts& pairs);

}  // namespace tablemark
