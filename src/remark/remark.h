// Re-marking: tables of a directory opened for this run's exclusive use,
// checked, and their code-page mark written where it differs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "remark/header_patch.h"
#include "report/exit_status.h"
#include "table/directory_scan.h"

namespace tablemark {

// Re-marks every table of `fullPath` (the current directory when empty)
// with `mark`. Returns kAllHandled or kSomeFailed; throws FatalMessage as
// the directory scan does.
ExitStatus RemarkDirectory(const Platform& platform, std::u16string fullPath, std::uint8_t mark);

// Re-marks one table the scan found with `mark`, in place: opened for
// exclusive use, checked, written where it differs (only while byte 29
// still holds `readWith`, when given), closed. Reports its own problems;
// `header` is the header as it was read.
PatchOutcome RemarkTable(const Platform& platform, const FoundTable& table, std::uint8_t mark,
                         TableHeader& header, std::optional<std::uint8_t> readWith = std::nullopt);

}  // namespace tablemark
