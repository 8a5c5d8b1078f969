// POSIX names and arguments are bytes; the core works in UTF-16. Valid UTF-8
// is decoded; every byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC80 + byte and is written back as that byte, so any byte
// string survives the round trip exactly.
#pragma once

#include <string>
#include <string_view>

namespace tablemark::posix {

// Replaces `out` with the UTF-16 form of `bytes`.
void DecodeBytes(std::string_view bytes, std::u16string& out);

// Replaces `out` with the bytes of `text`: UTF-8, with escaped bytes restored.
// A lone surrogate that is not an escaped byte becomes '?'.
void EncodeBytes(std::u16string_view text, std::string& out);

// Whether `c` stands for a byte that was not valid UTF-8, and what stands
// for byte `b` (0x80 or above).
inline bool IsEscapedByte(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }
inline char16_t EscapedByte(unsigned char b) { return static_cast<char16_t>(0xDC00 + b); }

// Whether text[i] and text[i + 1] are a high and a low surrogate: one
// character beyond U+FFFF.
inline bool StartsSurrogatePair(std::u16string_view text, std::size_t i) {
  return text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
         text[i + 1] <= 0xDFFF;
}

// Appends the UTF-8 form of code point `c`.
void AppendUtf8(char32_t c, std::string& out);

}  // namespace tablemark::posix
