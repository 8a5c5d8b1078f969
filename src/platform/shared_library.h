// Libraries loaded by name while the program runs, for what a run needs
// only sometimes: a run that never asks does not pay for loading them.
#pragma once

namespace tablemark {

class SharedLibraries {
 public:
  virtual ~SharedLibraries() = default;
  // The address of `symbol` in the library named `library` (its file name,
  // as the system's loader looks it up), loaded the first time it is asked
  // for and kept for the life of the process; null when either cannot be had.
  virtual void* find(const char* library, const char* symbol) = 0;
};

}  // namespace tablemark
