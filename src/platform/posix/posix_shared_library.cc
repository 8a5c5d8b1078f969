#include "platform/posix/posix_shared_library.h"

#include <dlfcn.h>

namespace tablemark::posix {

void* PosixSharedLibraries::find(const char* library, const char* symbol) {
  // Kept loaded for the life of the process, as a linked library is: the
  // loader counts opens, so asking again costs a look-up, not a load.
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  return handle == nullptr ? nullptr : dlsym(handle, symbol);
}

}  // namespace tablemark::posix
