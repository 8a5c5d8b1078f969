#include "detect/code_page_guess.h"

#include <algorithm>
#include <cmath>

namespace tablemark {
namespace {

// uchardet's answers, as the readings they stand for.
struct DetectorAnswer {
  std::string_view name;  // as uchardet gives it
  std::int32_t codePage;  // its code page of the mark table; 0: none
  enum Kind { Weak, Strong, MultiByte } kind;
  // The single-byte charset it names where that has no code page of the
  // mark table; empty for a multi-byte encoding.
  std::string_view charset;
};
constexpr DetectorAnswer kAnswers[] = {
    {"WINDOWS-1250", 1250, DetectorAnswer::Weak, {}},
    {"WINDOWS-1251", 1251, DetectorAnswer::Weak, {}},
    {"WINDOWS-1252", 1252, DetectorAnswer::Weak, {}},
    {"WINDOWS-1253", 1253, DetectorAnswer::Weak, {}},
    {"WINDOWS-1254", 1254, DetectorAnswer::Weak, {}},
    {"WINDOWS-1257", 1257, DetectorAnswer::Weak, {}},
    {"ISO-8859-1", 1252, DetectorAnswer::Weak, {}},
    {"ISO-8859-15", 1252, DetectorAnswer::Weak, {}},
    {"ISO-8859-7", 1253, DetectorAnswer::Weak, {}},
    {"ISO-8859-9", 1254, DetectorAnswer::Weak, {}},
    {"ISO-8859-13", 1257, DetectorAnswer::Weak, {}},
    {"IBM852", 852, DetectorAnswer::Weak, {}},
    {"IBM866", 866, DetectorAnswer::Weak, {}},
    {"MAC-CENTRALEUROPE", 10029, DetectorAnswer::Weak, {}},
    {"MAC-CYRILLIC", 10007, DetectorAnswer::Weak, {}},
    {"ISO-8859-2", 0, DetectorAnswer::Weak, "ISO-8859-2"},
    {"ISO-8859-5", 0, DetectorAnswer::Weak, "ISO-8859-5"},
    {"KOI8-R", 0, DetectorAnswer::Weak, "KOI8-R"},
    {"TIS-620", 874, DetectorAnswer::Strong, {}},
    {"ISO-8859-11", 874, DetectorAnswer::Strong, {}},
    {"WINDOWS-874", 874, DetectorAnswer::Strong, {}},
    {"WINDOWS-1255", 1255, DetectorAnswer::Strong, {}},
    {"ISO-8859-8", 0, DetectorAnswer::Strong, "ISO-8859-8"},
    {"WINDOWS-1256", 1256, DetectorAnswer::Strong, {}},
    {"ISO-8859-6", 0, DetectorAnswer::Strong, "ISO-8859-6"},
    {"SHIFT_JIS", 932, DetectorAnswer::MultiByte, {}},
    {"GB18030", 936, DetectorAnswer::MultiByte, {}},
    {"GB2312", 936, DetectorAnswer::MultiByte, {}},
    {"GBK", 936, DetectorAnswer::MultiByte, {}},
    {"BIG5", 950, DetectorAnswer::MultiByte, {}},
    {"EUC-KR", 949, DetectorAnswer::MultiByte, {}},
    {"UHC", 949, DetectorAnswer::MultiByte, {}},
    {"EUC-JP", 0, DetectorAnswer::MultiByte, {}},
    {"ISO-2022-JP", 0, DetectorAnswer::MultiByte, {}},
    {"ISO-2022-KR", 0, DetectorAnswer::MultiByte, {}},
    {"ISO-2022-CN", 0, DetectorAnswer::MultiByte, {}},
    {"EUC-TW", 0, DetectorAnswer::MultiByte, {}},
    {"HZ-GB-2312", 0, DetectorAnswer::MultiByte, {}},
    {"UTF-16", 0, DetectorAnswer::MultiByte, {}},
    {"UTF-32", 0, DetectorAnswer::MultiByte, {}},
};

// The distinct words weighed at most: more says nothing new of a code page,
// and costs time.
constexpr std::size_t kDistinctBytes = 16384;

const DetectorAnswer* AnswerNamed(std::string_view name) {
  for (const DetectorAnswer& answer : kAnswers) {
    if (answer.name == name) return &answer;
  }
  return nullptr;
}

// Whether `answer` names `charset`.
bool Names(const DetectorAnswer& answer, const SingleByteCharset& charset) {
  return answer.kind != DetectorAnswer::MultiByte &&
         (answer.charset.empty() ? charset.codePage == answer.codePage
                                 : charset.name == answer.charset);
}

// Whether uchardet names each charset where it is strong.
const std::vector<bool>& NamedStrongly() {
  static const std::vector<bool> strongly = [] {
    std::vector<bool> made;
    for (const SingleByteCharset& charset : SingleByteCharsets()) {
      made.push_back(
          std::any_of(std::begin(kAnswers), std::end(kAnswers), [&](const DetectorAnswer& answer) {
            return answer.kind == DetectorAnswer::Strong && Names(answer, charset);
          }));
    }
    return made;
  }();
  return strongly;
}

// Whether uchardet's answer, whatever it is, leaves the verdict as it is:
// the likeliest answer sure whichever reading it favours, or none sure
// whichever. `weights`: each answer's weight of the `whole`; `boosts`: what
// uchardet naming it would multiply it by; a multi-byte encoding named
// would take `dropped` away from the whole and add at most `added`.
bool AnswerMoot(std::span<const double> weights, std::span<const double> boosts, double whole,
                double dropped, double added, double sure) {
  if (weights.empty()) return false;
  const std::size_t top =
      static_cast<std::size_t>(std::max_element(weights.begin(), weights.end()) - weights.begin());
  // A hair of safety against rounding: the shares are reckoned anew.
  const double least = sure * (1 + 1e-9), most = sure * (1 - 1e-9);
  if (weights[top] >= least * whole) {
    if (weights[top] < least * (whole + added)) return false;
    for (std::size_t g = 0; g < weights.size(); ++g) {
      if (g != top && weights[top] < least * (whole + (boosts[g] - 1) * weights[g])) return false;
    }
    return true;
  }
  if (weights[top] >= most * (whole - dropped) || added >= most * (whole - dropped + added)) {
    return false;
  }
  for (std::size_t g = 0; g < weights.size(); ++g) {
    if (boosts[g] * weights[g] >= most * (whole + (boosts[g] - 1) * weights[g])) return false;
  }
  return true;
}

bool HasHighBytes(std::span<const std::uint8_t> text) {
  return std::any_of(text.begin(), text.end(), [](std::uint8_t b) { return b >= 0x80; });
}

bool AsciiLetter(std::uint8_t b) { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }

// How many characters of a double-byte encoding stand alone in a word of
// ASCII's letters: a byte beyond ASCII with none beside it or beside its
// second byte, and a letter of ASCII before it or after its second. Writing
// in such an encoding has its characters side by side, a Latin word beside
// one now and then ("A型"); a Latin page's text has each letter with an
// accent alone in a word ("prostituée", "piëdestal").
std::size_t DoubleBytesInLatinWords(std::span<const std::uint8_t> text) {
  std::size_t found = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] < 0x80) continue;
    const std::uint8_t before = i > 0 ? text[i - 1] : ' ';
    const std::uint8_t after = i + 2 < text.size() ? text[i + 2] : ' ';
    const bool alone = before < 0x80 && after < 0x80;
    found += alone && (AsciiLetter(before) || AsciiLetter(after)) ? 1 : 0;
    ++i;  // its second byte
  }
  return found;
}

