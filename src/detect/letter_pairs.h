// Letter pairs: how well a text read in one single-byte character set
// looks like a language. Each charset's reading of a text is scored with the
// letter-pair frequencies of each language of its script: the likelihood of
// the text under that language's model, on one scale for every reading.
//
// The data comes from scripts/make-letter-pairs.py, trained on Debian's
// translated messages.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <string_view>
#include <vector>

namespace tablemark {

enum class Script { Latin, Greek, Cyrillic, Hebrew, Arabic, Thai };
constexpr std::size_t kScripts = 6;

struct SingleByteCharset {
  std::int32_t codePage;  // 0 for an encoding no mark stands for
  Script script;
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
  // borrows some now and then, and seldom uses others.
  std::u16string_view rareLetters;
  const std::uint8_t* rareCosts;
  // The code pages the language is written in, commonest first (0 ends).
  std::array<std::int32_t, 6> homePages;
};

std::span<const SingleByteCharset> SingleByteCharsets();
std::span<const LanguageModel> LanguageModels();

// How often each pair of bytes follows in a text, the case of ASCII's
// letters folded (but for a capital before a byte beyond ASCII, whose case
// is weighed) and every other byte below 0x80 a boundary. Kept between
// texts: only the pairs counted are cleared.
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
  std::uint64_t highPairCount() const { return highPairCount_; }

 private:
  std::vector<std::uint32_t> counts_;  // 256 x 256
  std::vector<std::uint16_t> touched_;
  std::vector<Pair> high_, low_;
  std::array<std::uint32_t, 256> occurrences_{};
  std::uint64_t highPairCount_ = 0;
};

// What a text costs read in one charset as one language, in tenths of a
// nat: the lower, the likelier.
struct ReadingCost {
  std::size_t charset;   // index into SingleByteCharsets()
  std::size_t language;  // index into LanguageModels()
  std::uint64_t cost;
  std::uint64_t lowCost;  // of it, the pairs below 0x80, which every charset reads alike
  // False for a reading more than `enough` behind the best: its cost is
  // then `enough` more than the best's, less than the whole.
  bool complete = true;
};

// For each charset whose script is written in several languages, the least
// a pair of bytes costs in any of them: a bound under which none of the
// charset's readings can come. Learnt pair by pair as texts hold them, and
// kept from text to text.
class PairFloors {
 public:
  // The floors of `charset`'s pairs (by first << 8 | second), with
  // ScoreReadings' `strayCost`; kUnknown for a pair not yet learnt.
  static constexpr std::uint8_t kUnknown = 255;
  const std::uint8_t* of(std::size_t charset, std::uint32_t strayCost);
  // Learns what `pair` costs at least read in `charset`.
  std::uint8_t learn(std::size_t charset, std::uint16_t pair);

 private:
  std::uint32_t strayCost_ = 0;
  std::vector<std::vector<std::uint8_t>> floors_;  // by charset
};

// Every reading of the counted text: each charset under each language of
// its script. Beyond `strayCost` (tenths of a nat) a pair's cost grows a
// quarter as fast: a sign or a letter from abroad that a language never
// uses is in real text now and then, and must not weigh like a page of
// evidence. Two things no writing has cost in full all the same: a letter of
// another script, a drawing or mathematical sign beside a letter; and a
// capital after a small letter costs `strayCost` more. A reading's cost is its pairs below 0x80
// weighed `lowWeight` and the others in full; one that costs `enough` more than the best is given
// up on. `first` is a hint, where to begin, and is left at the best; `also` (a reading's index, or
// any larger number) is where to go next. `alike` gives for each charset the first that reads the
// text as it does, whose costs it shares. `floors` gives up on all of a charset's readings at once
// where even its cheapest cost of each pair leaves it that far behind.
std::vector<ReadingCost> ScoreReadings(const PairCounts& pairs, std::uint32_t strayCost,
                                       double lowWeight, double enough, std::size_t& first,
                                       std::size_t also, std::span<const std::size_t> alike,
                                       PairFloors& floors);

// The index among the readings ScoreReadings gives of `charset`'s first.
std::size_t FirstReadingOf(std::size_t charset);

// What each value of a text with a byte of 0x80 or above costs read in one
// charset as one language: its pairs below 0x80, and the others.
struct ValueCost {
  std::uint64_t low = 0, high = 0;
};

// The pairs of each value of a text (values end in a line feed) that has a
// byte of 0x80 or above, read once and weighed in as many readings as asked.
class ValuePairs {
 public:
  void read(std::span<const std::uint8_t> text);
  // The values' costs read in `charset` as `language`, in order, kept until
  // the next text: a text's mixtures and its languages ask for some of the
  // same readings. The pairs below 0x80 read alike in every charset: a
  // language's are counted once.
  const std::vector<ValueCost>& costs(std::size_t charset, std::size_t language,
                                      std::uint32_t strayCost);

 private:
  struct Pair {
    std::uint8_t first, second;
  };
  struct Reading {
    std::size_t charset, language;
    std::vector<ValueCost> values;
  };
  // The readings asked for since the last text; a deque, so that the costs
  // handed out stay where they are.
  std::deque<Reading> readings_;
  std::size_t readingsUsed_ = 0;
  std::vector<Pair> low_, high_;                   // value after value
  std::vector<std::uint32_t> lowEnds_, highEnds_;  // where each value's pairs end
  std::array<bool, 128> occurs_{};                 // which bytes of 0x80 and above the text holds
  // Each language's costs of the values' pairs below 0x80, once counted.
  std::vector<std::vector<std::uint64_t>> lowCosts_;
  std::uint32_t lowStray_ = 0;
};

}  // namespace tablemark
