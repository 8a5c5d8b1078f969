#include "platform/posix/posix_console.h"

#include <langinfo.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/utf8_escape.h"

namespace tablemark::posix {
namespace {

// The locale name that governs the character set, as setlocale reads it.
const char* CharsetLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "";
}

// Loads one category of the process locale, once.
void LoadLocale(int category, bool& loaded) {
  if (!loaded) {
    (void)std::setlocale(category, "");
    loaded = true;
  }
}

}  // namespace

PosixConsole::Shown& PosixConsole::shown() {
  if (!shown_) {
    if (LocaleNamesUtf8Console(CharsetLocaleName())) {
      shown_.emplace("UTF-8");
    } else {
      LoadLocale(LC_CTYPE, ctypeLoaded_);
      shown_.emplace(nl_langinfo(CODESET));
    }
  }
  return *shown_;
}

Status PosixConsole::writeLine(ConsoleStream stream, std::u16string_view text) {
  if (stream == ConsoleStream::Output && outputClosed_) return Status::Failed(EBADF);
  Shown& shown = this->shown();
  FILE* out = stream == ConsoleStream::Output ? stdout : stderr;
  // Messages carry names, which anyone may plant in a directory; on a
  // terminal their control characters must not drive it. Standard output
  // carries only the usage text, whose line feeds are its own.
  if (stream == ConsoleStream::Error) {
    if (!shown.errorIsTerminal) shown.errorIsTerminal = isatty(STDERR_FILENO) == 1;
    if (*shown.errorIsTerminal) {
      text_.assign(text);
      shown.charset.maskControls(text_);
      text = text_;
    }
  }
  shown.charset.encode(text, bytes_);
  bytes_ += '\n';
  errno = 0;
  if (std::fwrite(bytes_.data(), 1, bytes_.size(), out) != bytes_.size() || std::fflush(out) != 0) {
    const int code = errno;
    std::clearerr(out);
    return Status::Failed(code);
  }
  return Status::Ok();
}

void PosixConsole::appendErrorText(ErrorCode code, std::u16string& out) {
  Shown& shown = this->shown();
  // The text comes in the language of LC_MESSAGES, converted to the set of
  // LC_CTYPE.
  LoadLocale(LC_CTYPE, ctypeLoaded_);
  LoadLocale(LC_MESSAGES, messagesLoaded_);
  shown.charset.decodeLocaleText(std::strerror(code), text_);
  out += text_;
}

void PosixConsole::decodeText(std::string_view bytes, bool /*utf8*/, std::u16string& out) {
  // Names are written as their own bytes, whatever the locale's set: read
  // back, the bytes give the names again.
  DecodeBytes(bytes, out);
}

void PosixConsole::appendShownName(std::u16string_view name, std::u16string& out) {
  if (shown().charset.isUtf8()) {
    out += name;
    return;
  }
  // The name's bytes are already in the locale's own set: they go out as
  // they are, not decoded as UTF-8 and converted again.
  EncodeBytes(name, bytes_);
  for (const char byte : bytes_) {
    const auto b = static_cast<unsigned char>(byte);
    out += b < 0x80 ? static_cast<char16_t>(b) : EscapedByte(b);
  }
}

}  // namespace tablemark::posix
