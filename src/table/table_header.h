// The table header: the first 32 bytes of a table file, whose byte 29 is the
// code-page mark.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tablemark {

struct TableHeader {
  static constexpr std::size_t kSize = 32;
  static constexpr std::size_t kCodePageMarkOffset = 29;

  std::array<std::uint8_t, kSize> bytes{};

  std::uint8_t signature() const { return bytes[0]; }
  std::uint8_t codePageMark() const { return bytes[kCodePageMarkOffset]; }
  // A table has a signature other than 0x8B and 0xCB and zero bytes 30, 31.
  bool isAcceptedTable() const {
    return signature() != 0x8B && signature() != 0xCB && bytes[30] == 0 && bytes[31] == 0;
  }
};

}  // namespace tablemark
