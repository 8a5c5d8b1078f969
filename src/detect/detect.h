// Detection: what `--detect` does. Nothing is written: each table is opened
// for reading only, shared with any program using it, and one line on
// standard output names the code page its mark stands for beside the one
// its text is written in.
#pragma once

#include <functional>
#include <string>

#include "detect/code_page_guess.h"
#include "platform/platform.h"
#include "report/exit_status.h"

namespace tablemark {

// Reads every table of `fullPath` (the current directory when empty) and
// prints `NAME<TAB>MARK<TAB>TEXT` for each, in listing order. Returns
// kSomeFailed when a table was refused or failed, its memo file could not
// be read, or its mark disagrees with a sure answer; kAllHandled otherwise.
// Throws FatalMessage as the directory scan does.
ExitStatus DetectCodePages(const Platform& platform, std::u16string fullPath);

// The same with a model of its own, calling `guessed` after each table's
// line: for the tool that chooses the model's constants.
ExitStatus DetectCodePages(const Platform& platform, std::u16string fullPath,
                           const GuessModel& model,
                           const std::function<void(const CodePageGuesser&)>& guessed);

}  // namespace tablemark
