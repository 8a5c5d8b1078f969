// The console conversion on arbitrary UTF-16 text, into UTF-8 and into an
// 8-bit code page: never crashes; each character becomes at most what its
// own conversion gives; a text decoded from bytes goes out as those bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/posix/console_charset.h"
#include "platform/posix/utf8_escape.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tablemark::posix::ConsoleCharset utf8("UTF-8");
  static tablemark::posix::ConsoleCharset cp866("CP866");
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  std::string out;
  cp866.encode(text, out);
  if (out.size() > text.size()) __builtin_trap();  // one byte a code unit at most
  utf8.encode(text, out);
  if (out.size() > text.size() * 3) __builtin_trap();

  // Bytes as a POSIX name holds them reach the console unchanged.
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::u16string name;
  tablemark::posix::DecodeBytes(bytes, name);
  utf8.encode(name, out);
  if (out != bytes) __builtin_trap();
  return 0;
}
