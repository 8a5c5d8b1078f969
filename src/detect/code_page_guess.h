// Naming the code page a table's text is written in.
//
// Every way of reading the text is weighed on one scale: each single-byte
// charset in each language of its script by the likelihood of the text
// under that language's letter-pair model (letter_pairs.h), a prior over
// the code pages the language is written in, and uchardet's answer as
// evidence beside them; a text in a script no model reads, a multi-byte
// encoding uchardet names, and a table whose values are in two code pages
// are readings too. Readings that give the same characters are one answer,
// and an answer is sure when its share of the whole is large enough.
// Where it is not, the answer is that it is unsure: never a guess.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "detect/charset_detector.h"
#include "detect/letter_pairs.h"

namespace tablemark {

struct TextVerdict {
  enum class Kind {
    Plain,     // no text, or only ASCII: any mark reads it alike
    Unsure,    // text, but no code page is sure
    CodePage,  // written in `codePage`, a code page of the mark table
    Encoding,  // written in an encoding no mark stands for, named `encoding`
  };
  Kind kind = Kind::Plain;
  std::int32_t codePage = 0;
  std::string_view encoding;
};

// The model's constants, all in nats but the share. They were chosen on
// tables of writing kept apart from what the letter pairs learnt from, so
// that no sure answer there was wrong (tests/detect/ tells how).
struct GuessModel {
  // What the evidence is divided by: neighbouring pairs of a text are not
  // independent, and a model that took them for so would be sure too soon.
  double temperature = 1.0;
  // How many pairs with a byte beyond ASCII count in full; a text with more
  // weighs each the less, so that what decides is how much a reading is
  // likelier pair for pair, not how many pairs there are.
  double evidencePairs = 100;
  // What the pairs of ASCII alone count for, against the pairs with a byte
  // beyond it.
  double asciiWeight = 0.3;
  // What a pair of a reading costs before its cost grows more slowly: a
  // sign or a letter from abroad costs much, but not a page of evidence.
  // A capital after a small letter of its word costs as much again.
  double strayCost = 9.0;
  // The share of the whole a sure answer must have: five times less doubt
  // than the least with which a table of its size (under `smallText` bytes
  // of text in its values, or not) was answered wrong in the kinds of
  // writing the model is tuned on. A small text rests on a few bytes beyond
  // ASCII, and a model sure of so little is sure too soon.
  double sureShare = 0.9978545;
  double smallSureShare = 0.9999841;
  std::size_t smallText = 1024;
  // What a pair with a byte beyond ASCII costs in a script no model reads,
  // and in the multi-byte encoding uchardet names: a character of such a
  // script, one of some thousands, takes two bytes.
  double unknownPairCost = 8.0;
  double multiBytePairCost = 4.0;
  // What uchardet's answer adds to the readings it stands for: much where
  // it is strong (a multi-byte encoding, Thai, Hebrew, Arabic), little
  // where it is not (a single-byte page of an alphabet several pages share).
  double uchardetStrong = 8.0;
  double uchardetWeak = 1.0;
  // uchardet takes more time than the rest of the guess, and is asked only
  // where its answer could change the verdict; the tuning tool asks it
  // always, for every answer's share.
  bool alwaysAskDetector = false;
  // How many pairs with a byte beyond ASCII uchardet must have seen for
  // its answer to count in full; fewer count for less. Which double-byte
  // encoding a text is in takes it more: `multiByteFullEvidence`.
  double uchardetFullEvidence = 32;
  double multiByteFullEvidence = 256;
  // What a text that reads as double bytes costs beforehand as written in
  // a double-byte encoding other than uchardet's answer, or in one where
  // it names none.
  double otherMultiBytePrior = 4.0;
  // How many characters beyond ASCII a text in well-formed UTF-8 must have,
  // in the distinct words weighed, to be named UTF-8 whatever they are;
  // with fewer it may be a code page's text that happens to be, and is
  // named UTF-8 only where its characters read as writing. The chance is
  // about a fourth for each character in capitals of 1250.
  std::size_t leastUtf8Characters = 4;
  // What a table whose values are in two code pages costs beforehand, and
  // in how many of the likeliest languages it is read so.
  double mixturePrior = 12.0;
  std::size_t mixtureLanguages = 2;
  // How many of the likeliest answers are read as a table of several
  // languages, in how many of the likeliest languages, what that costs
  // beforehand, and the share of its values in its own language.
  std::size_t multilingualAnswers = 3;
  std::size_t multilingualLanguages = 5;
  double multilingualPrior = 2.0;
  double multilingualOwnShare = 0.5;
  // How much commoner than the average letter beyond ASCII the commonest
  // must be for a text to be read as a script none of whose letters is in
  // ASCII (Cyrillic, Greek, Hebrew, Arabic, Thai). Writing in such a script
  // has letters far commoner than the rest; a list of letters (an
  // alphabet, the accented vowels of a conversion table, test data) has
  // each about as often as the next, and its page's letters, which follow
  // one another in no word of its own language, read as the letters of
  // another script's words.
  double leastPeak = 2.0;
  // What a code page costs beforehand for a language, by its place among
  // the pages the language is written in, and for a page it is not.
  std::array<double, 6> homePagePrior{0.5, 1.6, 2.3, 3.0, 3.5, 3.9};
  double awayPagePrior = 12.0;
};

// Why a text got its verdict: each answer's share, for the tuning tool.
struct AnswerShare {
  TextVerdict verdict;
  double share;
  // The charset of the answer's likeliest reading; none for a multi-byte
  // encoding.
  const SingleByteCharset* charset = nullptr;
};

class CodePageGuesser {
 public:
  explicit CodePageGuesser(SharedLibraries& libraries, const GuessModel& model = {})
      : detector_(libraries), model_(model) {}

  // Names the code page of `text` (values, each ending in a line feed).
  // Where the code page the table is marked with (`markedCodePage`; -1 for
  // none) reads the text the same as the answer, the marked one is named.
  TextVerdict guess(std::span<const std::uint8_t> text, std::int32_t markedCodePage);

  // The answers of the last guess with their shares, likeliest first.
  const std::vector<AnswerShare>& lastShares() const { return shares_; }

 private:
  struct Hypothesis;
  struct Group;
  void weigh(std::span<const std::uint8_t> text, std::int32_t markedCodePage, double sure);
  bool readsAsList(bool latin) const;

  CharsetDetector detector_;
  GuessModel model_;
  PairCounts pairs_;
  PairFloors pairFloors_;
  ValuePairs valuePairs_;
  // The reading that won the last text, and the one that won the last text
  // of another script (SIZE_MAX: none yet).
  std::size_t lastWinner_ = 0;
  std::size_t otherWinner_ = SIZE_MAX;
  // Reused from text to text.
  std::unordered_set<std::string_view> seen_;
  std::vector<std::uint8_t> distinct_;
  std::vector<const std::vector<ValueCost>*> homeCosts_;
  std::vector<double> valueScores_;
  std::vector<std::size_t> homes_;
  std::vector<std::pair<double, std::size_t>> tongues_;
  std::vector<std::size_t> otherLanguages_;
  std::vector<AnswerShare> shares_;
  std::vector<double> groupWeights_, groupBoosts_;
  // What each reading's code page costs beforehand for its language.
  std::vector<double> readingPriors_;
  // What each reading of the last text costs, weighed.
  std::vector<double> readingCosts_;
};

// True when `text` is well-formed UTF-8 with at least one character
// beyond ASCII. A character cut short at the end of a value (where the
// sample ends it, before a line feed) counts as well-formed.
bool IsUtf8(std::span<const std::uint8_t> text);

}  // namespace tablemark
