#include "detect/detect_line.h"

#include "table/code_page_marks.h"

namespace tablemark {
namespace {

void AppendDecimal(std::int32_t value, std::u16string& out) {
  const std::string digits = std::to_string(value);
  out.append(digits.begin(), digits.end());
}

void AppendHexDigit(unsigned value, std::u16string& out) {
  constexpr std::u16string_view kDigits = u"0123456789ABCDEF";
  out += kDigits[value & 0xF];
}

void AppendHexByte(unsigned value, std::u16string& out) {
  AppendHexDigit(value >> 4, out);
  AppendHexDigit(value, out);
}

void AppendTextColumn(const TextVerdict& verdict, std::u16string& out) {
  switch (verdict.kind) {
    case TextVerdict::Kind::Plain:
      out += u'-';
      break;
    case TextVerdict::Kind::Unsure:
      out += u'?';
      break;
    case TextVerdict::Kind::CodePage:
      AppendDecimal(verdict.codePage, out);
      break;
    case TextVerdict::Kind::Encoding:
      out.append(verdict.encoding.begin(), verdict.encoding.end());
      break;
  }
}

}  // namespace

std::u16string MarkColumn(std::uint8_t mark) {
  std::u16string column;
  if (const std::int32_t codePage = CodePageOfMark(mark); codePage >= 0) {
    AppendDecimal(codePage, column);
  } else {
    column = u"0x";
    AppendHexByte(mark, column);
  }
  return column;
}

void AppendEscaped(std::u16string_view name, std::u16string& out, Console* console) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
                      name[i + 1] <= 0xDFFF;
    const char32_t point =
        pair ? 0x10000 + ((char32_t{c} - 0xD800) << 10) + (name[i + 1] - 0xDC00) : char32_t{c};
    if (c >= 0x80 && console != nullptr && !console->showsExactly(point)) {
      // The code point in hexadecimal, four digits at least.
      out += u"\\u{";
      for (int shift = 20; shift >= 0; shift -= 4) {
        if (shift < 16 || (point >> shift) != 0) AppendHexDigit(point >> shift, out);
      }
      out += u'}';
      i += pair ? 1 : 0;
    } else if (c == u'\t') {
      out += u"\\t";
    } else if (c == u'\n') {
      out += u"\\n";
    } else if (c == u'\\') {
      out += u"\\\\";
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      out += u"\\x";
      AppendHexByte(c, out);
    } else {
      out += c;
    }
  }
}

void ComposeDetectLine(Console& console, std::u16string_view shownName, std::uint8_t mark,
                       const TextVerdict& verdict, std::u16string& line) {
  line.clear();
  AppendEscaped(shownName, line, &console);
  line += u'\t';
  line += MarkColumn(mark);
  line += u'\t';
  AppendTextColumn(verdict, line);
}

}  // namespace tablemark
