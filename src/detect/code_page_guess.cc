#include "detect/code_page_guess.h"

#include <uchardet/uchardet.h>

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

struct CodePageGuesser::Detector {
  Detector() : handle(uchardet_new()) {}
  ~Detector() { uchardet_delete(handle); }
  Detector(const Detector&) = delete;
  Detector& operator=(const Detector&) = delete;
  uchardet_t handle;
};

CodePageGuesser::CodePageGuesser() : detector_(std::make_unique<Detector>()) {}
CodePageGuesser::~CodePageGuesser() = default;

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
    if (i + length > text.size()) return false;
    std::uint32_t code = lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
      if ((text[i + k] & 0xC0) != 0x80) return false;
      code = code << 6 | (text[i + k] & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    beyondAscii = true;
    i += length;
  }
  return beyondAscii;
}

TextVerdict CodePageGuesser::guess(std::span<const std::uint8_t> text,
                                   std::int32_t markedCodePage) {
  if (!HasHighBytes(text)) return {};
  if (IsUtf8(text)) return {TextVerdict::Kind::Encoding, 0, "UTF-8"};

  uchardet_t handle = detector_->handle;
  uchardet_reset(handle);
  // Fed in one piece: uchardet copies nothing and takes the length as given.
  if (uchardet_handle_data(handle, reinterpret_cast<const char*>(text.data()), text.size()) == 0) {
    uchardet_data_end(handle);
    const std::string_view name = uchardet_get_charset(handle);
    for (const TrustedAnswer& answer : kTrusted) {
      if (answer.name != name) continue;
      if (answer.codePage != 0) return {TextVerdict::Kind::CodePage, answer.codePage, {}};
      return {TextVerdict::Kind::Encoding, 0, answer.name};
    }
  }
  pairs_.count(text);
  return weighLetterPairs(markedCodePage);
}

TextVerdict CodePageGuesser::weighLetterPairs(std::int32_t markedCodePage) {
  const auto charsets = SingleByteCharsets();
  const std::vector<CharsetCost> costs = ScoreCharsets(pairs_);
  // Charsets that read every byte of this text alike are one answer.
  const auto readAlike = [&](const SingleByteCharset& a, const SingleByteCharset& b) {
    for (std::size_t i = 0; i < 128; ++i) {
      if (pairs_.occurs(static_cast<std::uint8_t>(0x80 + i)) && a.reads[i] != b.reads[i]) {
        return false;
      }
    }
    return true;
  };
  const auto best = std::min_element(costs.begin(), costs.end(),
                                     [](const auto& a, const auto& b) { return a.cost < b.cost; });
  if (best == costs.end() || best->cost == UINT64_MAX) return {TextVerdict::Kind::Unsure, 0, {}};
  const SingleByteCharset& winner = charsets[best->charset];
  std::uint64_t runnerUp = UINT64_MAX;
  for (const CharsetCost& other : costs) {
    if (!readAlike(charsets[other.charset], winner)) runnerUp = std::min(runnerUp, other.cost);
  }
  if (runnerUp - best->cost < kSureMargin) return {TextVerdict::Kind::Unsure, 0, {}};
  // Of the charsets that read it alike, the marked one, else the first
  // listed: the commonest.
  const SingleByteCharset* named = nullptr;
  for (const SingleByteCharset& charset : charsets) {
    if (!readAlike(charset, winner)) continue;
    if (charset.codePage != 0 && charset.codePage == markedCodePage) {
      named = &charset;
      break;
    }
    if (named == nullptr) named = &charset;
  }
  if (named->codePage != 0) return {TextVerdict::Kind::CodePage, named->codePage, {}};
  return {TextVerdict::Kind::Encoding, 0, named->name};
}

}  // namespace tablemark
