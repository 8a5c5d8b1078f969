// What a run is given of the system it runs on: its conventions, its
// console, its files and its loadable libraries. The mains make one; the
// core sees the system only through it, and each part of the core takes
// only the pieces it uses.
//
// Behind the interfaces: posix/ for Linux and macOS, win32/ for Windows, and
// an in-memory fake in the tests that can fail any call.
#pragma once

#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/shared_library.h"

namespace tablemark {

// Which conventions the program follows: switch characters, the path
// separator and the executable named in the usage text.
enum class Dialect { Windows, Posix };

struct Platform {
  Dialect dialect;
  Console& console;
  FileSystem& files;
  SharedLibraries& libraries;
};

inline char16_t PathSeparator(Dialect dialect) {
  return dialect == Dialect::Windows ? u'\\' : u'/';
}

}  // namespace tablemark
