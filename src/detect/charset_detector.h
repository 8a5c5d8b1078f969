// uchardet, the general detector, behind the one question the guess asks
// of it. The Windows exe has the library built in; the POSIX program has
// the platform load the system's library the first time a detector is made,
// so that a run that only re-marks does not pay for loading it and the C++
// runtime it brings.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/shared_library.h"

namespace tablemark {

class CharsetDetector {
 public:
  // Throws FatalMessage ("Неожиданная ошибка в функции LoadLibrary()") when
  // the library cannot be had from `libraries`.
  explicit CharsetDetector(SharedLibraries& libraries);
  ~CharsetDetector();
  CharsetDetector(const CharsetDetector&) = delete;
  CharsetDetector& operator=(const CharsetDetector&) = delete;

  // uchardet's name for the charset of `text` ("WINDOWS-1251", "SHIFT_JIS",
  // ...), valid until the next call; empty when it has no answer.
  std::string_view detect(std::span<const std::uint8_t> text);

 private:
  void* detector_ = nullptr;
};

}  // namespace tablemark
