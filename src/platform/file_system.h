// Directories and table files: listing one directory, and opening, reading
// and writing the files it lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/status.h"

namespace tablemark {

// One entry as the directory search delivers it. The scan reuses a single
// instance, so `name` keeps its capacity from entry to entry.
struct DirectoryEntry {
  std::u16string name;  // the long name, without the directory part
  bool isDirectory = false;
  // The listing already says it is a device, a FIFO or a socket, which is
  // refused unopened: opening one has effects of its own.
  bool listedAsSpecial = false;
};

// What one step of a directory search gave. The end of the list and a
// listing that breaks off are told apart: only the end is success.
struct SearchStep {
  enum Kind { Entry, End, Failed };
  Kind kind = Entry;
  ErrorCode code = 0;  // the system's code, when it Failed
};

class FileSystem;

// A handle the file system hands out, released by it when the owner lets
// go of it. Move-only.
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
  // Set by the file system that opened it.
  void adopt(FileSystem& owner, std::intptr_t native) {
    reset();
    owner_ = &owner;
    native_ = native;
  }
  void reset();
  // Lets go of the handle without releasing it, for a file system that
  // releases it itself and wants to know the outcome.
  std::intptr_t release() {
    owner_ = nullptr;
    return std::exchange(native_, 0);
  }

 private:
  FileSystem* owner_ = nullptr;
  std::intptr_t native_ = 0;
};

struct TableFileTag;
struct DirectorySearchTag;
using TableFile = OwnedHandle<TableFileTag>;
using DirectorySearch = OwnedHandle<DirectorySearchTag>;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Directory.
  virtual Status currentDirectory(std::u16string& path) = 0;
  virtual Status pathExists(const std::u16string& path) = 0;
  // `directory` ends in the separator. Delivers the first entry.
  virtual Status startSearch(const std::u16string& directory, DirectorySearch& search,
                             DirectoryEntry& first) = 0;
  virtual SearchStep nextEntry(DirectorySearch& search, DirectoryEntry& entry) = 0;

  // Tables. `openTable` opens `entry` of the directory being searched
  // (whose path is `directory`) for reading and writing, for this process's
  // exclusive use, refusing anything that is not an ordinary file.
  virtual Status openTable(const DirectorySearch& search, const std::u16string& directory,
                           const DirectoryEntry& entry, TableFile& file) = 0;
  // Opens `entry` for reading only, shared with any program that has it
  // open, without lock or lease, refusing anything that is not an ordinary
  // file. `size` is its length at the open. Nothing is ever written to it.
  virtual Status openForReading(const DirectorySearch& search, const std::u16string& directory,
                                const DirectoryEntry& entry, TableFile& file,
                                std::uint64_t& size) = 0;
  // Reads at `offset` until the buffer is full or the file ends, leaving
  // the position that readTable reads from as it was.
  virtual Transfer readAt(TableFile& file, std::uint64_t offset,
                          std::span<std::uint8_t> buffer) = 0;
  // Reads from the current position until the buffer is full or the file
  // ends; a short count without a failure means the file ended.
  virtual Transfer readTable(TableFile& file, std::span<std::uint8_t> buffer) = 0;
  virtual Status seekTable(TableFile& file, std::uint32_t offset) = 0;
  virtual Transfer writeTable(TableFile& file, std::span<const std::uint8_t> bytes) = 0;
  // The whole of a file the user named (`path`, relative to the current
  // directory unless absolute), and of standard input. `opened` tells a
  // failure to open from a failure to read.
  virtual Status readWholeFile(const std::u16string& path, std::string& bytes, bool& opened) = 0;
  virtual Status readStandardInput(std::string& bytes) = 0;
  // What stands for `name` when names are compared as this file system
  // finds files: itself where letter case counts, its case folded where not.
  virtual void nameKey(std::u16string_view name, std::u16string& key) { key.assign(name); }

  // Closes a table that was written to. On network and FUSE file systems a
  // write's real outcome often arrives only here, so a failure is the
  // write's failure. A table that was not written is closed unchecked.
  virtual Status closeWrittenTable(TableFile& file) = 0;

 private:
  template <typename Tag>
  friend class OwnedHandle;
  virtual void releaseTable(std::intptr_t native) = 0;
  virtual void releaseSearch(std::intptr_t native) = 0;
};

// One open file, as a reader of its bytes at any offset sees it: all that
// reading a table's text needs.
class FileReader {
 public:
  virtual ~FileReader() = default;
  // Reads at `offset` until the buffer is full or the file ends.
  virtual Transfer readAt(std::uint64_t offset, std::span<std::uint8_t> buffer) = 0;
};

// A file the file system opened, read through it.
class OpenFileReader final : public FileReader {
 public:
  OpenFileReader(FileSystem& files, TableFile& file) : files_(files), file_(file) {}
  Transfer readAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
    return files_.readAt(file_, offset, buffer);
  }

 private:
  FileSystem& files_;
  TableFile& file_;
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
  if (FileSystem* owner = std::exchange(owner_, nullptr)) {
    if constexpr (std::is_same_v<Tag, TableFileTag>) {
      owner->releaseTable(native_);
    } else {
      owner->releaseSearch(native_);
    }
  }
}

}  // namespace tablemark