// Below this, what a likelihood adds to one this much likelier is less
// than a double's rounding of 1 (e^-40 is 4e-18): it need not be reckoned.
constexpr double kNegligible = -40;

std::size_t ScriptIndex(Script script) { return static_cast<std::size_t>(script); }

// Whether the text could be in a double-byte encoding: each byte from 0x81
// up but 0xFF leads a character whose second byte is 0x40-0xFE but 0x7F,
// within its value; the sample may cut a value's last character short.
bool ReadsAsDoubleBytes(std::span<const std::uint8_t> text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint8_t lead = text[i];
    if (lead < 0x80) continue;
    if (lead == 0x80 || lead == 0xFF) return false;
    if (i + 1 == text.size() || text[i + 1] == '\n') continue;
    const std::uint8_t second = text[++i];
    if (second < 0x40 || second == 0x7F || second == 0xFF) return false;
  }
  return true;
}

// The character of UTF-8 at `at`: a byte below 0x80 is one.
struct Utf8Character {
  std::uint32_t code;
  std::size_t length;  // bytes taken
  bool cut;            // short, by the end of the value or of the text
  bool wellFormed;
};
Utf8Character Utf8CharacterAt(std::span<const std::uint8_t> text, std::size_t at) {
  const std::uint8_t lead = text[at];
  std::size_t length = 1;
  std::uint32_t least = 0;
  if (lead < 0x80) {
    return {lead, 1, false, true};
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, least = 0x10000;
  } else {
    return {lead, 1, false, false};
  }
  std::uint32_t code = lead & (0xFF >> (length + 1));
  std::size_t k = 1;
  for (; k < length && at + k < text.size() && text[at + k] != '\n'; ++k) {
    if ((text[at + k] & 0xC0) != 0x80) return {code, k, false, false};
    code = code << 6 | (text[at + k] & 0x3F);
  }
  const bool cut = k < length;
  const bool wellFormed =
      cut || (code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF));
  return {code, k, cut, wellFormed};
}

