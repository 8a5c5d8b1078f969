// The files that go with a table in its directory: its memo file and its
// structural index, each named as the table with its own extension, in any
// letter case, since a listing can give them in any order and writers spell
// them as they like.
#pragma once

#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tablemark {

class CompanionFiles {
 public:
  // Keeps `entry` when its extension is a memo file's or an index's.
  void listed(const DirectoryEntry& entry);
  // The file named `name` (see MemoFileName, IndexFileName): the one of
  // that name as it is, else the first listed that differs only in letter
  // case; null when there is none.
  const DirectoryEntry* find(std::u16string_view name);

 private:
  std::vector<DirectoryEntry> entries_;
  bool sorted_ = false;
};

}  // namespace tablemark
