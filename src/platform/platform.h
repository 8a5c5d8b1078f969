// The one interface between Tablemark and the operating system.
//
// The core (src/cli, src/remark) sees the system only through `Platform`.
// Behind it: posix/ for Linux and macOS, win32/ for Windows, and an in-memory
// fake in the tests that can fail any call. Every text crossing it is UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tablemark {

// The system's code for a failed call; 0 means the system gave none.
// Windows codes are DWORDs, printed in signed decimal, hence 32-bit signed.
using ErrorCode = std::int32_t;

enum class ConsoleStream { Output, Error };

// Which console conventions the program follows: switch characters, path
// separator and the executable named in the usage text.
enum class Dialect { Windows, Posix };

// One entry as the directory search delivers it. The scan reuses a single
// instance, so `name` keeps its capacity from entry to entry.
struct DirectoryEntry {
  std::u16string name;  // the long name, without the directory part
  bool isDirectory = false;
  // The listing already says it is a device, a FIFO or a socket, which is
  // refused unopened: opening one has effects of its own.
  bool listedAsSpecial = false;
};

// A transfer of bytes: the system's code when the call failed, and how many
// bytes moved when it did not.
struct Transfer {
  ErrorCode error = 0;
  std::size_t count = 0;
};

// What one step of a directory search gave. The end of the list and a
// listing that breaks off are told apart: only the end is success.
enum class SearchStep { Entry, End, Failed };

class Platform;

// A handle the platform hands out, released by the platform when the owner
// lets go of it. Move-only.
template <typename Tag>
class OwnedHandle {
 public:
  OwnedHandle() = default;
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  OwnedHandle(OwnedHandle&& other) noexcept { *this = std::move(other); }
  OwnedHandle& operator=(OwnedHandle&& other) noexcept;
  ~OwnedHandle() { reset(); }

  bool isOpen() const { return owner_ != nullptr; }
  std::intptr_t native() const { return native_; }
  // Set by the platform that opened it.
  void adopt(Platform& owner, std::intptr_t native) {
    reset();
    owner_ = &owner;
    native_ = native;
  }
  void reset();
  // Lets go of the handle without releasing it, for a platform that
  // releases it itself and wants to know the outcome.
  std::intptr_t release() {
    owner_ = nullptr;
    return std::exchange(native_, 0);
  }

 private:
  Platform* owner_ = nullptr;
  std::intptr_t native_ = 0;
};

struct TableFileTag;
struct DirectorySearchTag;
using TableFile = OwnedHandle<TableFileTag>;
using DirectorySearch = OwnedHandle<DirectorySearchTag>;

class Platform {
 public:
  virtual ~Platform() = default;

  virtual Dialect dialect() const = 0;

  // Console. `writeLine` converts the text to the console's character set,
  // writes it, then a line end, then flushes. Write failures are not reported.
  virtual void writeLine(ConsoleStream stream, std::u16string_view text) = 0;
  // Appends the system's own text for `code`, as the system gives it (a
  // Windows text keeps its trailing CR LF); nothing when it has none.
  virtual void appendErrorText(ErrorCode code, std::u16string& out) = 0;
  // Appends what stands for a directory entry's name inside a message: the
  // name itself, unless the console needs the name's own bytes passed through.
  virtual void appendShownName(std::u16string_view name, std::u16string& out) { out += name; }

  // Calls that can fail return false and leave the system's code in
  // `error`, which is 0 when the system gave none.

  // Directory.
  virtual bool currentDirectory(std::u16string& path, ErrorCode& error) = 0;
  virtual bool pathExists(const std::u16string& path, ErrorCode& error) = 0;
  // `directory` ends in the separator. Delivers the first entry on success.
  virtual bool startSearch(const std::u16string& directory, DirectorySearch& search,
                           DirectoryEntry& first, ErrorCode& error) = 0;
  // `error` is set only when the step is Failed.
  virtual SearchStep nextEntry(DirectorySearch& search, DirectoryEntry& entry,
                               ErrorCode& error) = 0;

  // Tables. `openTable` opens `entry` of the directory being searched
  // (whose path is `directory`) for reading and writing, for this process's
  // exclusive use, refusing anything that is not an ordinary file.
  virtual bool openTable(const DirectorySearch& search, const std::u16string& directory,
                         const DirectoryEntry& entry, TableFile& file, ErrorCode& error) = 0;
  // Opens `entry` for reading only, shared with any program that has it
  // open, without lock or lease, refusing anything that is not an ordinary
  // file. `size` is its length at the open. Nothing is ever written to it.
  virtual bool openForReading(const DirectorySearch& search, const std::u16string& directory,
                              const DirectoryEntry& entry, TableFile& file, std::uint64_t& size,
                              ErrorCode& error) = 0;
  // Reads at `offset` until the buffer is full or the file ends, leaving
  // the position that readTable reads from as it was.
  virtual Transfer readAt(TableFile& file, std::uint64_t offset,
                          std::span<std::uint8_t> buffer) = 0;
  // Reads from the current position until the buffer is full or the file
  // ends; a short count with error 0 means the file ended.
  virtual Transfer readTable(TableFile& file, std::span<std::uint8_t> buffer) = 0;
  virtual bool seekTable(TableFile& file, std::uint32_t offset, ErrorCode& error) = 0;
  virtual Transfer writeTable(TableFile& file, std::span<const std::uint8_t> bytes) = 0;
  // Closes a table that was written to. On network and FUSE file systems a
  // write's real outcome often arrives only here, so a failure is the
  // write's failure. A table that was not written is closed unchecked.
  virtual bool closeWrittenTable(TableFile& file, ErrorCode& error) = 0;

 private:
  template <typename Tag>
  friend class OwnedHandle;
  virtual void releaseTable(std::intptr_t native) = 0;
  virtual void releaseSearch(std::intptr_t native) = 0;
};

template <typename Tag>
OwnedHandle<Tag>& OwnedHandle<Tag>::operator=(OwnedHandle&& other) noexcept {
  if (this != &other) {
    reset();
    owner_ = std::exchange(other.owner_, nullptr);
    native_ = std::exchange(other.native_, 0);
  }
  return *this;
}

template <typename Tag>
void OwnedHandle<Tag>::reset() {
  if (Platform* owner = std::exchange(owner_, nullptr)) {
    if constexpr (std::is_same_v<Tag, TableFileTag>) {
      owner->releaseTable(native_);
    } else {
      owner->releaseSearch(native_);
    }
  }
}

}  // namespace tablemark
