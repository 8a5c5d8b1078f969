#include "table/directory_scan.h"

#include <vector>

#include "report/messages.h"
#include "table/table_files.h"

namespace tablemark {

ExitStatus ScanDirectory(const Platform& platform, std::u16string fullPath, TableVisitor& visitor) {
  FileSystem& files = platform.files;
  if (fullPath.empty()) {
    const Status found = files.currentDirectory(fullPath);
    if (!found.ok()) ThrowCallFailure(platform.console, label::kGetCurrentDirectory, found.code());
  }
  if (const Status exists = files.pathExists(fullPath); !exists.ok()) {
    ThrowCallFailure(platform.console, label::kGetFileAttributes, exists.code());
  }
  const char16_t separator = PathSeparator(platform.dialect);
  if (fullPath.empty() || fullPath.back() != separator) fullPath += separator;

  DirectorySearch search;
  DirectoryEntry entry;
  if (const Status started = files.startSearch(fullPath, search, entry); !started.ok()) {
    ThrowCallFailure(platform.console, label::kFindFirstFile, started.code());
  }

  ExitStatus result = kAllHandled;
  std::size_t visited = 0;
  const auto visit = [&](const DirectoryEntry& table) {
    if (visitor.visit(FoundTable{search, fullPath, table, visited++})) result = kSomeFailed;
  };
  const bool wholeListingFirst = visitor.needsWholeListing();
  std::vector<DirectoryEntry> tables;  // held only when the whole listing comes first
  SearchStep step;
  for (; step.kind == SearchStep::Entry; step = files.nextEntry(search, entry)) {
    if (entry.isDirectory) continue;
    if (wholeListingFirst) visitor.listed(entry);
    if (!HasTableExtension(entry.name)) continue;
    if (wholeListingFirst) {
      tables.push_back(entry);
    } else {
      visit(entry);
    }
  }
  const bool complete = step.kind != SearchStep::Failed;
  const bool goOn = !wholeListingFirst || visitor.beforeVisits(complete, tables);
  if (goOn) {
    for (const DirectoryEntry& table : tables) visit(table);
  }
  // A listing that broke off leaves tables unvisited: the run ended early.
  if (!complete) {
    ThrowCallFailure(platform.console, label::kFindNextFile, step.code);
  }
  return goOn ? result : kRefused;
}

}  // namespace tablemark
