// The command line: what a run is asked to do, and the exit status it ends
// with.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tablemark {

enum ExitStatus : int {
  kAllHandled = 0,  // the scan ended and no table failed; also after help
  kSomeFailed = 1,  // the scan ended, but a table failed or was refused
  kRefused = 2,     // usage shown for a bad command line, or the run ended early
};

struct RunSettings {
  std::u16string fullPath;  // empty stands for the current directory
  std::int32_t codePage = 866;
  bool codePageNamed = false;  // by a c switch or in second place
  // Read which code page each table's text is in, instead of re-marking.
  bool detect = false;
};

enum class CommandLineVerdict {
  Run,       // settings are filled
  Help,      // show the usage text, exit status 0
  LongHelp,  // --help: the usage text and the long words, exit status 0
  Version,   // show the program's name and version, exit status 0
  BadUsage,  // show the usage text, exit status 2
};

struct ParsedCommandLine {
  CommandLineVerdict verdict = CommandLineVerdict::Run;
  RunSettings settings;
};

// Thrown for a c or d switch that is the last argument and has nothing
// after its letter; the top-level frame reports it as an unexpected error.
struct MissingSwitchValue {};

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

// Asks for detection instead of re-marking, on every platform. It may stand
// anywhere; the other arguments keep their meaning, but a code page beside
// it is refused, and alone it names the current directory.
inline constexpr std::u16string_view kDetectWord = u"--detect";

// Applies the argument grammar to `args`, whose first element is the
// program name. Throws MissingSwitchValue as described above.
ParsedCommandLine ParseCommandLine(std::span<const std::u16string> args, SwitchSyntax switches);

// The integer value of a text: leading white space (Unicode spaces such as
// U+00A0 too), one optional sign, then decimal digits of any of the usual
// scripts up to the first non-digit. Wraps around in 32 bits (where _wtoi
// would saturate); no digits give 0.
std::int32_t IntegerValue(std::u16string_view text);

}  // namespace tablemark
