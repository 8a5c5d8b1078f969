// Directories and table files on Linux and macOS.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/file_system.h"

namespace tablemark::posix {

class PosixFileSystem final : public FileSystem {
 public:
  Status currentDirectory(std::u16string& path) override;
  Status pathExists(const std::u16string& path) override;
  Status startSearch(const std::u16string& directory, DirectorySearch& search,
                     DirectoryEntry& first) override;
  SearchStep nextEntry(DirectorySearch& search, DirectoryEntry& entry) override;

  Status openTable(const DirectorySearch& search, const std::u16string& directory,
                   const DirectoryEntry& entry, TableFile& file) override;
  Status openForReading(const DirectorySearch& search, const std::u16string& directory,
                        const DirectoryEntry& entry, TableFile& file, std::uint64_t& size) override;
  Transfer readAt(TableFile& file, std::uint64_t offset, std::span<std::uint8_t> buffer) override;
  Transfer readTable(TableFile& file, std::span<std::uint8_t> buffer) override;
  Status seekTable(TableFile& file, std::uint32_t offset) override;
  Transfer writeTable(TableFile& file, std::span<const std::uint8_t> bytes) override;
  Status closeWrittenTable(TableFile& file) override;
  Status readWholeFile(const std::u16string& path, std::string& bytes, bool& opened) override;
  Status readStandardInput(std::string& bytes) override;

 private:
  void releaseTable(std::intptr_t native) override;
  void releaseSearch(std::intptr_t native) override;

  // Where the next write goes: the seek only records it, and the write
  // goes there in one call.
  off_t writeOffset_ = 0;
  // Reused, so that the scan allocates nothing per entry.
  std::string bytes_;
};

}  // namespace tablemark::posix
