// The Windows entry point, where the run is put together: the wide argument
// vector, as the C runtime splits the command line, and the Win32 platform.
#include <string>
#include <vector>

#include "cli/entry_point.h"
#include "platform/win32/win32_console.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_shared_library.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> args;
  args.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    const std::wstring_view arg(argv[i]);
    args.emplace_back(arg.begin(), arg.end());
  }
  tablemark::win32::Win32Console console;
  tablemark::win32::Win32FileSystem files;
  tablemark::win32::Win32SharedLibraries libraries;
  return tablemark::RunTablemark({tablemark::Dialect::Windows, console, files, libraries}, args);
}
