#include "detect/code_page_guess.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tablemark {
namespace {

// uchardet's answers that stand: scripts with one page of the mark table,
// and multi-byte encodings, which letter pairs cannot weigh. Any other
// answer is a single-byte European page, weighed by letter pairs.
struct TrustedAnswer {
  std::string_view name;  // as uchardet gives it
  std::int32_t codePage;  // 0: an encoding no mark stands for
};
constexpr std::array<TrustedAnswer, 22> kTrusted{{
    {"SHIFT_JIS", 932},     {"GB18030", 936},     {"GB2312", 936},        {"GBK", 936},
    {"BIG5", 950},          {"EUC-KR", 949},      {"UHC", 949},           {"TIS-620", 874},
    {"ISO-8859-11", 874},   {"WINDOWS-874", 874}, {"WINDOWS-1255", 1255}, {"ISO-8859-8", 1255},
    {"WINDOWS-1256", 1256}, {"EUC-JP", 0},        {"ISO-2022-JP", 0},     {"ISO-2022-KR", 0},
    {"ISO-2022-CN", 0},     {"EUC-TW", 0},        {"HZ-GB-2312", 0},      {"ISO-8859-6", 0},
    {"UTF-16", 0},          {"UTF-32", 0},
}};

bool HasHighBytes(std::span<const std::uint8_t> text) {
  return std::any_of(text.begin(), text.end(), [](std::uint8_t b) { return b >= 0x80; });
}

}  // namespace

bool IsUtf8(std::span<const std::uint8_t> text) {
  bool beyondAscii = false;
  for (std::size_t i = 0; i < text.size();) {
    const std::uint8_t lead = text[i];
    std::size_t length = 1;
    std::uint32_t least = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, least = 0x10000;
    } else {
      return false;
    }
    std::uint32_t code = lead & (0xFF >> (length + 1));
    std::size_t k = 1;
    for (; k < length && i + k < text.size() && text[i + k] != '\n'; ++k) {
      if ((text[i + k] & 0xC0) != 0x80) return false;
      code = code << 6 | (text[i + k] & 0x3F);
    }
    const bool cut = k < length;  // by the end of the value or of the text
    if (!cut && (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) {
      return false;
    }
    beyondAscii = beyondAscii || !cut;
    i += k;
  }
  return beyondAscii;
}

TextVerdict CodePageGuesser::guess(std::span<const std::uint8_t> text,
                                   std::int32_t markedCodePage) {
  if (!HasHighBytes(text)) return {};
  if (IsUtf8(text)) return {TextVerdict::Kind::Encoding, 0, "UTF-8"};
  pairs_.count(text);
  const LetterPairAnswer letters = weighLetterPairs(markedCodePage);

  const std::string_view name = detector_.detect(text);
  const auto trusted =
      std::find_if(kTrusted.begin(), kTrusted.end(),
                   [&](const TrustedAnswer& answer) { return answer.name == name; });
  if (trusted == kTrusted.end()) {
    return letters.clean ? letters.verdict : TextVerdict{TextVerdict::Kind::Unsure, 0, {}};
  }
  // A script of one page, or a multi-byte encoding: uchardet's answer,
  // unless the text reads plainly in a single-byte page: as a language of
  // few letters beyond ASCII (uchardet now and then takes Italian for
  // Thai), or at little cost (and Cyrillic for Chinese).
  const bool sparse =
      letters.script == Script::Latin && pairs_.highCount() * kSparseShare <= pairs_.letterCount();
  if (letters.clean && (sparse || letters.fit <= kPlainFit)) return letters.verdict;
  if (trusted->codePage != 0) return {TextVerdict::Kind::CodePage, trusted->codePage, {}};
  return {TextVerdict::Kind::Encoding, 0, trusted->name};
}

