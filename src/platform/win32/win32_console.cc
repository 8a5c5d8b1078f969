#include "platform/win32/win32_console.h"

#include <windows.h>

#include <cstdio>

namespace tablemark::win32 {

void Win32Console::writeLine(ConsoleStream stream, std::u16string_view text) {
  FILE* out = stream == ConsoleStream::Output ? stdout : stderr;
  // wchar_t is UTF-16 on Windows: text crosses by copying code units.
  wide_.assign(text.begin(), text.end());
  bytes_.clear();
  if (!wide_.empty()) {
    // The OEM code page, as CharToOemW converts; sized first, since a
    // double-byte OEM code page can need two bytes a character.
    const int length = static_cast<int>(wide_.size());
    const int size =
        WideCharToMultiByte(CP_OEMCP, 0, wide_.data(), length, nullptr, 0, nullptr, nullptr);
    bytes_.resize(static_cast<std::size_t>(size > 0 ? size : 0));
    if (size > 0) {
      WideCharToMultiByte(CP_OEMCP, 0, wide_.data(), length, bytes_.data(), size, nullptr, nullptr);
    }
  }
  bytes_ += '\n';  // the stream is in text mode: this becomes CR LF
  // A console that cannot be written to does not change the run's outcome.
  (void)std::fwrite(bytes_.data(), 1, bytes_.size(), out);
  (void)std::fflush(out);
}

void Win32Console::appendErrorText(ErrorCode code, std::u16string& out) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                     static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length != 0 && text != nullptr) out.append(text, text + length);
  if (text != nullptr) LocalFree(text);
}

}  // namespace tablemark::win32
