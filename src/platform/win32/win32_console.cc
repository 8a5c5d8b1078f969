#include "platform/win32/win32_console.h"

#include <windows.h>

#include <cstdio>

namespace tablemark::win32 {

Status Win32Console::writeLine(ConsoleStream stream, std::u16string_view text) {
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
  // The C runtime writes with WriteFile, whose code is still the last one
  // when the write or the flush fails.
  SetLastError(0);
  if (std::fwrite(bytes_.data(), 1, bytes_.size(), out) != bytes_.size() || std::fflush(out) != 0) {
    const auto code = static_cast<ErrorCode>(GetLastError());
    std::clearerr(out);
    return Status::Failed(code);
  }
  return Status::Ok();
}

bool Win32Console::showsExactly(char32_t c) {
  // UTF-8 as the OEM code page shows everything, and takes no flags.
  if (GetOEMCP() == CP_UTF8) return true;
  wchar_t units[2];
  int length = 1;
  if (c >= 0x10000) {
    units[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    units[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    length = 2;
  } else {
    units[0] = static_cast<wchar_t>(c);
  }
  char bytes[8];
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, units, length, bytes,
                                       sizeof bytes, nullptr, &usedDefault);
  return size > 0 && usedDefault == FALSE;
}

void Win32Console::decodeText(std::string_view bytes, bool utf8, std::u16string& out) {
  out.clear();
  if (bytes.empty()) return;
  const UINT codePage = utf8 ? CP_UTF8 : CP_OEMCP;
  const int length = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (size <= 0) return;
  wide_.resize(static_cast<std::size_t>(size));
  MultiByteToWideChar(codePage, 0, bytes.data(), length, wide_.data(), size);
  out.assign(wide_.begin(), wide_.end());
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
