#include "platform/win32/win32_shared_library.h"

#include <windows.h>

namespace tablemark::win32 {

void* Win32SharedLibraries::find(const char* library, const char* symbol) {
  // Kept loaded for the life of the process, as a linked library is.
  HMODULE module = LoadLibraryA(library);
  return module == nullptr ? nullptr : reinterpret_cast<void*>(GetProcAddress(module, symbol));
}

}  // namespace tablemark::win32
