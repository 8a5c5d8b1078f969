#include "platform/posix/utf8_escape.h"

#include <cstdint>

namespace tablemark::posix {
namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence at `i`, or 0 when the byte there does
// not start one. Overlong forms, surrogates and values above U+10FFFF are
// not valid.
std::size_t SequenceLength(std::string_view s, std::size_t i, char32_t& code) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if (!IsContinuation(byte(k))) return 0;
    code = (code << 6) | (byte(k) & 0x3F);
  }
  return length;
}

}  // namespace

void DecodeBytes(std::string_view bytes, std::u16string& out) {
  // Names are mostly ASCII: copied a unit a byte until the first that is not.
  out.resize(bytes.size());
  std::size_t i = 0;
  for (; i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80; ++i) {
    out[i] = static_cast<char16_t>(bytes[i]);
  }
  out.resize(i);
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    char32_t code = 0;
    const std::size_t length = SequenceLength(bytes, i, code);
    if (length == 0) {
      out += EscapedByte(lead);
      ++i;
    } else if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
      i += length;
    } else {
      out += static_cast<char16_t>(code);
      i += length;
    }
  }
}

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void EncodeBytes(std::u16string_view text, std::string& out) {
  out.resize(text.size());
  std::size_t i = 0;
  for (; i < text.size() && text[i] < 0x80; ++i) out[i] = static_cast<char>(text[i]);
  out.resize(i);
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0xD800 || c > 0xDFFF) {
      AppendUtf8(c, out);
    } else if (StartsSurrogatePair(text, i)) {
      const char32_t high = static_cast<char32_t>(c) - 0xD800u;
      const char32_t low = static_cast<char32_t>(text[i + 1]) - 0xDC00u;
      AppendUtf8(0x10000u + (high << 10u) + low, out);
      ++i;
    } else if (IsEscapedByte(c)) {
      out += static_cast<char>(c - 0xDC00);
    } else {
      out += '?';
    }
  }
}

}  // namespace tablemark::posix
