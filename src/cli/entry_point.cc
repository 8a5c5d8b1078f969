#include "cli/entry_point.h"

#include "cli/console_messages.h"
#include "detect/detect_code_pages.h"
#include "remark/code_page_marks.h"
#include "remark/directory_scan.h"

namespace tablemark {
namespace {

ExitStatus Run(Platform& platform, std::span<const std::u16string> args) {
  const ParsedCommandLine parsed = ParseCommandLine(args, SwitchSyntaxOf(platform.dialect()));
  switch (parsed.verdict) {
    case CommandLineVerdict::Help:
      ShowUsage(platform);
      return kAllHandled;
    case CommandLineVerdict::LongHelp:
      ShowLongHelp(platform);
      return kAllHandled;
    case CommandLineVerdict::Version:
      ShowVersion(platform);
      return kAllHandled;
    case CommandLineVerdict::BadUsage:
      ShowUsage(platform);
      return kRefused;
    case CommandLineVerdict::Run:
      break;
  }
  if (parsed.settings.detect) return DetectCodePages(platform, parsed.settings.fullPath);
  // The mark comes first, so a bad code page is reported even when the
  // directory does not exist.
  const std::uint8_t mark = LookupCodePageMark(parsed.settings.codePage);
  return ScanDirectory(platform, parsed.settings.fullPath, mark);
}

}  // namespace

int RunTablemark(Platform& platform, std::span<const std::u16string> args) {
  // Handles opened by the run are owned by objects inside Run(), so they are
  // released by the time either handler below runs.
  try {
    return Run(platform, args);
  } catch (const FatalMessage& fatal) {
    ReportToConsole(platform, fatal.text(), ConsoleStream::Error);
  } catch (...) {
    ReportToConsole(platform, kUnexpectedErrorText, ConsoleStream::Error);
  }
  return kRefused;
}

}  // namespace tablemark
