#include "remark/remark.h"

#include "report/messages.h"

namespace tablemark {
namespace {

class Remark final : public TableVisitor {
 public:
  Remark(const Platform& platform, std::uint8_t mark) : platform_(platform), mark_(mark) {}

  bool visit(const FoundTable& table) override {
    TableHeader header;
    return CountsAsFailed(RemarkTable(platform_, table, mark_, header));
  }

 private:
  const Platform& platform_;
  std::uint8_t mark_;
};

}  // namespace

PatchOutcome RemarkTable(const Platform& platform, const FoundTable& table, std::uint8_t mark,
                         TableHeader& header, std::optional<std::uint8_t> readWith) {
  FileSystem& files = platform.files;
  Console& console = platform.console;
  const std::u16string& name = table.entry.name;
  TableFile file;
  if (const Status opened = files.openTable(table.search, table.directory, table.entry, file);
      !opened.ok()) {
    ReportFileCallFailure(console, name, label::kCreateFile, opened.code());
    return PatchOutcome::Failed;
  }
  const PatchOutcome outcome =
      CheckAndPatchHeader(files, console, file, name, mark, header, readWith);
  if (outcome == PatchOutcome::Patched) {
    if (const Status closed = files.closeWrittenTable(file); !closed.ok()) {
      ReportFileCallFailure(console, name, label::kWriteFile, closed.code());
      return PatchOutcome::Failed;
    }
  }
  return outcome;
  // `file` closes here, before the next entry is fetched.
}

ExitStatus RemarkDirectory(const Platform& platform, std::u16string fullPath, std::uint8_t mark) {
  Remark remark(platform, mark);
  return ScanDirectory(platform, std::move(fullPath), remark);
}

}  // namespace tablemark