CodePageGuesser::LetterPairAnswer CodePageGuesser::weighLetterPairs(std::int32_t markedCodePage) {
  const auto charsets = SingleByteCharsets();
  // The language is the one the likeliest reading is in; then every
  // charset is weighed as that language, so that what decides between them
  // is the bytes they read differently, not how well some other language
  // suits the rest of the text.
  const CharsetScores scores(pairs_);
  std::vector<CharsetCost> costs = scores.best();
  const auto likeliest = std::min_element(
      costs.begin(), costs.end(), [](const auto& a, const auto& b) { return a.cost < b.cost; });
  if (likeliest == costs.end() || likeliest->cost == UINT64_MAX) return {};
  costs = scores.best(likeliest->language);
  // Cheapest first; of equal costs, the commoner.
  std::sort(costs.begin(), costs.end(), [](const CharsetCost& a, const CharsetCost& b) {
    return a.cost != b.cost ? a.cost < b.cost : a.charset < b.charset;
  });
  // Where the bytes of this text read alike in two charsets, they are one
  // answer; how often the text holds a byte they read differently is the
  // evidence between them.
  const auto differences = [&](const CharsetCost& a, const CharsetCost& b) {
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < 128; ++i) {
      if (charsets[a.charset].reads[i] != charsets[b.charset].reads[i]) {
        count += pairs_.occurrences(static_cast<std::uint8_t>(0x80 + i));
      }
    }
    return count;
  };
  // The likeliest reading, which the scoring under its own language keeps.
  const CharsetCost& best = costs.front();
  const LanguageModel& language = LanguageModels()[best.language];
  LetterPairAnswer answer;
  answer.clean = StrayCount(pairs_, best) * kStrayShare <= pairs_.highCount();
  answer.fit = pairs_.highCount() == 0 ? 0 : best.highCost / pairs_.highCount();
  answer.script = language.script;
  // How common a reading is for the text's language: its place among the
  // pages the language is written in, else after them in the commonest
  // order of all pages; of charsets that read it alike, the best place.
  const auto place = [&](std::size_t charset) {
    const auto home =
        std::find(language.homePages.begin(), language.homePages.end(), charsets[charset].codePage);
    return charsets[charset].codePage != 0 && home != language.homePages.end()
               ? static_cast<std::size_t>(home - language.homePages.begin())
               : language.homePages.size() + charset;
  };
  const auto commonest = [&](const CharsetCost& reading) {
    std::size_t first = place(reading.charset);
    for (const CharsetCost& cost : costs) {
      if (differences(cost, reading) == 0) first = std::min(first, place(cost.charset));
    }
    return first;
  };
  // Whether every byte the two read differently is a letter in both.
  const auto letterForLetter = [&](const CharsetCost& a, const CharsetCost& b) {
    for (std::size_t i = 0; i < 128; ++i) {
      if (pairs_.occurs(static_cast<std::uint8_t>(0x80 + i)) &&
          charsets[a.charset].reads[i] != charsets[b.charset].reads[i] &&
          (charsets[a.charset].letters[i] != '1' || charsets[b.charset].letters[i] != '1')) {
        return false;
      }
    }
    return true;
  };
  // Every reading that comes within the margin must give way. One that
  // differs from the likeliest in a byte or two that read as one letter or
  // another is too little to trust the letter pairs over how often each
  // page is met for the language (a name from abroad, say): the likeliest
  // stands where it is the commoner page, and nothing is named where the
  // contender is.
  for (const CharsetCost& contender : costs) {
    if (contender.cost - best.cost >= kSureMargin) break;
    const std::uint64_t differing = differences(best, contender);
    if (differing == 0) continue;
    if (differing > kThinEvidence || !letterForLetter(best, contender) ||
        commonest(contender) < commonest(best)) {
      return answer;
    }
  }
  // Of the charsets that read it alike, the marked one, else the commonest.
  const SingleByteCharset* named = nullptr;
  std::size_t namedPlace = SIZE_MAX;
  for (const CharsetCost& cost : costs) {
    if (differences(cost, best) != 0) continue;
    const SingleByteCharset& charset = charsets[cost.charset];
    if (charset.codePage != 0 && charset.codePage == markedCodePage) {
      named = &charset;
      break;
    }
    if (place(cost.charset) < namedPlace) {
      named = &charset;
      namedPlace = place(cost.charset);
    }
  }
  answer.verdict = named->codePage != 0
                       ? TextVerdict{TextVerdict::Kind::CodePage, named->codePage, {}}
                       : TextVerdict{TextVerdict::Kind::Encoding, 0, named->name};
  return answer;
}

}  // namespace tablemark
