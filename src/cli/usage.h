// The texts the command line shows on standard output: the usage text,
// the long help and the version.
#pragma once

#include <string>

#include "platform/platform.h"

namespace tablemark {

// The usage text for the dialect, without its final line end.
std::u16string UsageText(Dialect dialect);

// The usage text on standard output.
void ShowUsage(const Platform& platform);

// The usage text and what the long words do, on standard output (--help).
void ShowLongHelp(const Platform& platform);

// "tablemark <version>" on standard output; the version is the build's.
void ShowVersion(const Platform& platform);

}  // namespace tablemark
