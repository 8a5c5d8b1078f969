// The platform on Linux and macOS.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/posix/console_charset.h"

namespace tablemark::posix {

class PosixPlatform final : public Platform {
 public:
  Dialect dialect() const override { return Dialect::Posix; }
  void writeLine(ConsoleStream stream, std::u16string_view text) override;
  void appendErrorText(ErrorCode code, std::u16string& out) override;
  void appendShownName(std::u16string_view name, std::u16string& out) override;

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

  // The console, set up the first time a message needs it: a run that
  // prints nothing does no locale work at all, and a locale category is
  // loaded only when a message needs what it holds.
  struct Console {
    explicit Console(const char* codeset) : charset(codeset) {}
    ConsoleCharset charset;
    std::optional<bool> errorIsTerminal;
  };
  Console& console();

  std::optional<Console> console_;
  bool ctypeLoaded_ = false;
  bool messagesLoaded_ = false;
  // Where the next write goes: the seek only records it, and the write
  // goes there in one call.
  off_t writeOffset_ = 0;
  // Reused, so that the scan allocates nothing per entry.
  std::string bytes_;
  std::u16string text_;
};

}  // namespace tablemark::posix
