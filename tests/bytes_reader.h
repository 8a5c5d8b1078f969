// A file in memory, read through the platform's FileReader: for the unit
// tests and the fuzz targets. It counts what is read, notes reads that reach
// past the end of the file, and can be made to fail.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/file_system.h"

namespace tablemark::testing {

using Bytes = std::vector<std::uint8_t>;

class BytesReader final : public FileReader {
 public:
  explicit BytesReader(const Bytes& bytes) : bytes_(bytes) {}

  Transfer readAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
    if (failingRead && reads >= *failingRead) return {Status::Failed(failCode), 0};
    ++reads;
    if (offset > bytes_.size() || buffer.size() > bytes_.size() - offset) ++outsideReads;
    const std::size_t count =
        offset >= bytes_.size() ? 0 : std::min<std::size_t>(buffer.size(), bytes_.size() - offset);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), count, buffer.begin());
    bytesRead += count;
    return {Status::Ok(), count};
  }

  std::size_t bytesRead = 0;
  std::size_t reads = 0;         // that succeeded
  std::size_t outsideReads = 0;  // that reached past the end of the file
  // From this read on (counted from 0), every read fails with `failCode`.
  std::optional<std::size_t> failingRead;
  ErrorCode failCode = 0;

 private:
  const Bytes& bytes_;
};

}  // namespace tablemark::testing
