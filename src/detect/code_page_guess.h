// Naming the code page a table's text is written in.
//
// uchardet, the general detector, tells scripts and multi-byte encodings
// apart well (Cyrillic, CJK, Thai, Arabic, Hebrew), but not a Windows code
// page from its DOS or Mac sibling. Where its answer is a single-byte
// European page, every such page's reading of the text is weighed by letter
// pairs (letter_pairs.h) instead, and readings that give the same
// characters count as one answer. Where the evidence does not settle it,
// the answer is that it is unsure, not a guess.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

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

// How sure a letter-pair answer must be: its cost under the runner-up
// reading minus its own, in tenths of a nat.
inline constexpr std::uint64_t kSureMargin = 60;
// Where the two likeliest pages read at most this many bytes of the text
// differently, each a letter in both, the evidence is too thin to weigh.
inline constexpr std::uint64_t kThinEvidence = 1;
// A reading in which more than one byte beyond ASCII in this many reads as
// a sign or a letter its language never uses is no reading.
inline constexpr std::uint64_t kStrayShare = 50;
// A reading whose pairs cost at most this on average (tenths of a nat per
// byte beyond ASCII) is plain text: it wins over uchardet's answer.
inline constexpr std::uint64_t kPlainFit = 45;
// A text in which at most one letter in this many is beyond ASCII is in a
// Latin script, not in one that multi-byte or Thai, Hebrew or Arabic pages
// write with bytes beyond ASCII alone.
inline constexpr std::uint64_t kSparseShare = 6;

class CodePageGuesser {
 public:
  explicit CodePageGuesser(SharedLibraries& libraries) : detector_(libraries) {}
  // Names the code page of `text`. Where the code page the table is marked
  // with (`markedCodePage`; -1 for a mark of none) reads the text the same
  // as the answer, the marked one is named.
  TextVerdict guess(std::span<const std::uint8_t> text, std::int32_t markedCodePage);

 private:
  struct LetterPairAnswer {
    TextVerdict verdict{TextVerdict::Kind::Unsure, 0, {}};
    bool clean = false;     // no stray reading
    std::uint64_t fit = 0;  // cost per byte beyond ASCII
    Script script = Script::Latin;
  };
  LetterPairAnswer weighLetterPairs(std::int32_t markedCodePage);

  CharsetDetector detector_;
  PairCounts pairs_;
};

// True when `text` is well-formed UTF-8 with at least one character
// beyond ASCII. A character cut short at the end of a value (where the
// sample ends it, before a line feed) counts as well-formed.
bool IsUtf8(std::span<const std::uint8_t> text);

}  // namespace tablemark
