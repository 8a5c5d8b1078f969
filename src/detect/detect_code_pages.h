// Detection: what `--detect` does to each table the scan visits. Nothing is
// written: each table is opened for reading only, shared with any program
// using it, and one line on standard output names the code page its mark
// stands for beside the one its text is written in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/command_line.h"
#include "detect/code_page_guess.h"
#include "platform/platform.h"

namespace tablemark {

// Reads every table of `fullPath` (the current directory when empty) and
// prints `NAME<TAB>MARK<TAB>TEXT` for each, in listing order. Returns
// kSomeFailed when a table was refused or failed, its memo file could not
// be read, or its mark disagrees with a sure answer; kAllHandled otherwise.
// Throws FatalMessage as the re-marking scan does.
ExitStatus DetectCodePages(Platform& platform, std::u16string fullPath);

// The code page a mark stands for: the first row of the mark table with
// that mark; -1 for a mark no row has.
std::int32_t CodePageOfMark(std::uint8_t mark);

// The MARK column: that code page, or 0xHH for a mark no row has.
std::u16string MarkColumn(std::uint8_t mark);

// The TEXT column: a code page, "-" (plain or no text), "?" (unsure), or an
// encoding's own name.
std::u16string TextColumn(const TextVerdict& verdict);

// Whether a sure answer disagrees with the mark.
bool MarkIsWrong(std::uint8_t mark, const TextVerdict& verdict);

// Appends a name as the line shows it: a tab, line break, backslash or any
// other control character written escaped (\t, \n, \\, \xHH), so that every
// line has exactly three fields.
void AppendEscaped(std::u16string_view name, std::u16string& out);

// The memo file's extension for a table's name ("FPT" for "a.dbf"), in the
// letter case of the table's extension; empty for no table extension.
std::u16string MemoExtensionOf(std::u16string_view tableName);

}  // namespace tablemark
