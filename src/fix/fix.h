// Fixing: every table read as `--detect` reads it and its line printed;
// where the answer is sure, names a code page of the mark table and
// disagrees with the mark, the table is re-marked to that code page in
// place. The output is the record that undoes the run (`--restore`).
#pragma once

#include <string>

#include "platform/platform.h"
#include "report/exit_status.h"

namespace tablemark {

// Fixes the tables of `fullPath` (the current directory when empty). Each
// table's line is written before its mark changes; a line standard output
// cannot take ends the run there. Returns what `--detect` would after the
// run, a failed or refused write counting as a failed table; throws
// FatalMessage as the directory scan does.
ExitStatus FixCodePages(const Platform& platform, std::u16string fullPath);

}  // namespace tablemark
