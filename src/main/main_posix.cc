// The POSIX entry point, where the run is put together: arguments are
// bytes, turned into UTF-16 here, and the run gets the POSIX platform.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include "cli/entry_point.h"
#include "platform/posix/posix_console.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_shared_library.h"
#include "platform/posix/utf8_escape.h"

namespace {

// A standard stream the caller closed would otherwise lend its number to
// the first table opened, and messages meant for standard error would be
// written into that table. Returns whether standard output was closed.
bool OpenMissingStandardStreams() {
  bool outputClosed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // The lowest free number is `fd` itself, since the ones below are open.
      if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd) _exit(2);
      outputClosed = outputClosed || fd == 1;
    }
  }
  return outputClosed;
}

}  // namespace

int main(int argc, char** argv) {
  const bool outputClosed = OpenMissingStandardStreams();
  // A reader that went away must not end the run with a signal: the write
  // fails instead, and the run says so in its exit status.
  (void)std::signal(SIGPIPE, SIG_IGN);
  // Another program opening a table the run holds a lease on breaks the
  // lease with SIGIO, whose default would end the run; the opener waits the
  // moment until the table is closed.
  (void)std::signal(SIGIO, SIG_IGN);
  std::vector<std::u16string> args(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    tablemark::posix::DecodeBytes(argv[i], args[static_cast<std::size_t>(i)]);
  }
  tablemark::posix::PosixConsole console(outputClosed);
  tablemark::posix::PosixFileSystem files;
  tablemark::posix::PosixSharedLibraries libraries;
  return tablemark::RunTablemark({tablemark::Dialect::Posix, console, files, libraries}, args);
}
