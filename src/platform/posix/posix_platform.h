// The platform on Linux and macOS.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/posix/console_charset.h"

namespace tablemark::posix {

class PosixPlatform final : public Platform {
 public:
  // `codeset` is the locale's character set (nl_langinfo(CODESET)).
  explicit PosixPlatform(std::string_view codeset);

  Dialect dialect() const override { return Dialect::Posix; }
  void writeLine(ConsoleStream stream, std::u16string_view text) override;
  void appendErrorText(ErrorCode code, std::u16string& out) override;

  bool currentDirectory(std::u16string& path, ErrorCode& error) override;
  bool pathExists(const std::u16string& path, ErrorCode& error) override;
  bool startSearch(const std::u16string& directory, DirectorySearch& search, DirectoryEntry& first,
                   ErrorCode& error) override;
  bool nextEntry(DirectorySearch& search, DirectoryEntry& entry) override;

  bool openTable(const DirectorySearch& search, const std::u16string& directory,
                 std::u16string_view name, TableFile& file, ErrorCode& error) override;
  Transfer readTable(TableFile& file, std::span<std::uint8_t> buffer) override;
  bool seekTable(TableFile& file, std::uint32_t offset, ErrorCode& error) override;
  Transfer writeTable(TableFile& file, std::span<const std::uint8_t> bytes) override;

 private:
  void closeTable(std::intptr_t native) override;
  void endSearch(std::intptr_t native) override;

  ConsoleCharset charset_;
  // Reused, so that the scan allocates nothing per entry.
  std::string bytes_;
  std::u16string text_;
};

}  // namespace tablemark::posix