// Whether well-formed UTF-8 reads as writing does: no control character,
// and beside a letter of ASCII only a letter of the Latin script, as in a
// word. A letter of another script or a sign inside a Latin word is what a
// code page's letters make of it.
bool Utf8ReadsAsWriting(std::span<const std::uint8_t> text) {
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Character c = Utf8CharacterAt(text, i);
    const std::size_t end = i + c.length;
    const bool latinLetter =
        (c.code >= 0xC0 && c.code <= 0x24F && c.code != 0xD7 && c.code != 0xF7) ||
        (c.code >= 0x1E00 && c.code <= 0x1EFF);
    const bool besideAscii =
        (i > 0 && AsciiLetter(text[i - 1])) || (end < text.size() && AsciiLetter(text[end]));
    if (text[i] >= 0x80 && !c.cut && (c.code < 0xA0 || (besideAscii && !latinLetter))) {
      return false;
    }
    i = end;
  }
  return true;
}

// log(e^a + e^b), without overflow.
double LogSum(double a, double b) {
  const double most = std::max(a, b), least = std::min(a, b);
  return least - most < kNegligible ? most : most + std::log1p(std::exp(least - most));
}

}  // namespace

bool IsUtf8(std::span<const std::uint8_t> text) {
  bool beyondAscii = false;
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Character c = Utf8CharacterAt(text, i);
    if (!c.wellFormed) return false;
    beyondAscii = beyondAscii || (c.code >= 0x80 && !c.cut);
    i += c.length;
  }
  return beyondAscii;
}

// One way of reading the text, and the answer it gives: a group of
// readings that give the same characters (or none, for a reading that
// names no code page: a script no model reads, two pages mixed).
struct CodePageGuesser::Hypothesis {
  double score;  // log-likelihood over the temperature, less the prior
  int group;     // -1: no answer
};

struct CodePageGuesser::Group {
  std::size_t charset;  // the first charset of the group, or of none (multi-byte)
  bool multiByte = false;
  const DetectorAnswer* answer = nullptr;  // multi-byte: what uchardet named
  double share = 0;
  double best = -HUGE_VAL;  // the best reading's score, language and charset
  std::size_t language = 0;
  std::size_t bestCharset = 0;
};

