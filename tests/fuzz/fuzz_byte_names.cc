// POSIX names and arguments: every byte string survives the trip to UTF-16
// and back exactly.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/posix/utf8_escape.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::u16string text;
  tablemark::posix::DecodeBytes(bytes, text);
  std::string back;
  tablemark::posix::EncodeBytes(text, back);
  if (back != bytes) __builtin_trap();
  return 0;
}
