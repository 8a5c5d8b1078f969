#include "remark/directory_scan.h"

#include <vector>

#include "cli/console_messages.h"
#include "remark/table_header.h"

namespace tablemark {
namespace {

[[noreturn]] void ThrowCallFailure(Platform& platform, std::u16string_view label, ErrorCode code) {
  MessageBuffer message;
  ComposeCallFailure(platform, label, code, message);
  throw FatalMessage(std::move(message));
}

char16_t Separator(Dialect dialect) { return dialect == Dialect::Windows ? u'\\' : u'/'; }

}  // namespace

bool HasTableExtension(std::u16string_view name) {
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos || name.size() - dot - 1 != 3) return false;
  char16_t extension[3];
  for (std::size_t i = 0; i < 3; ++i) {
    const char16_t c = name[dot + 1 + i];
    extension[i] = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
  }
  // Compared whole against each entry of the list, not searched as a
  // substring: a POSIX name may hold the list's own separator ("F|S").
  for (std::size_t at = 0; at < TableExtensionList.size(); at += 4) {
    if (TableExtensionList.substr(at, 3) == std::u16string_view(extension, 3)) return true;
  }
  return false;
}

ExitStatus ScanDirectory(Platform& platform, std::u16string fullPath, TableVisitor& visitor) {
  ErrorCode error = 0;
  if (fullPath.empty() && !platform.currentDirectory(fullPath, error)) {
    ThrowCallFailure(platform, label::kGetCurrentDirectory, error);
  }
  if (!platform.pathExists(fullPath, error)) {
    ThrowCallFailure(platform, label::kGetFileAttributes, error);
  }
  const char16_t separator = Separator(platform.dialect());
  if (fullPath.empty() || fullPath.back() != separator) fullPath += separator;

  DirectorySearch search;
  DirectoryEntry entry;
  if (!platform.startSearch(fullPath, search, entry, error)) {
    ThrowCallFailure(platform, label::kFindFirstFile, error);
  }

  ExitStatus result = kAllHandled;
  const auto visit = [&](const DirectoryEntry& table) {
    if (visitor.visit(platform, search, fullPath, table)) result = kSomeFailed;
  };
  const bool wholeListingFirst = visitor.needsWholeListing();
  std::vector<DirectoryEntry> tables;  // held only when the whole listing comes first
  SearchStep step = SearchStep::Entry;
  for (; step == SearchStep::Entry; step = platform.nextEntry(search, entry, error)) {
    if (entry.isDirectory) continue;
    if (wholeListingFirst) visitor.listed(entry);
    if (!HasTableExtension(entry.name)) continue;
    if (wholeListingFirst) {
      tables.push_back(entry);
    } else {
      visit(entry);
    }
  }
  for (const DirectoryEntry& table : tables) visit(table);
  // A listing that broke off leaves tables unvisited: the run ended early.
  if (step == SearchStep::Failed) ThrowCallFailure(platform, label::kFindNextFile, error);
  return result;
}

namespace {

// Re-marking: each table is opened for exclusive use, checked, and its
// mark written where it differs.
class Remark final : public TableVisitor {
 public:
  explicit Remark(std::uint8_t mark) : mark_(mark) {}

  bool visit(Platform& platform, const DirectorySearch& search, const std::u16string& directory,
             const DirectoryEntry& table) override {
    ErrorCode error = 0;
    TableFile file;
    if (!platform.openTable(search, directory, table, file, error)) {
      ReportFileCallFailure(platform, table.name, label::kCreateFile, error, message_);
      return true;
    }
    PatchOutcome outcome = CheckAndPatchHeader(platform, file, table.name, mark_, message_);
    if (outcome == PatchOutcome::Patched && !platform.closeWrittenTable(file, error)) {
      ReportFileCallFailure(platform, table.name, label::kWriteFile, error, message_);
      outcome = PatchOutcome::Failed;
    }
    return CountsAsFailed(outcome);
    // `file` closes here, before the next entry is fetched.
  }

 private:
  std::uint8_t mark_;
  MessageBuffer message_;
};

}  // namespace

ExitStatus ScanDirectory(Platform& platform, std::u16string fullPath, std::uint8_t mark) {
  Remark remark(mark);
  return ScanDirectory(platform, std::move(fullPath), remark);
}

}  // namespace tablemark
