// Where a run begins and ends: the top-level frame around the whole run.
#pragma once

#include <span>
#include <string>

#include "platform/platform.h"

namespace tablemark {

// Runs Tablemark on `args` (program name first) and returns the process
// exit status. Every error that ends the run is reported here; every handle
// the run opened is released before it returns.
int RunTablemark(const Platform& platform, std::span<const std::u16string> args);

}  // namespace tablemark
