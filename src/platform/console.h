// The console: the two standard streams, and the system's texts that
// messages carry. Every text crossing it is UTF-16.
#pragma once

#include <string>
#include <string_view>

#include "platform/status.h"

namespace tablemark {

enum class ConsoleStream { Output, Error };

class Console {
 public:
  virtual ~Console() = default;

  // Converts `text` to the console's character set, writes it, then a line
  // end, then flushes the stream. Write failures are not reported.
  virtual void writeLine(ConsoleStream stream, std::u16string_view text) = 0;
  // Appends the system's own text for `code`, as the system gives it (a
  // Windows text keeps its trailing CR LF); nothing when it has none.
  virtual void appendErrorText(ErrorCode code, std::u16string& out) = 0;
  // Appends what stands for a directory entry's name inside a message: the
  // name itself, unless the console needs the name's own bytes passed through.
  virtual void appendShownName(std::u16string_view name, std::u16string& out) { out += name; }
};

}  // namespace tablemark
