// The console's character set on POSIX: the one the process locale names.
// In the C/POSIX locale, whose set is ASCII and could show none of the
// Russian texts, UTF-8 is used instead.
#pragma once

#include <iconv.h>

#include <bitset>
#include <string>
#include <string_view>

namespace tablemark::posix {

// Whether the locale named `name` (as LC_ALL, LC_CTYPE or LANG gives it)
// surely has UTF-8 or ASCII as its set, both of which the console writes as
// UTF-8: the C and POSIX locales, no name at all, and names whose codeset is
// UTF-8. Telling it from the name spares loading the locale, which costs a
// short run as much as its work.
bool LocaleNamesUtf8Console(std::string_view name);

class ConsoleCharset {
 public:
  // `codeset` as nl_langinfo(CODESET) gives it.
  explicit ConsoleCharset(std::string_view codeset);
  ~ConsoleCharset();
  ConsoleCharset(const ConsoleCharset&) = delete;
  ConsoleCharset& operator=(const ConsoleCharset&) = delete;

  bool isUtf8() const { return toConsole_ == NoConverter(); }

  // Replaces `out` with `text` in the console's set. A character the set
  // lacks becomes '?'; an escaped byte is written as the original byte.
  void encode(std::u16string_view text, std::string& out);

  // Replaces `out` with the UTF-16 form of a text the C library produced in
  // the locale's set (strerror).
  void decodeLocaleText(std::string_view text, std::u16string& out);

  // For a terminal, as `ls -q` does: every C0 control character, DEL and
  // C1 control character of `text` becomes '?', and so does a byte passed
  // through as itself that is a C1 control in the console's set.
  void maskControls(std::u16string& text) const;

 private:
  // iconv_open's documented failure value.
  static iconv_t NoConverter() {
    return reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
  }
  iconv_t toConsole_ = NoConverter();
  iconv_t fromLocale_ = NoConverter();
  std::bitset<128> controlBytes_;  // bytes 0x80 to 0xFF that are C1 controls
  std::string scratch_;
};

}  // namespace tablemark::posix
