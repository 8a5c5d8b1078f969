// Re-marking: every table of a directory opened for this run's exclusive
// use, checked, and its code-page mark written where it differs.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "report/exit_status.h"

namespace tablemark {

// Re-marks every table of `fullPath` (the current directory when empty)
// with `mark`. Returns kAllHandled or kSomeFailed; throws FatalMessage as
// the directory scan does.
ExitStatus RemarkDirectory(const Platform& platform, std::u16string fullPath, std::uint8_t mark);

}  // namespace tablemark
