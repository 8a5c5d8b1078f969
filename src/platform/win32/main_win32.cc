// The Windows entry point: the wide argument vector, as the C runtime splits
// the command line.
#include <string>
#include <vector>

#include "cli/entry_point.h"
#include "platform/win32/win32_platform.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> args;
  args.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    const std::wstring_view arg(argv[i]);
    args.emplace_back(arg.begin(), arg.end());
  }
  tablemark::win32::Win32Platform platform;
  return tablemark::RunTablemark(platform, args);
}
