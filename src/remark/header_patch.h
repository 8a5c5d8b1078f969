// The header check and patch: decides whether an open file is a table whose
// code-page mark may be changed, and changes that one byte.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/console.h"
#include "platform/file_system.h"

namespace tablemark {

enum class PatchOutcome {
  Patched,        // byte 29 was rewritten
  AlreadyMarked,  // byte 29 already held the mark; nothing written
  NotATable,      // the header was refused; reported
  Failed,         // a read, seek or write failed; reported
};

inline bool CountsAsFailed(PatchOutcome outcome) {
  return outcome == PatchOutcome::NotATable || outcome == PatchOutcome::Failed;
}

// `file` is open for reading and writing, positioned at its start.
// `fileName` is the entry name, used only in messages, which are reported
// on standard error. Only the header's 32 bytes are read, and only byte 29
// is ever written.
PatchOutcome CheckAndPatchHeader(FileSystem& files, Console& console, TableFile& file,
                                 std::u16string_view fileName, std::uint8_t mark);

}  // namespace tablemark
