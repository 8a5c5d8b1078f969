// The lines `--restore` reads: NAME<TAB>CODEPAGE, anything after a second
// tab ignored, as `--detect` and `--fix` print them or a person writes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "platform/platform.h"

namespace tablemark {

// The text of a restore file: a UTF-16 byte-order mark says UTF-16 (what
// Windows PowerShell's `>` writes), a UTF-8 one is skipped and says UTF-8;
// anything else is in the console's own character set, as printed.
void DecodeRestoreFile(std::string_view bytes, Console& console, std::u16string& text);

// One line of a restore file.
struct RestoreLine {
  std::size_t number = 0;        // from 1, blank lines counted
  std::u16string_view name;      // the escapes of a printed name undone
  std::u16string_view codePage;  // as written
  std::uint8_t mark = 0;         // the byte to write
  enum class Problem {
    None,
    Form,      // not NAME<TAB>CODEPAGE, or an escape no name has
    NotAName,  // ".", "..", or a path separator in it
    NoMark,    // a code page without a mark, and not 0xHH
  } problem = Problem::None;
};

// The lines of `text`, blank ones left out, each parsed and checked by
// itself. What the listing has to say of a name is the caller's. The lines'
// names and code pages are in `text`, the names' escapes undone in place.
std::vector<RestoreLine> ParseRestoreLines(std::u16string& text, Dialect dialect);

}  // namespace tablemark
