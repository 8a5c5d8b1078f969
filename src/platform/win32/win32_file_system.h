// Directories and table files on Windows: the Win32 calls the program was
// designed around.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace tablemark::win32 {

class Win32FileSystem final : public FileSystem {
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
  void nameKey(std::u16string_view name, std::u16string& key) override;

 private:
  void releaseTable(std::intptr_t native) override;
  void releaseSearch(std::intptr_t native) override;
  Status open(const std::u16string& directory, std::u16string_view name, unsigned long access,
              unsigned long share, TableFile& file);

  // The wide form of a path, reused so that the scan allocates nothing per
  // entry.
  std::wstring wide_;
};

}  // namespace tablemark::win32
