#include "platform/posix/console_charset.h"

#include <array>
#include <cerrno>

#include "platform/posix/utf8_escape.h"

namespace tablemark::posix {
namespace {

bool NamesUtf8OrAscii(std::string_view codeset) {
  for (std::string_view name :
       {"UTF-8", "utf-8", "UTF8", "utf8", "ANSI_X3.4-1968", "ASCII", "US-ASCII", "646", ""}) {
    if (codeset == name) return true;
  }
  return false;
}

// Converts `input` completely with `converter`, appending to `out`; false if
// some of it could not be converted.
bool ConvertAll(iconv_t converter, std::string_view input, std::string& out) {
  std::array<char, 64> buffer;
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  while (true) {
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t done =
        iconv(converter, inLeft != 0 ? &in : nullptr, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (done != static_cast<std::size_t>(-1)) {
      if (inLeft == 0) {
        // Flush any shift state; stop once nothing more comes out.
        outPtr = buffer.data();
        outLeft = buffer.size();
        iconv(converter, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        return true;
      }
      continue;
    }
    if (errno == E2BIG) continue;
    return false;
  }
}

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

bool LocaleNamesUtf8Console(std::string_view name) {
  if (name.empty() || name == "C" || name == "POSIX") return true;
  // language[_territory][.codeset][@modifier]
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) return false;
  std::string_view codeset = name.substr(dot + 1);
  codeset = codeset.substr(0, codeset.find('@'));
  std::string normal;
  for (const char c : codeset) {
    if (c != '-' && c != '_') normal += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
  return normal == "utf8";
}

ConsoleCharset::ConsoleCharset(std::string_view codeset) {
  if (NamesUtf8OrAscii(codeset)) {
    // A byte that is not UTF-8 stands alone; 0x80 to 0x9F are the 8-bit
    // forms of the C1 controls.
    for (std::size_t b = 0; b < 0x20; ++b) controlBytes_.set(b);
    return;
  }
  const std::string name(codeset);
  toConsole_ = iconv_open(name.c_str(), "UTF-8");
  fromLocale_ = iconv_open("UTF-8", name.c_str());
  if (fromLocale_ == NoConverter()) return;
  // What each byte is in the locale's set: in ISO 8859 sets 0x80 to 0x9F
  // are C1 controls, in KOI8-R and CP1251 letters and box drawing. A byte
  // that only begins a character converts to nothing and is left alone.
  std::string utf8;
  std::u16string text;
  for (std::size_t b = 0; b < 0x80; ++b) {
    utf8.clear();
    const char byte = static_cast<char>(0x80 + b);
    if (ConvertAll(fromLocale_, std::string_view(&byte, 1), utf8)) {
      DecodeBytes(utf8, text);
      controlBytes_.set(b, text.size() == 1 && IsControl(text[0]));
    }
    iconv(fromLocale_, nullptr, nullptr, nullptr, nullptr);
  }
}

void ConsoleCharset::maskControls(std::u16string& text) const {
  for (char16_t& c : text) {
    if (IsControl(c) || (IsEscapedByte(c) && controlBytes_.test(c - 0xDC80))) c = u'?';
  }
}

ConsoleCharset::~ConsoleCharset() {
  if (toConsole_ != NoConverter()) iconv_close(toConsole_);
  if (fromLocale_ != NoConverter()) iconv_close(fromLocale_);
}

void ConsoleCharset::encode(std::u16string_view text, std::string& out) {
  if (isUtf8()) {
    EncodeBytes(text, out);
    return;
  }
  out.clear();
  // One character at a time, so that a character the set lacks costs only
  // itself a '?'.
  std::string utf8;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsEscapedByte(c)) {
      out += static_cast<char>(c - 0xDC00);
      continue;
    }
    const std::size_t units = StartsSurrogatePair(text, i) ? 2 : 1;
    EncodeBytes(text.substr(i, units), utf8);
    i += units - 1;
    const std::size_t before = out.size();
    if (!ConvertAll(toConsole_, utf8, out)) {
      out.resize(before);
      out += '?';
      iconv(toConsole_, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

void ConsoleCharset::decodeLocaleText(std::string_view text, std::u16string& out) {
  if (fromLocale_ != NoConverter()) {
    scratch_.clear();
    if (ConvertAll(fromLocale_, text, scratch_)) {
      DecodeBytes(scratch_, out);
      return;
    }
    iconv(fromLocale_, nullptr, nullptr, nullptr, nullptr);
  }
  DecodeBytes(text, out);
}

}  // namespace tablemark::posix
