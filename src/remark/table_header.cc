#include "remark/table_header.h"

namespace tablemark {

bool TableHeader::isAcceptedTable() const {
  const std::uint8_t type = signature();
  return type != 0x8B && type != 0xCB && bytes[30] == 0 && bytes[31] == 0;
}

PatchOutcome CheckAndPatchHeader(Platform& platform, TableFile& file, std::u16string_view fileName,
                                 std::uint8_t mark, MessageBuffer& message) {
  const auto fail = [&](std::u16string_view label, ErrorCode code) {
    ReportFileCallFailure(platform, fileName, label, code, message);
    return PatchOutcome::Failed;
  };

  TableHeader header;
  const Transfer read = platform.readTable(file, header.bytes);
  if (read.error != 0 || read.count != TableHeader::kSize) {
    return fail(label::kReadFile, read.error);
  }
  if (!header.isAcceptedTable()) {
    ReportNotATable(platform, fileName, message);
    return PatchOutcome::NotATable;
  }
  if (header.codePageMark() == mark) return PatchOutcome::AlreadyMarked;

  ErrorCode error = 0;
  if (!platform.seekTable(file, TableHeader::kCodePageMarkOffset, error)) {
    return fail(label::kSetFilePointer, error);
  }
  const std::array<std::uint8_t, 1> markByte{mark};
  const Transfer written = platform.writeTable(file, markByte);
  if (written.error != 0 || written.count != 1) {
    return fail(label::kWriteFile, written.error);
  }
  return PatchOutcome::Patched;
}

}  // namespace tablemark
