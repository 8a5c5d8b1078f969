#include "remark/directory_scan.h"

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

ExitStatus ScanDirectory(Platform& platform, std::u16string fullPath, std::uint8_t mark) {
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
  MessageBuffer message;
  SearchStep step = SearchStep::Entry;
  for (; step == SearchStep::Entry; step = platform.nextEntry(search, entry, error)) {
    if (entry.isDirectory || !HasTableExtension(entry.name)) continue;
    TableFile file;
    if (!platform.openTable(search, fullPath, entry.name, file, error)) {
      ReportFileCallFailure(platform, entry.name, label::kCreateFile, error, message);
      result = kSomeFailed;
      continue;
    }
    PatchOutcome outcome = CheckAndPatchHeader(platform, file, entry.name, mark, message);
    if (outcome == PatchOutcome::Patched && !platform.closeWrittenTable(file, error)) {
      ReportFileCallFailure(platform, entry.name, label::kWriteFile, error, message);
      outcome = PatchOutcome::Failed;
    }
    if (CountsAsFailed(outcome)) result = kSomeFailed;
    // `file` closes here, before the next entry is fetched.
  }
  // A listing that broke off leaves tables unvisited: the run ended early.
  if (step == SearchStep::Failed) ThrowCallFailure(platform, label::kFindNextFile, error);
  return result;
}

}  // namespace tablemark
