// The header check and patch: decides whether an open file is a table whose
// code-page mark may be changed, and changes that one byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/console.h"
#include "platform/file_system.h"
#include "table/table_header.h"

namespace tablemark {

enum class PatchOutcome {
  Patched,        // byte 29 was rewritten
  AlreadyMarked,  // byte 29 already held the mark; nothing written
  NotATable,      // the header was refused; reported
  Failed,         // a read, seek or write failed; reported
  Changed,        // byte 29 no longer held the mark it was read with; reported
};

inline bool CountsAsFailed(PatchOutcome outcome) {
  return outcome != PatchOutcome::Patched && outcome != PatchOutcome::AlreadyMarked;
}

// `file` is open for reading and writing, positioned at its start.
// `fileName` is the entry name, used only in messages, which are reported
// on standard error. Only the header's 32 bytes are read, into `header`,
// and only byte 29 is ever written. With `readWith`, the mark the table
// was read with a moment before, byte 29 is written only while it still
// holds that: another program may have changed the table since.
PatchOutcome CheckAndPatchHeader(FileSystem& files, Console& console, TableFile& file,
                                 std::u16string_view fileName, std::uint8_t mark,
                                 TableHeader& header,
                                 std::optional<std::uint8_t> readWith = std::nullopt);

}  // namespace tablemark
