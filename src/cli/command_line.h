// The command line: what a run is asked to do.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tablemark {

// What the command line asks for: one mode, and what it works on.
struct Mode {
  enum Kind {
    Remark,        // re-mark the tables of `fullPath` to `codePage`
    Detect,        // read which code page each table's text is in
    Fix,           // re-mark each table whose text is surely in another code page
    Restore,       // re-mark the tables `restoreFile` names to the code pages it gives
    BadUsage,      // show the usage text, exit status 2
    MissingValue,  // a c or d switch, last, with nothing after its letter
    Help,          // show the usage text, exit status 0
    LongHelp,      // --help: the usage text and the long words, exit status 0
    Version,       // show the program's name and version, exit status 0
  };
  Kind kind = Remark;
  std::u16string fullPath;  // empty stands for the current directory
  std::int32_t codePage = 866;
  std::u16string restoreFile;  // "-" for standard input
};

// How a dialect marks a switch.
struct SwitchSyntax {
  // The characters that begin one: "-/\\" on Windows. On POSIX only "-",
  // because "/" begins every absolute path.
  std::u16string_view characters;
  // "--help" and "--version", as whole arguments, mean what they mean to GNU
  // tools (POSIX only; on Windows "--" is an unknown switch letter, as ever).
  bool gnuWords = false;
};
SwitchSyntax SwitchSyntaxOf(Dialect dialect);

// Ask for detection, fixing or restoring instead of re-marking, on every
// platform. Each is a whole argument that may stand anywhere (--restore
// followed by its FILE); the other arguments keep their meaning, but a code
// page beside one is refused, and alone each works on the current
// directory. At most one of them, once.
inline constexpr std::u16string_view kDetectWord = u"--detect";
inline constexpr std::u16string_view kFixWord = u"--fix";
inline constexpr std::u16string_view kRestoreWord = u"--restore";

// Applies the argument grammar to `args`, whose first element is the
// program name.
Mode ParseCommandLine(std::span<const std::u16string> args, SwitchSyntax switches);

// The integer value of a text: leading white space (Unicode spaces such as
// U+00A0 too), one optional sign, then decimal digits of any of the usual
// scripts up to the first non-digit. Wraps around in 32 bits (where _wtoi
// would saturate); no digits give 0.
std::int32_t IntegerValue(std::u16string_view text);

}  // namespace tablemark
