// The platform on Windows: the Win32 calls the program was designed around.
#pragma once

#include <string>

#include "platform/platform.h"

namespace tablemark::win32 {

class Win32Platform final : public Platform {
 public:
  Dialect dialect() const override { return Dialect::Windows; }
  void writeLine(ConsoleStream stream, std::u16string_view text) override;
  void appendErrorText(ErrorCode code, std::u16string& out) override;

  bool currentDirectory(std::u16string& path, ErrorCode& error) override;
  bool pathExists(const std::u16string& path, ErrorCode& error) override;
  bool startSearch(const std::u16string& directory, DirectorySearch& search, DirectoryEntry& first,
                   ErrorCode& error) override;
  SearchStep nextEntry(DirectorySearch& search, DirectoryEntry& entry, ErrorCode& error) override;

  bool openTable(const DirectorySearch& search, const std::u16string& directory,
                 const DirectoryEntry& entry, TableFile& file, ErrorCode& error) override;
  bool openForReading(const DirectorySearch& search, const std::u16string& directory,
                      const DirectoryEntry& entry, TableFile& file, std::uint64_t& size,
                      ErrorCode& error) override;
  Transfer readAt(TableFile& file, std::uint64_t offset, std::span<std::uint8_t> buffer) override;
  Transfer readTable(TableFile& file, std::span<std::uint8_t> buffer) override;
  bool seekTable(TableFile& file, std::uint32_t offset, ErrorCode& error) override;
  Transfer writeTable(TableFile& file, std::span<const std::uint8_t> bytes) override;
  bool closeWrittenTable(TableFile& file, ErrorCode& error) override;

 private:
  void releaseTable(std::intptr_t native) override;
  void releaseSearch(std::intptr_t native) override;
  bool open(const std::u16string& directory, std::u16string_view name, unsigned long access,
            unsigned long share, TableFile& file, ErrorCode& error);

  // Scratch text, reused so that the scan allocates nothing per entry: the
  // wide form of a path or of a console line, and its OEM bytes.
  std::wstring wide_;
  std::string bytes_;
};

}  // namespace tablemark::win32
