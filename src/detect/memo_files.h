// The memo files of a directory's listing, and which goes with a table: the
// one named as the table with its memo extension, in any letter case, since
// a listing can give them in any order and writers spell them as they like.
#pragma once

#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tablemark {

class MemoFiles {
 public:
  // Keeps `entry` when its extension is a memo file's.
  void listed(const DirectoryEntry& entry);
  // The memo file of the table `memoName` names (see MemoFileName): the one
  // of that name as it is, else the first listed that differs only in
  // letter case; null when there is none.
  const DirectoryEntry* find(std::u16string_view memoName);

 private:
  std::vector<DirectoryEntry> entries_;
  bool sorted_ = false;
};

}  // namespace tablemark
