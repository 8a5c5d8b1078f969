#include "table/companion_files.h"

#include <algorithm>

#include "table/table_files.h"

namespace tablemark {
namespace {

bool Before(const DirectoryEntry& a, const DirectoryEntry& b) {
  return BeforeIgnoringCase(a.name, b.name);
}

}  // namespace

void CompanionFiles::listed(const DirectoryEntry& entry) {
  if (HasMemoExtension(entry.name) || HasIndexExtension(entry.name)) entries_.push_back(entry);
}

const DirectoryEntry* CompanionFiles::find(std::u16string_view name) {
  // Sorted once, by name without letter case, so that a directory of many
  // tables costs a search per table, not a pass over every file.
  if (!sorted_) {
    std::stable_sort(entries_.begin(), entries_.end(), Before);
    sorted_ = true;
  }
  DirectoryEntry wanted;
  wanted.name = name;
  const auto [first, last] = std::equal_range(entries_.begin(), entries_.end(), wanted, Before);
  const DirectoryEntry* found = first == last ? nullptr : &*first;
  for (auto candidate = first; candidate != last; ++candidate) {
    if (candidate->name == name) found = &*candidate;
  }
  return found;
}

}  // namespace tablemark
