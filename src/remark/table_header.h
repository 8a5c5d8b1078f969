// The table header check and patch: decides whether an open file is a
// table whose code-page mark may be changed, and changes that one byte.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "cli/console_messages.h"
#include "platform/platform.h"

namespace tablemark {

// The first 32 bytes of a table file. Only these are ever read.
struct TableHeader {
  static constexpr std::size_t kSize = 32;
  static constexpr std::size_t kCodePageMarkOffset = 29;

  std::array<std::uint8_t, kSize> bytes{};

  std::uint8_t signature() const { return bytes[0]; }
  std::uint8_t codePageMark() const { return bytes[kCodePageMarkOffset]; }
  // A table has a signature other than 0x8B and 0xCB and zero bytes 30, 31.
  bool isAcceptedTable() const;
};

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
// on standard error through `message`. Only byte 29 is ever written.
PatchOutcome CheckAndPatchHeader(Platform& platform, TableFile& file, std::u16string_view fileName,
                                 std::uint8_t mark, MessageBuffer& message);

}  // namespace tablemark
