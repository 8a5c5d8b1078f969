// The directory scan: visits every file of one directory whose extension is
// a table type, and has each checked and re-marked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/command_line.h"
#include "platform/platform.h"

namespace tablemark {

// The eight extensions of table-type files.
inline constexpr std::u16string_view TableExtensionList = u"DBF|SCX|VCX|FRX|LBX|MNX|DBC|PJX";

// True when `name` ends in a full stop and exactly three characters that,
// with a-z upper-cased, are one of TableExtensionList.
bool HasTableExtension(std::u16string_view name);

// Scans `fullPath` (the current directory when empty), re-marking every
// table with `mark`. Returns kAllHandled, or kSomeFailed when any table
// failed or was refused; each such table is reported as it is met. Throws
// FatalMessage when the directory cannot be settled or listed, before any
// table is opened, and when the listing breaks off; tables handled by then
// stay handled.
ExitStatus ScanDirectory(Platform& platform, std::u16string fullPath, std::uint8_t mark);

}  // namespace tablemark
