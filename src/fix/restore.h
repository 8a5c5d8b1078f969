// Restoring: the tables a FILE names re-marked in place, each to the code
// page its line gives; the lines `--detect` and `--fix` print, or lines a
// person writes. Every line is checked before anything is written.
#pragma once

#include <string>

#include "platform/platform.h"
#include "report/exit_status.h"

namespace tablemark {

// Restores the marks that `file` ("-" for standard input) gives to the
// tables of `fullPath` (the current directory when empty). A FILE that
// cannot be read, or that has a bad line, ends the run with exit status 2
// before any table is touched; then kAllHandled or kSomeFailed as for
// re-marking. Throws FatalMessage as the directory scan does.
ExitStatus RestoreCodePages(const Platform& platform, std::u16string fullPath,
                            const std::u16string& file);

}  // namespace tablemark
