#include "fix/restore_lines.h"

#include <algorithm>

#include "table/code_page_marks.h"

namespace tablemark {
namespace {

std::optional<unsigned> HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return std::nullopt;
}

void AppendCodePoint(char32_t point, std::u16string& out) {
  if (point < 0x10000) {
    out += static_cast<char16_t>(point);
  } else {
    out += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
  }
}

// Undoes the escapes a printed name has: \t, \n, \\, \xHH and \u{H...}.
// False for a backslash that starts none of them.
bool Unescape(std::u16string_view shown, std::u16string& name) {
  name.clear();
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] != u'\\') {
      name += shown[i];
      continue;
    }
    const char16_t kind = i + 1 < shown.size() ? shown[++i] : u'\0';
    if (kind == u't' || kind == u'n' || kind == u'\\') {
      name += kind == u't' ? u'\t' : kind == u'n' ? u'\n' : u'\\';
    } else if (kind == u'x' && i + 2 < shown.size() && HexDigit(shown[i + 1]) &&
               HexDigit(shown[i + 2])) {
      name += static_cast<char16_t>(*HexDigit(shown[i + 1]) << 4 | *HexDigit(shown[i + 2]));
      i += 2;
    } else if (kind == u'u' && i + 1 < shown.size() && shown[i + 1] == u'{') {
      const std::size_t close = shown.find(u'}', i + 2);
      if (close == std::u16string_view::npos || close == i + 2 || close > i + 8) return false;
      char32_t point = 0;
      for (std::size_t k = i + 2; k < close; ++k) {
        const std::optional<unsigned> digit = HexDigit(shown[k]);
        if (!digit) return false;
        point = point << 4 | *digit;
      }
      if (point > 0x10FFFF) return false;
      AppendCodePoint(point, name);
      i = close;
    } else {
      return false;
    }
  }
  return true;
}

// The byte CODEPAGE asks for: a code page with a mark, or 0xHH.
std::optional<std::uint8_t> MarkWritten(std::u16string_view codePage) {
  if (codePage.size() == 4 && codePage[0] == u'0' && (codePage[1] == u'x' || codePage[1] == u'X') &&
      HexDigit(codePage[2]) && HexDigit(codePage[3])) {
    return static_cast<std::uint8_t>(*HexDigit(codePage[2]) << 4 | *HexDigit(codePage[3]));
  }
  if (codePage.empty() || codePage.size() > 6 ||
      !std::all_of(codePage.begin(), codePage.end(),
                   [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
    return std::nullopt;
  }
  std::int32_t value = 0;
  for (const char16_t c : codePage) value = value * 10 + (c - u'0');
  return FindCodePageMark(value);
}

bool IsFileName(std::u16string_view name, Dialect dialect) {
  const std::u16string_view separators = dialect == Dialect::Windows ? u"/\\:" : u"/";
  return name != u"." && name != u".." && name.find_first_of(separators) == name.npos;
}

}  // namespace

void DecodeRestoreFile(std::string_view bytes, Console& console, std::u16string& text) {
  const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  const bool littleEndian = starts("\xFF\xFE");
  if (littleEndian || starts("\xFE\xFF")) {
    text.clear();
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto first = static_cast<unsigned char>(bytes[i]);
      const auto second = static_cast<unsigned char>(bytes[i + 1]);
      text += static_cast<char16_t>(littleEndian ? second << 8 | first : first << 8 | second);
    }
    return;
  }
  const bool utf8 = starts("\xEF\xBB\xBF");
  console.decodeText(bytes.substr(utf8 ? 3 : 0), utf8, text);
}

std::vector<RestoreLine> ParseRestoreLines(std::u16string_view text, Dialect dialect) {
  std::vector<RestoreLine> lines;
  std::size_t number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(u'\n', start);
    if (end == text.npos) end = text.size();
    std::u16string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    if (line.find_first_not_of(u' ') == line.npos) continue;
    RestoreLine& parsed = lines.emplace_back();
    parsed.number = number;
    const std::size_t tab = line.find(u'\t');
    const std::size_t second = tab == line.npos ? line.npos : line.find(u'\t', tab + 1);
    if (tab == line.npos) {
      parsed.problem = RestoreLine::Problem::Form;
      continue;
    }
    parsed.codePage = line.substr(tab + 1, second == line.npos ? line.npos : second - tab - 1);
    if (tab == 0 || !Unescape(line.substr(0, tab), parsed.name)) {
      parsed.problem = RestoreLine::Problem::Form;
    } else if (!IsFileName(parsed.name, dialect)) {
      parsed.problem = RestoreLine::Problem::NotAName;
    } else if (const std::optional<std::uint8_t> mark = MarkWritten(parsed.codePage)) {
      parsed.mark = *mark;
    } else {
      parsed.problem = RestoreLine::Problem::NoMark;
    }
  }
  return lines;
}

}  // namespace tablemark