TextVerdict CodePageGuesser::guess(std::span<const std::uint8_t> text,
                                   std::int32_t markedCodePage) {
  shares_.clear();
  if (!HasHighBytes(text)) return {};
  const bool utf8 = IsUtf8(text);
  // A word met again says nothing new about the code page: a product list
  // names the same unit a thousand times, a test string repeats itself. A
  // word is a run of letters and bytes beyond ASCII, which the letter pairs
  // read; the rest of ASCII only parts them.
  seen_.clear();
  distinct_.clear();
  std::size_t utf8High = 0, otherHigh = 0, textBytes = 0;
  const auto inWord = [](std::uint8_t b) {
    return b >= 0x80 || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
  };
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\n') ++end;
    const auto value = text.subspan(start, end - start);
    textBytes += value.size();
    const auto high = static_cast<std::size_t>(
        std::count_if(value.begin(), value.end(), [](std::uint8_t b) { return b >= 0x80; }));
    (high != 0 && IsUtf8(value) ? utf8High : otherHigh) += high;
    for (std::size_t at = 0; at < value.size();) {
      std::size_t stop = at;
      while (stop < value.size() && inWord(value[stop])) ++stop;
      const std::string_view word(reinterpret_cast<const char*>(value.data()) + at, stop - at);
      if (stop > at && distinct_.size() < kDistinctBytes && seen_.insert(word).second) {
        distinct_.insert(distinct_.end(), value.begin() + static_cast<std::ptrdiff_t>(at),
                         value.begin() + static_cast<std::ptrdiff_t>(stop));
        distinct_.push_back(' ');
      }
      at = stop + 1;
    }
    distinct_.push_back('\n');
    start = end + 1;
  }
  // A code page's text is well-formed UTF-8 now and then by chance where it
  // has a letter or two beyond ASCII: "VYSKÚŠAJ" in 1250 (DA 8A) reads as
  // "VYSKڊAJ". Where the words weighed have enough characters of UTF-8 the
  // chance is too small to matter; where they have fewer, they must read as
  // writing does.
  if (utf8) {
    const auto characters = static_cast<std::size_t>(std::count_if(
        distinct_.begin(), distinct_.end(), [](std::uint8_t b) { return b >= 0xC2; }));
    if (characters < model_.leastUtf8Characters && !Utf8ReadsAsWriting(text)) {
      return {TextVerdict::Kind::Unsure, 0, {}};
    }
    return {TextVerdict::Kind::Encoding, 0, "UTF-8"};
  }
  // Values in UTF-8 beside values in a code page: two encodings, of which
  // no one code page reads the whole. (A short value of a code page now
  // and then reads as UTF-8 by chance.)
  if (utf8High >= 16 && utf8High * 4 >= utf8High + otherHigh) {
    return {TextVerdict::Kind::Unsure, 0, {}};
  }
  pairs_.count(distinct_);
  valuePairs_.read(distinct_);
  const double sure = textBytes < model_.smallText ? model_.smallSureShare : model_.sureShare;
  weigh(text, markedCodePage, sure);
  const AnswerShare& best = shares_.front();
  if (best.share < sure) {
    return {TextVerdict::Kind::Unsure, 0, {}};
  }
  // Letters about equally common are a list of them, not writing in a
  // script of its own: in a Latin page they read as such writing. In a
  // Latin script, writing has far more letters of ASCII than beyond it; a
  // list of the letters beyond it reads as the writing of whichever
  // language has them.
  if (best.charset != nullptr && readsAsList(best.charset->script == Script::Latin)) {
    return {TextVerdict::Kind::Unsure, 0, {}};
  }
  return best.verdict;
}

bool CodePageGuesser::readsAsList(bool latin) const {
  // How often each byte beyond ASCII is met in the words weighed, capitals
  // read as small letters where most pages keep them, 0x20 below.
  std::array<std::uint32_t, 256> counts{};
  std::uint32_t kinds = 0, total = 0, most = 0, ascii = 0;
  for (std::uint8_t byte : distinct_) {
    ascii += AsciiLetter(byte) ? 1 : 0;
    if (byte < 0x80) continue;
    if (byte >= 0xC0 && byte < 0xE0) byte += 0x20;
    kinds += counts[byte] == 0 ? 1 : 0;
    most = std::max(most, ++counts[byte]);
    ++total;
  }
  // A third of the letters or more: no Latin writing has so many.
  if (latin && 2 * total < ascii) return false;
  return static_cast<double>(most) * kinds < model_.leastPeak * total;
}

