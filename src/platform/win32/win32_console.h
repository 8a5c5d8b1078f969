// The console on Windows: the OEM code page, and the system's texts.
#pragma once

#include <string>

#include "platform/console.h"

namespace tablemark::win32 {

class Win32Console final : public Console {
 public:
  Status writeLine(ConsoleStream stream, std::u16string_view text) override;
  void appendErrorText(ErrorCode code, std::u16string& out) override;
  bool showsExactly(char32_t c) override;
  void decodeText(std::string_view bytes, bool utf8, std::u16string& out) override;

 private:
  // Reused: the wide form of a line, and its OEM bytes.
  std::wstring wide_;
  std::string bytes_;
};

}  // namespace tablemark::win32
