#include "remark/remark.h"

#include "remark/header_patch.h"
#include "report/messages.h"
#include "table/directory_scan.h"

namespace tablemark {
namespace {

class Remark final : public TableVisitor {
 public:
  Remark(const Platform& platform, std::uint8_t mark) : platform_(platform), mark_(mark) {}

  bool visit(const FoundTable& table) override {
    FileSystem& files = platform_.files;
    Console& console = platform_.console;
    const std::u16string& name = table.entry.name;
    TableFile file;
    if (const Status opened = files.openTable(table.search, table.directory, table.entry, file);
        !opened.ok()) {
      ReportFileCallFailure(console, name, label::kCreateFile, opened.code());
      return true;
    }
    PatchOutcome outcome = CheckAndPatchHeader(files, console, file, name, mark_);
    if (outcome == PatchOutcome::Patched) {
      if (const Status closed = files.closeWrittenTable(file); !closed.ok()) {
        ReportFileCallFailure(console, name, label::kWriteFile, closed.code());
        outcome = PatchOutcome::Failed;
      }
    }
    return CountsAsFailed(outcome);
    // `file` closes here, before the next entry is fetched.
  }

 private:
  const Platform& platform_;
  std::uint8_t mark_;
};

}  // namespace

ExitStatus RemarkDirectory(const Platform& platform, std::u16string fullPath, std::uint8_t mark) {
  Remark remark(platform, mark);
  return ScanDirectory(platform, std::move(fullPath), remark);
}

}  // namespace tablemark
