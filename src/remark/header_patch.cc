#include "remark/header_patch.h"

#include <array>

#include "report/messages.h"
#include "table/table_header.h"

namespace tablemark {

PatchOutcome CheckAndPatchHeader(FileSystem& files, Console& console, TableFile& file,
                                 std::u16string_view fileName, std::uint8_t mark,
                                 TableHeader& header, std::optional<std::uint8_t> readWith) {
  const auto fail = [&](std::u16string_view label, Status status) {
    ReportFileCallFailure(console, fileName, label, status.code());
    return PatchOutcome::Failed;
  };

  const Transfer read = files.readTable(file, header.bytes);
  if (!read.status.ok() || read.count != TableHeader::kSize) {
    return fail(label::kReadFile, read.status);
  }
  if (!header.isAcceptedTable()) {
    ReportNotATable(console, fileName);
    return PatchOutcome::NotATable;
  }
  if (readWith && header.codePageMark() != *readWith) {
    ReportChangedMeanwhile(console, fileName);
    return PatchOutcome::Changed;
  }
  if (header.codePageMark() == mark) return PatchOutcome::AlreadyMarked;

  const Status sought = files.seekTable(file, TableHeader::kCodePageMarkOffset);
  if (!sought.ok()) return fail(label::kSetFilePointer, sought);
  const std::array<std::uint8_t, 1> markByte{mark};
  const Transfer written = files.writeTable(file, markByte);
  if (!written.status.ok() || written.count != 1) return fail(label::kWriteFile, written.status);
  return PatchOutcome::Patched;
}

}  // namespace tablemark
