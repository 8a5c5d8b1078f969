#include "fix/restore_lines.h"

#include <algorithm>
#include <span>

#include "table/code_page_marks.h"

namespace tablemark {
namespace {

std::optional<unsigned> HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return std::nullopt;
}

// Undoes the escapes a printed name has: \t, \n, \\, \xHH and \u{H...}.
// Each escape is longer than what it stands for, so the name is written
// over its printed form. Its length, or nothing for a backslash that starts
// none of them.
std::optional<std::size_t> Unescape(std::span<char16_t> shown) {
  const std::size_t plain = std::u16string_view(shown.data(), shown.size()).find(u'\\');
  if (plain == std::u16string_view::npos) return shown.size();
  std::size_t out = plain;
  for (std::size_t i = plain; i < shown.size(); ++i) {
    if (shown[i] != u'\\') {
      shown[out++] = shown[i];
      continue;
    }
    const char16_t kind = i + 1 < shown.size() ? shown[++i] : u'\0';
    if (kind == u't' || kind == u'n' || kind == u'\\') {
      shown[out++] = kind == u't' ? u'\t' : kind == u'n' ? u'\n' : u'\\';
    } else if (kind == u'x' && i + 2 < shown.size() && HexDigit(shown[i + 1]) &&
               HexDigit(shown[i + 2])) {
      shown[out++] = static_cast<char16_t>(*HexDigit(shown[i + 1]) << 4 | *HexDigit(shown[i + 2]));
      i += 2;
    } else if (kind == u'u' && i + 1 < shown.size() && shown[i + 1] == u'{') {
      const std::u16string_view rest(shown.data() + i + 2, shown.size() - i - 2);
      const std::size_t digits = rest.find(u'}');
      if (digits == rest.npos || digits == 0 || digits > 6) return std::nullopt;
      char32_t point = 0;
      for (const char16_t c : rest.substr(0, digits)) {
        const std::optional<unsigned> digit = HexDigit(c);
        if (!digit) return std::nullopt;
        point = point << 4 | *digit;
      }
      if (point > 0x10FFFF) return std::nullopt;
      if (point < 0x10000) {
        shown[out++] = static_cast<char16_t>(point);
      } else {
        shown[out++] = static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
        shown[out++] = static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
      }
      i += digits + 2;
    } else {
      return std::nullopt;
    }
  }
  return out;
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

std::vector<RestoreLine> ParseRestoreLines(std::u16string& text, Dialect dialect) {
  std::vector<RestoreLine> lines;
  lines.reserve(std::count(text.begin(), text.end(), u'\n') + 1);
  std::size_t number = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(u'\n', start);
    if (end == text.npos) end = text.size();
    std::u16string_view line(text.data() + start, end - start);
    char16_t* const lineStart = text.data() + start;
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
    const std::optional<std::size_t> name =
        tab == 0 ? std::nullopt : Unescape(std::span<char16_t>(lineStart, tab));
    if (!name) {
      parsed.problem = RestoreLine::Problem::Form;
      continue;
    }
    parsed.name = std::u16string_view(lineStart, *name);
    if (!IsFileName(parsed.name, dialect)) {
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
