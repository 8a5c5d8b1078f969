#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/posix/exclusive_use.h"
#include "platform/posix/utf8_escape.h"

namespace tablemark::posix {
namespace {

// One directory search: the stream, and how the directory's tables are
// taken for exclusive use.
struct Search {
  DIR* dir = nullptr;
  ExclusiveUse exclusiveUse = ExclusiveUse::Lease;
};

// The platform keeps its handles in an integer the core does not look into.
Search* AsSearch(std::intptr_t native) {
  return reinterpret_cast<Search*>(native);  // NOLINT(performance-no-int-to-ptr)
}
int AsFd(std::intptr_t native) { return static_cast<int>(native); }

// Whether the listing already says the entry is something no table can be:
// a device, a FIFO or a socket. Opening one has effects of its own (a tape
// rewinds, a serial line raises its signals), so it is refused unopened.
bool ListedAsSpecial(unsigned char type) {
  return type != DT_REG && type != DT_UNKNOWN && type != DT_LNK;
}

Status Errno() { return Status::Failed(errno); }

// Refuses what Windows would not open as a table: anything but a regular
// file, and, for writing, a file no one may write to (read-only), even for
// root.
Status IsRegularFile(int fd, bool forWriting, std::uint64_t& size) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return Errno();
  if (S_ISDIR(status.st_mode)) return Status::Failed(EISDIR);
  // What Linux itself says when a socket is opened.
  if (!S_ISREG(status.st_mode)) return Status::Failed(ENXIO);
  if (forWriting && (status.st_mode & 0222) == 0) return Status::Failed(EACCES);
  size = static_cast<std::uint64_t>(status.st_size);
  return Status::Ok();
}

// Opens `entry` relative to the directory being listed, so that the scan
// stays in it even if its path is swapped for a link meanwhile, and checks
// that it is a regular file. A link in the directory is refused: nothing is
// read or written through a link someone else planted. O_NONBLOCK keeps a
// FIFO swapped in after the listing from hanging the run, O_NOCTTY a
// terminal from becoming the controlling one.
Status OpenEntry(FileSystem& owner, const DirectorySearch& search, const DirectoryEntry& entry,
                 std::string& name, bool forWriting, TableFile& file, std::uint64_t& size) {
  // What the checks after an open would say.
  if (entry.listedAsSpecial) return Status::Failed(ENXIO);
  EncodeBytes(entry.name, name);
  const int fd =
      openat(dirfd(AsSearch(search.native())->dir), name.c_str(),
             (forWriting ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Errno();
  file.adopt(owner, fd);
  const Status regular = IsRegularFile(fd, forWriting, size);
  if (!regular.ok()) file.reset();
  return regular;
}

// Reads with `read(into, size, done)` until `buffer` is full or the file
// ends, retrying a read that a signal interrupted.
template <typename Read>
Transfer ReadUntilFull(std::span<std::uint8_t> buffer, Read read) {
  Transfer result;
  while (result.count < buffer.size()) {
    const ssize_t got =
        read(buffer.data() + result.count, buffer.size() - result.count, result.count);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.status = Errno();
      return result;
    }
    if (got == 0) break;
    result.count += static_cast<std::size_t>(got);
  }
  return result;
}

}  // namespace

Status PosixFileSystem::currentDirectory(std::u16string& path) {
  std::string buffer(256, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return Errno();
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::strlen(buffer.c_str()));
  DecodeBytes(buffer, path);
  return Status::Ok();
}

Status PosixFileSystem::pathExists(const std::u16string& path) {
  EncodeBytes(path, bytes_);
  struct stat status {};
  return stat(bytes_.c_str(), &status) == 0 ? Status::Ok() : Errno();
}

Status PosixFileSystem::startSearch(const std::u16string& directory, DirectorySearch& search,
                                    DirectoryEntry& first) {
  EncodeBytes(directory, bytes_);
  DIR* dir = opendir(bytes_.c_str());
  if (dir == nullptr) return Errno();
  auto state = std::make_unique<Search>();
  state->dir = dir;
  state->exclusiveUse = ExclusiveUseOfDirectory(dirfd(dir));
  search.adopt(*this, reinterpret_cast<std::intptr_t>(state.release()));
  // A directory always lists itself, so an empty listing means it is gone
  // or unreadable; the code says which, if anything.
  const SearchStep step = nextEntry(search, first);
  if (step.kind == SearchStep::Entry) return Status::Ok();
  search.reset();
  return Status::Failed(step.code);
}

SearchStep PosixFileSystem::nextEntry(DirectorySearch& search, DirectoryEntry& entry) {
  Search& state = *AsSearch(search.native());
  errno = 0;
  const dirent* found = readdir(state.dir);
  if (found == nullptr) {
    if (errno == 0) return {SearchStep::End};
    return {SearchStep::Failed, errno};
  }
  DecodeBytes(found->d_name, entry.name);
  entry.listedAsSpecial = ListedAsSpecial(found->d_type);
  if (found->d_type == DT_DIR) {
    entry.isDirectory = true;
  } else if (found->d_type == DT_UNKNOWN || found->d_type == DT_LNK) {
    // A link to a directory counts as a directory, as on Windows.
    struct stat status {};
    entry.isDirectory =
        fstatat(dirfd(state.dir), found->d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
  } else {
    entry.isDirectory = false;
  }
  return {SearchStep::Entry};
}

Status PosixFileSystem::openTable(const DirectorySearch& search,
                                  const std::u16string& /*directory*/, const DirectoryEntry& entry,
                                  TableFile& file) {
  std::uint64_t size = 0;
  Status opened = OpenEntry(*this, search, entry, bytes_, true, file, size);
  if (!opened.ok()) return opened;
  writeOffset_ = 0;
  opened =
      TakeExclusiveUse(static_cast<int>(file.native()), AsSearch(search.native())->exclusiveUse);
  if (!opened.ok()) file.reset();
  return opened;
}

Status PosixFileSystem::openForReading(const DirectorySearch& search,
                                       const std::u16string& /*directory*/,
                                       const DirectoryEntry& entry, TableFile& file,
                                       std::uint64_t& size) {
  // No lease and no lock: another program may have the table open, and a
  // reader must not stand in its way.
  return OpenEntry(*this, search, entry, bytes_, false, file, size);
}

Transfer PosixFileSystem::readAt(TableFile& file, std::uint64_t offset,
                                 std::span<std::uint8_t> buffer) {
  return ReadUntilFull(buffer, [&](std::uint8_t* into, std::size_t size, std::size_t done) {
    return pread(AsFd(file.native()), into, size, static_cast<off_t>(offset + done));
  });
}

Transfer PosixFileSystem::readTable(TableFile& file, std::span<std::uint8_t> buffer) {
  return ReadUntilFull(buffer, [&](std::uint8_t* into, std::size_t size, std::size_t /*done*/) {
    return read(AsFd(file.native()), into, size);
  });
}

Status PosixFileSystem::seekTable(TableFile& /*file*/, std::uint32_t offset) {
  // Any 32-bit offset is a valid position; the write says whether it can
  // be written.
  writeOffset_ = static_cast<off_t>(offset);
  return Status::Ok();
}

Transfer PosixFileSystem::writeTable(TableFile& file, std::span<const std::uint8_t> bytes) {
  ssize_t written;
  do {
    written = pwrite(AsFd(file.native()), bytes.data(), bytes.size(), writeOffset_);
  } while (written < 0 && errno == EINTR);
  if (written < 0) return {Errno(), 0};
  return {Status::Ok(), static_cast<std::size_t>(written)};
}

Status PosixFileSystem::closeWrittenTable(TableFile& file) {
  // Not retried on EINTR: the descriptor is gone whatever close says.
  return close(AsFd(file.release())) == 0 ? Status::Ok() : Errno();
}

namespace {

// Reads `fd` to its end; a pipe as well as a file.
Status ReadToEnd(int fd, std::string& bytes) {
  bytes.clear();
  char buffer[65536];
  while (true) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return Errno();
    }
    if (got == 0) return Status::Ok();
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace

Status PosixFileSystem::readWholeFile(const std::u16string& path, std::string& bytes,
                                      bool& opened) {
  EncodeBytes(path, bytes_);
  const int fd = open(bytes_.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  opened = fd >= 0;
  if (fd < 0) return Errno();
  struct stat status {};
  Status read = fstat(fd, &status) != 0   ? Errno()
                : S_ISDIR(status.st_mode) ? Status::Failed(EISDIR)
                                          : ReadToEnd(fd, bytes);
  close(fd);
  return read;
}

Status PosixFileSystem::readStandardInput(std::string& bytes) { return ReadToEnd(0, bytes); }

void PosixFileSystem::releaseTable(std::intptr_t native) { close(AsFd(native)); }

void PosixFileSystem::releaseSearch(std::intptr_t native) {
  const std::unique_ptr<Search> state(AsSearch(native));
  closedir(state->dir);
}

}  // namespace tablemark::posix
