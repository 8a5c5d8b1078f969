// The console on Linux and macOS: the character set of the process locale.
#pragma once

#include <optional>
#include <string>

#include "platform/console.h"
#include "platform/posix/console_charset.h"

namespace tablemark::posix {

class PosixConsole final : public Console {
 public:
  // `outputClosed`: the caller started the program with standard output
  // closed (it now leads to /dev/null), so nothing written there arrives.
  explicit PosixConsole(bool outputClosed = false) : outputClosed_(outputClosed) {}
  Status writeLine(ConsoleStream stream, std::u16string_view text) override;
  void appendErrorText(ErrorCode code, std::u16string& out) override;
  void appendShownName(std::u16string_view name, std::u16string& out) override;
  void decodeText(std::string_view bytes, bool utf8, std::u16string& out) override;

 private:
  // Set up the first time a message needs it: a run that prints nothing
  // does no locale work at all, and a locale category is loaded only when a
  // message needs what it holds.
  struct Shown {
    explicit Shown(const char* codeset) : charset(codeset) {}
    ConsoleCharset charset;
    std::optional<bool> errorIsTerminal;
  };
  Shown& shown();

  bool outputClosed_;
  std::optional<Shown> shown_;
  bool ctypeLoaded_ = false;
  bool messagesLoaded_ = false;
  std::string bytes_;
  std::u16string text_;
};

}  // namespace tablemark::posix
