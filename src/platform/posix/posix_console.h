// The console on Linux and macOS: the character set of the process locale.
#pragma once

#include <optional>
#include <string>

#include "platform/console.h"
#include "platform/posix/console_charset.h"

namespace tablemark::posix {

class PosixConsole final : public Console {
 public:
  void writeLine(ConsoleStream stream, std::u16string_view text) override;
  void appendErrorText(ErrorCode code, std::u16string& out) override;
  void appendShownName(std::u16string_view name, std::u16string& out) override;

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

  std::optional<Shown> shown_;
  bool ctypeLoaded_ = false;
  bool messagesLoaded_ = false;
  std::string bytes_;
  std::u16string text_;
};

}  // namespace tablemark::posix
