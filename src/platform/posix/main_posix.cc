// The POSIX entry point: arguments are bytes, turned into UTF-16 here.
#include <langinfo.h>

#include <clocale>
#include <string>
#include <vector>

#include "cli/entry_point.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/utf8_escape.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<std::u16string> args(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    tablemark::posix::DecodeBytes(argv[i], args[static_cast<std::size_t>(i)]);
  }
  tablemark::posix::PosixPlatform platform(nl_langinfo(CODESET));
  return tablemark::RunTablemark(platform, args);
}
