// The exit status a run ends with, which scripts test.
#pragma once

namespace tablemark {

enum ExitStatus : int {
  kAllHandled = 0,  // the scan ended and no table failed; also after help
  kSomeFailed = 1,  // the scan ended, but a table failed or was refused
  kRefused = 2,     // usage shown for a bad command line, or the run ended early
};

}  // namespace tablemark
