// The directory scan: lists one directory, picks the files whose extension
// is a table type, and has something done to each: re-marking, or reading
// which code page its text is in.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "report/exit_status.h"

namespace tablemark {

// A table the scan found in the directory it is listing, with what opening
// it needs.
struct FoundTable {
  const DirectorySearch& search;
  const std::u16string& directory;  // ends in the separator
  const DirectoryEntry& entry;
  std::size_t number;  // its place among the tables visited, from 0
};

// What the scan does to each table it visits.
class TableVisitor {
 public:
  virtual ~TableVisitor() = default;
  // Whether every entry must be listed before the first table is visited;
  // `listed` then sees each entry that is not a directory, in listing order.
  virtual bool needsWholeListing() const { return false; }
  virtual void listed(const DirectoryEntry& /*entry*/) {}
  // Then, once the listing is over (`complete` unless it broke off), with
  // the tables in the order they will be visited, whether they are to be
  // visited at all: a visitor that says no has said why on standard error,
  // and the run ends with exit status 2.
  virtual bool beforeVisits(bool /*complete*/, const std::vector<DirectoryEntry>& /*tables*/) {
    return true;
  }
  // Handles one table. Reports its own problems and returns true when the
  // table failed or was refused.
  virtual bool visit(const FoundTable& table) = 0;
};

// Scans `fullPath` (the current directory when empty), handing every table
// to `visitor` in listing order, one at a time. Returns kAllHandled, or
// kSomeFailed when any visit failed. Throws FatalMessage when the directory
// cannot be settled or listed, before any table is opened, and when the
// listing breaks off, after the tables listed by then were visited.
ExitStatus ScanDirectory(const Platform& platform, std::u16string fullPath, TableVisitor& visitor);

}  // namespace tablemark