void CodePageGuesser::weigh(std::span<const std::uint8_t> text, std::int32_t markedCodePage,
                            double sure) {
  const auto charsets = SingleByteCharsets();
  const auto models = LanguageModels();
  // Costs are in tenths of a nat. Beyond some pairs the evidence saturates:
  // a long text whose every pair favours a reading a little is no surer of
  // it than a shorter one, since the models are only models.
  const double scale =
      10.0 * model_.temperature *
      std::max(1.0, static_cast<double>(pairs_.highPairCount()) / model_.evidencePairs);

  // Charsets that read the bytes present alike are one answer.
  std::vector<std::size_t> present;  // bytes beyond ASCII, less 0x80
  for (std::size_t i = 0; i < 128; ++i) {
    if (pairs_.occurs(static_cast<std::uint8_t>(0x80 + i))) present.push_back(i);
  }
  std::vector<Group> groups;
  std::vector<int> groupOf(charsets.size());
  for (std::size_t c = 0; c < charsets.size(); ++c) {
    const auto readsAlike = [&](const Group& group) {
      const SingleByteCharset& other = charsets[group.charset];
      return std::all_of(present.begin(), present.end(),
                         [&](std::size_t i) { return charsets[c].reads[i] == other.reads[i]; });
    };
    const auto found = std::find_if(groups.begin(), groups.end(), readsAlike);
    groupOf[c] = static_cast<int>(found - groups.begin());
    if (found == groups.end()) groups.push_back({c});
  }
  // Of a script's charsets, those that read the text alike cost the same.
  std::vector<std::size_t> alike(charsets.size());
  for (std::size_t c = 0; c < charsets.size(); ++c) {
    const std::size_t first = groups[groupOf[c]].charset;
    alike[c] = charsets[first].script == charsets[c].script ? first : c;
  }
  const auto prior = [&](std::size_t charset, std::size_t language) {
    const auto& pages = models[language].homePages;
    const auto home = std::find(pages.begin(), pages.end(), charsets[charset].codePage);
    return charsets[charset].codePage != 0 && home != pages.end()
               ? model_.homePagePrior[static_cast<std::size_t>(home - pages.begin())]
               : model_.awayPagePrior;
  };

  // What uchardet's answer is worth grows with the text it saw.
  const double evidence =
      std::min(1.0, static_cast<double>(pairs_.highPairCount()) / model_.uchardetFullEvidence);

  const auto strayCost = static_cast<std::uint32_t>(10.0 * model_.strayCost);
  // Weighed first, the reading that won the last text, then the one that
  // won the last text of another script: a directory may hold tables of
  // several scripts.
  std::size_t first = lastWinner_;
  // A reading that much behind the likeliest has no share worth counting.
  const std::vector<ReadingCost> readings = ScoreReadings(
      pairs_, strayCost, model_.asciiWeight, 30.0 * scale, first, otherWinner_, alike, pairFloors_);
  if (charsets[readings[first].charset].script != charsets[readings[lastWinner_].charset].script) {
    otherWinner_ = lastWinner_;
  }
  lastWinner_ = first;
  // What a reading costs. The pairs below 0x80 read alike in every charset,
  // and in tables they are codes, numbers and words in English as often as
  // words of the table's language: they count for the language, but less.
  // Reckoned once, as every pass below asks.
  readingCosts_.clear();
  for (const ReadingCost& reading : readings) {
    readingCosts_.push_back(model_.asciiWeight * static_cast<double>(reading.lowCost) +
                            static_cast<double>(reading.cost - reading.lowCost));
  }
  const auto cost = [&](const ReadingCost& reading) {
    return readingCosts_[static_cast<std::size_t>(&reading - readings.data())];
  };
  if (readingPriors_.empty()) {
    for (const ReadingCost& reading : readings) {
      readingPriors_.push_back(prior(reading.charset, reading.language));
    }
  }
  // The readings, a script no model reads, two multi-byte encodings, two of
  // at most six home pages mixed in each of the likeliest languages, and a
  // table of several languages per answer.
  std::vector<Hypothesis> hypotheses;
  hypotheses.reserve(readings.size() + 3 + 15 * model_.mixtureLanguages +
                     model_.multilingualAnswers);
  for (std::size_t r = 0; r < readings.size(); ++r) {
    const ReadingCost& reading = readings[r];
    const int group = groupOf[reading.charset];
    const double score = -cost(reading) / scale - readingPriors_[r];
    hypotheses.push_back({score, group});
    if (score > groups[group].best) {
      groups[group].best = score;
      groups[group].language = reading.language;
      groups[group].bestCharset = reading.charset;
    }
  }
  // A script no model reads, and the multi-byte encoding uchardet names:
  // each pair with a byte beyond ASCII costs what it would in such a text,
  // and the rest what it does in the likeliest reading.
  const auto likeliest = std::min_element(
      readings.begin(), readings.end(),
      [&](const ReadingCost& a, const ReadingCost& b) { return cost(a) < cost(b); });
  const auto unread = [&](double pairCost, std::size_t strays) {
    return -(model_.asciiWeight * static_cast<double>(likeliest->lowCost) +
             10.0 * pairCost * static_cast<double>(pairs_.highPairCount()) +
             static_cast<double>(strayCost * strays)) /
           scale;
  };
  hypotheses.push_back({unread(model_.unknownPairCost, 0), -1});
  const double doubleBytes = unread(model_.multiBytePairCost, DoubleBytesInLatinWords(distinct_));
  // Another double-byte encoding than uchardet's answer, or one where it
  // names none: it tells a text in a double-byte encoding from one in a
  // single-byte page far sooner than it tells which double-byte encoding it
  // is (a short text in Big5 is GB18030 to it now and then), and now and
  // then reads a short text in GBK as UTF-8, which in Thai's page reads as
  // letter soup of a big alphabet.
  std::size_t otherDoubleBytes = SIZE_MAX;  // that hypothesis, if any
  if (ReadsAsDoubleBytes(text)) {
    otherDoubleBytes = hypotheses.size();
    hypotheses.push_back({doubleBytes - model_.otherMultiBytePrior, -1});
  }

  // What a value costs read as a reading's language.
  const auto valueScore = [&](const ValueCost& value) {
    return -(model_.asciiWeight * static_cast<double>(value.low) +
             static_cast<double>(value.high)) /
           scale;
  };

  // The languages, likeliest first, by their best reading.
  std::vector<std::pair<double, std::size_t>>& tongues = tongues_;  // best score, language
  tongues.clear();
  for (std::size_t l = 0; l < models.size(); ++l) tongues.push_back({-HUGE_VAL, l});
  for (const ReadingCost& reading : readings) {
    double& best = tongues[reading.language].first;
    best = std::max(best, -cost(reading) / scale);
  }
  std::sort(tongues.rbegin(), tongues.rend());

  // Two code pages mixed, value by value: a table some rows of which one
  // program wrote, and some another, in two of the pages its language is
  // written in. Read as each of the likeliest languages, each pair of its
  // pages: where the text is two pages mixed, no one page reads it well, and
  // the likeliest single reading may well be of another language.
  for (std::size_t t = 0; t < std::min(model_.mixtureLanguages, tongues.size()); ++t) {
    const std::size_t language = tongues[t].second;
    std::vector<std::size_t>& homes = homes_;  // charsets
    homes.clear();
    std::uint64_t lowCost = 0;  // the same in every reading of the language
    for (const ReadingCost& reading : readings) {
      if (reading.language != language) continue;
      lowCost = reading.lowCost;
      const auto& pages = models[language].homePages;
      if (charsets[reading.charset].codePage != 0 &&
          std::find(pages.begin(), pages.end(), charsets[reading.charset].codePage) !=
              pages.end()) {
        homes.push_back(reading.charset);
      }
    }
    std::vector<const std::vector<ValueCost>*>& homeCosts = homeCosts_;
    homeCosts.clear();
    for (const std::size_t home : homes) {
      homeCosts.push_back(&valuePairs_.costs(home, language, strayCost));
    }
    // Read value by value, a page's whole cost is not needed: a page far
    // behind as a whole, whose reading was given up on, may well read the
    // values the other reads worst. The pairs below 0x80 read alike in
    // every page, a value's as the whole text's.
    const double plain = -model_.asciiWeight * static_cast<double>(lowCost) / scale;
    const auto highScore = [&](const ValueCost& value) {
      return -static_cast<double>(value.high) / scale;
    };
    for (std::size_t a = 0; a < homes.size(); ++a) {
      for (std::size_t b = a + 1; b < homes.size(); ++b) {
        if (groupOf[homes[a]] == groupOf[homes[b]]) continue;
        double mixed = plain;
        const std::vector<ValueCost>& as = *homeCosts[a];
        const std::vector<ValueCost>& bs = *homeCosts[b];
        for (std::size_t v = 0; v < as.size(); ++v) {
          mixed += LogSum(highScore(as[v]), highScore(bs[v])) + std::log(0.5);
        }
        hypotheses.push_back(
            {mixed - prior(homes[a], language) - prior(homes[b], language) - model_.mixturePrior,
             -1});
      }
    }
  }

  // One table in several languages of a script: the names of places and
  // people from abroad among its own language's words. Each of the
  // likeliest answers read value by value, each value with a letter beyond
  // ASCII in the likeliest language that reads it best.
  std::vector<std::pair<double, std::size_t>> leaders;  // best score, charset
  for (const Group& group : groups) {
    if (!group.multiByte) leaders.push_back({group.best, group.bestCharset});
  }
  std::sort(leaders.rbegin(), leaders.rend());
  leaders.resize(std::min<std::size_t>(leaders.size(), model_.multilingualAnswers));
  // The table's own language is one for every charset of a script: that of
  // the script's likeliest answer. Were each charset to take the language
  // that reads it cheapest, one that misread a letter could take a language
  // whose model weighs the text's pairs of ASCII lighter, and gain more on
  // them than the letter cost it.
  std::array<std::size_t, kScripts> ownLanguage;
  ownLanguage.fill(SIZE_MAX);
  for (const auto& leader : leaders) {
    std::size_t& language = ownLanguage[ScriptIndex(charsets[leader.second].script)];
    if (language == SIZE_MAX) language = groups[groupOf[leader.second]].language;
  }
  for (const auto& leader : leaders) {
    const std::size_t charset = leader.second;
    // The charset's reading as the own language, read as a whole before.
    // A charset's readings follow one another.
    const std::size_t language = ownLanguage[ScriptIndex(charsets[charset].script)];
    auto own = readings.begin() + static_cast<std::ptrdiff_t>(FirstReadingOf(charset));
    while (own != readings.end() && own->charset == charset && own->language != language) ++own;
    if (own == readings.end() || own->charset != charset) continue;
    if (!own->complete) continue;  // far behind: its whole cost is not known
    const std::vector<ValueCost>& ownCosts = valuePairs_.costs(charset, own->language, strayCost);
    std::vector<double>& values = valueScores_;
    values.resize(ownCosts.size());
    double whole = -cost(*own) / scale;
    for (std::size_t v = 0; v < values.size(); ++v) whole -= valueScore(ownCosts[v]);
    // The page is the one the table's own language is written in: the
    // names from abroad are written in it, not it in theirs. And half its
    // values are in that language; the other languages share the rest.
    const double home = prior(charset, own->language);
    std::vector<std::size_t>& others = otherLanguages_;
    others.clear();
    for (const auto& [score, language] : tongues) {
      if (models[language].script != charsets[charset].script || language == own->language) {
        continue;
      }
      if (others.size() + 1 >= model_.multilingualLanguages) break;
      others.push_back(language);
    }
    const double ownShare = others.empty() ? 1.0 : model_.multilingualOwnShare;
    for (std::size_t v = 0; v < values.size(); ++v) {
      values[v] = std::log(ownShare) + valueScore(ownCosts[v]);
    }
    const double otherShare =
        std::log((1 - ownShare) / static_cast<double>(std::max<std::size_t>(others.size(), 1)));
    for (const std::size_t language : others) {
      const std::vector<ValueCost>& costs = valuePairs_.costs(charset, language, strayCost);
      for (std::size_t v = 0; v < values.size(); ++v) {
        values[v] = LogSum(values[v], otherShare + valueScore(costs[v]));
      }
    }
    double score = whole - home - model_.multilingualPrior;
    for (const double value : values) score += value;
    hypotheses.push_back({score, groupOf[charset]});
  }

  // uchardet's answer, evidence for the readings it stands for: asked only
  // where it could change the verdict, as it takes more time than the rest.
  // It reads the text as it is: a multi-byte encoding's characters do not
  // stop at the places words do for the letter pairs.
  // Each group's weight and the whole's, against the likeliest hypothesis.
  double most = -HUGE_VAL;
  const auto weighGroups = [&] {
    most = -HUGE_VAL;
    for (const Hypothesis& h : hypotheses) most = std::max(most, h.score);
    for (Group& group : groups) group.share = 0;
    double whole = 0;
    for (const Hypothesis& h : hypotheses) {
      if (h.score - most < kNegligible) continue;
      const double weight = std::exp(h.score - most);
      whole += weight;
      if (h.group >= 0) groups[static_cast<std::size_t>(h.group)].share += weight;
    }
    return whole;
  };
  double whole = weighGroups();
  const double strong = evidence * model_.uchardetStrong;
  const double weak = evidence * model_.uchardetWeak;
  std::vector<double>& weights = groupWeights_;
  std::vector<double>& boosts = groupBoosts_;
  weights.clear();
  for (const Group& group : groups) weights.push_back(group.share);
  boosts.assign(groups.size(), std::exp(weak));
  for (std::size_t c = 0; c < charsets.size(); ++c) {
    if (NamedStrongly()[c]) boosts[static_cast<std::size_t>(groupOf[c])] = std::exp(strong);
  }
  const double dropped =
      otherDoubleBytes == SIZE_MAX ? 0.0 : std::exp(hypotheses[otherDoubleBytes].score - most);
  const double added = 2 * std::exp(doubleBytes + strong - most);
  if (model_.alwaysAskDetector || !AnswerMoot(weights, boosts, whole, dropped, added, sure)) {
    const DetectorAnswer* answer = AnswerNamed(detector_.detect(text));
    if (answer != nullptr && answer->kind == DetectorAnswer::MultiByte) {
      // The encoding it names, and another: in place of one where it names none.
      if (otherDoubleBytes != SIZE_MAX) hypotheses[otherDoubleBytes].score = -HUGE_VAL;
      groups.push_back({0, true, answer});
      hypotheses.push_back({doubleBytes + strong, static_cast<int>(groups.size() - 1)});
      const double which =
          model_.uchardetStrong *
          std::min(1.0, static_cast<double>(pairs_.highPairCount()) / model_.multiByteFullEvidence);
      hypotheses.push_back({doubleBytes + strong - which - model_.otherMultiBytePrior, -1});
    } else if (answer != nullptr) {
      int answerGroup = -1;
      for (std::size_t c = 0; c < charsets.size(); ++c) {
        if (Names(*answer, charsets[c])) answerGroup = groupOf[c];
      }
      const double weight = answer->kind == DetectorAnswer::Strong ? strong : weak;
      for (Hypothesis& h : hypotheses) {
        h.score += h.group >= 0 && h.group == answerGroup ? weight : 0.0;
      }
    }
    whole = weighGroups();
  }

  // Each answer's share of the whole.
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const Group& group = groups[g];
    TextVerdict verdict;
    if (group.multiByte) {
      verdict = group.answer->codePage != 0
                    ? TextVerdict{TextVerdict::Kind::CodePage, group.answer->codePage, {}}
                    : TextVerdict{TextVerdict::Kind::Encoding, 0, group.answer->name};
    } else {
      // Of the charsets that read it alike, the marked one where the
      // group's language is written in it, else the one it is most often
      // written in, else an encoding. A page the language is not written in
      // is named only where no other reads the text alike: what was read of
      // a table is a sample, and the rest may tell them apart.
      const SingleByteCharset* named = &charsets[group.charset];  // its first
      double namedPrior = HUGE_VAL;
      for (std::size_t c = 0; c < charsets.size(); ++c) {
        if (groupOf[c] != static_cast<int>(g)) continue;
        const double home = prior(c, group.language);
        const bool marked = charsets[c].codePage == markedCodePage && home < model_.awayPagePrior;
        const double cost = charsets[c].codePage == 0 ? HUGE_VAL / 2 : marked ? -HUGE_VAL : home;
        if (cost < namedPrior) {
          named = &charsets[c];
          namedPrior = cost;
        }
      }
      verdict = named->codePage != 0 ? TextVerdict{TextVerdict::Kind::CodePage, named->codePage, {}}
                                     : TextVerdict{TextVerdict::Kind::Encoding, 0, named->name};
    }
    shares_.push_back(
        {verdict, group.share / whole, group.multiByte ? nullptr : &charsets[group.bestCharset]});
  }
  std::sort(shares_.begin(), shares_.end(),
            [](const AnswerShare& a, const AnswerShare& b) { return a.share > b.share; });
}

}  // namespace tablemark
