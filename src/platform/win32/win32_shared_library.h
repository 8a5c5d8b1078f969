// Libraries loaded by name on Windows: LoadLibrary.
#pragma once

#include "platform/shared_library.h"

namespace tablemark::win32 {

class Win32SharedLibraries final : public SharedLibraries {
 public:
  void* find(const char* library, const char* symbol) override;
};

}  // namespace tablemark::win32
