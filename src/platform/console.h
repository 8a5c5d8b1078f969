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
  // end, then flushes the stream; fails when the write or the flush does.
  virtual Status writeLine(ConsoleStream stream, std::u16string_view text) = 0;
  // Appends the system's own text for `code`, as the system gives it (a
  // Windows text keeps its trailing CR LF); nothing when it has none.
  virtual void appendErrorText(ErrorCode code, std::u16string& out) = 0;
  // Appends what stands for a directory entry's name inside a message: the
  // name itself, unless the console needs the name's own bytes passed through.
  virtual void appendShownName(std::u16string_view name, std::u16string& out) { out += name; }
  // Whether standard output shows `c` as itself. Where the console's
  // character set lacks it, a name on standard output shows it escaped, not
  // as a look-alike, so that the name leads back to one file.
  virtual bool showsExactly(char32_t /*c*/) { return true; }
  // Text that this console put out, or a person wrote for it, read back:
  // bytes in its own character set, or in UTF-8 where `utf8` (a file that
  // says so by its byte-order mark).
  virtual void decodeText(std::string_view bytes, bool utf8, std::u16string& out) = 0;
};

}  // namespace tablemark
