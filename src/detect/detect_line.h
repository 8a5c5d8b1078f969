// The line `--detect` prints for a table: NAME<TAB>MARK<TAB>TEXT.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "detect/code_page_guess.h"
#include "platform/console.h"

namespace tablemark {

// The MARK column: the code page the mark stands for, or 0xHH for a mark
// no row of the mark table has.
std::u16string MarkColumn(std::uint8_t mark);

// Appends a name as the line shows it: a tab, line break, backslash or any
// other control character written escaped (\t, \n, \\, \xHH), so that every
// line has exactly three fields; and, where `console` does not show a
// character as itself, the character written \u{HHHH}, so that the name
// leads back to one file.
void AppendEscaped(std::u16string_view name, std::u16string& out, Console* console = nullptr);

// Replaces `line` with the line for a table whose name shows as `shownName`
// (see Console::appendShownName), whose mark is `mark` and whose text
// `verdict` names: a code page, "-" (plain or no text), "?" (unsure), or an
// encoding's own name.
void ComposeDetectLine(Console& console, std::u16string_view shownName, std::uint8_t mark,
                       const TextVerdict& verdict, std::u16string& line);

}  // namespace tablemark
