// Libraries loaded by name on Linux and macOS: dlopen.
#pragma once

#include "platform/shared_library.h"

namespace tablemark::posix {

class PosixSharedLibraries final : public SharedLibraries {
 public:
  void* find(const char* library, const char* symbol) override;
};

}  // namespace tablemark::posix
