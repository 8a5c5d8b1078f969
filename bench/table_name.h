// Which directory entries the floors handle: the eight table extensions, in
// any letter case, as tablemark picks them.
#pragma once

#include <cstring>

inline bool IsTableName(const char* name) {
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr || std::strlen(dot + 1) != 3) return false;
  char ext[4] = {};
  for (int i = 0; i < 3; ++i) {
    char c = dot[1 + i];
    ext[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  static const char* const kTypes[] = {"DBF", "SCX", "VCX", "FRX", "LBX", "MNX", "DBC", "PJX"};
  for (const char* type : kTypes) {
    if (std::memcmp(ext, type, 3) == 0) return true;
  }
  return false;
}
