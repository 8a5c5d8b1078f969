// The directory scan: lists one directory, picks the files whose extension
// is a table type, and has something done to each: re-marking, or reading
// which code page its text is in.
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

// What the scan does to each table it visits.
class TableVisitor {
 public:
  virtual ~TableVisitor() = default;
  // Whether every entry must be listed before the first table is visited;
  // `listed` then sees each entry that is not a directory, in listing order.
  virtual bool needsWholeListing() const { return false; }
  virtual void listed(const DirectoryEntry& /*entry*/) {}
  // Handles one table of the directory being searched (its path is
  // `directory`, ending in the separator). Reports its own problems and
  // returns true when the table failed or was refused.
  virtual bool visit(Platform& platform, const DirectorySearch& search,
                     const std::u16string& directory, const DirectoryEntry& table) = 0;
};

// Scans `fullPath` (the current directory when empty), handing every table
// to `visitor` in listing order, one at a time. Returns kAllHandled, or
// kSomeFailed when any visit failed. Throws FatalMessage when the directory
// cannot be settled or listed, before any table is opened, and when the
// listing breaks off, after the tables listed by then were visited.
ExitStatus ScanDirectory(Platform& platform, std::u16string fullPath, TableVisitor& visitor);

// Re-marks every table of `fullPath` with `mark`.
ExitStatus ScanDirectory(Platform& platform, std::u16string fullPath, std::uint8_t mark);

}  // namespace tablemark
