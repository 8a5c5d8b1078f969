#include "cli/entry_point.h"

#include "cli/command_line.h"
#include "cli/usage.h"
#include "detect/detect.h"
#include "fix/fix.h"
#include "fix/restore.h"
#include "remark/remark.h"
#include "report/exit_status.h"
#include "report/messages.h"
#include "table/code_page_marks.h"

namespace tablemark {
namespace {

ExitStatus Run(const Platform& platform, std::span<const std::u16string> args) {
  const Mode mode = ParseCommandLine(args, SwitchSyntaxOf(platform.dialect));
  switch (mode.kind) {
    case Mode::Remark:
      // The mark comes first, so a bad code page is reported even when the
      // directory does not exist.
      return RemarkDirectory(platform, mode.fullPath, LookupCodePageMark(mode.codePage));
    case Mode::Detect:
      return DetectCodePages(platform, mode.fullPath);
    case Mode::Fix:
      return FixCodePages(platform, mode.fullPath);
    case Mode::Restore:
      return RestoreCodePages(platform, mode.fullPath, mode.restoreFile);
    case Mode::BadUsage:
      ShowUsage(platform);
      return kRefused;
    case Mode::MissingValue:
      ReportToConsole(platform.console, kUnexpectedErrorText, ConsoleStream::Error);
      return kRefused;
    case Mode::Help:
      ShowUsage(platform);
      return kAllHandled;
    case Mode::LongHelp:
      ShowLongHelp(platform);
      return kAllHandled;
    case Mode::Version:
      ShowVersion(platform);
      return kAllHandled;
  }
  return kRefused;
}

}  // namespace

int RunTablemark(const Platform& platform, std::span<const std::u16string> args) {
  // Handles opened by the run are owned by objects inside Run(), so they are
  // released by the time either handler below runs.
  try {
    return Run(platform, args);
  } catch (const FatalMessage& fatal) {
    ReportToConsole(platform.console, fatal.text(), ConsoleStream::Error);
  } catch (...) {
    ReportToConsole(platform.console, kUnexpectedErrorText, ConsoleStream::Error);
  }
  return kRefused;
}

}  // namespace tablemark
