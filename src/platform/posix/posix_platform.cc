#include "platform/posix/posix_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix/utf8_escape.h"

namespace tablemark::posix {
namespace {

// The platform keeps its handles in an integer the core does not look into.
DIR* AsDir(std::intptr_t native) {
  return reinterpret_cast<DIR*>(native);  // NOLINT(performance-no-int-to-ptr)
}
int AsFd(std::intptr_t native) { return static_cast<int>(native); }

bool Fail(ErrorCode& error) {
  error = errno;
  return false;
}

// Takes the exclusive use of an open table that share mode 0 gives on
// Windows: both lock kinds, so that programs using either are respected.
// Both end when the file is closed.
bool LockExclusively(int fd) {
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  whole.l_start = 0;
  whole.l_len = 0;  // to the end, however far the file grows
  return fcntl(fd, F_SETLK, &whole) == 0;
}

// Refuses what Windows would not open as a table: anything but a regular
// file, and a file no one may write to (read-only), even for root.
bool IsWritableRegularFile(int fd, ErrorCode& error) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return Fail(error);
  if (S_ISDIR(status.st_mode)) {
    error = EISDIR;
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = ENXIO;  // what Linux itself says when a socket is opened
    return false;
  }
  if ((status.st_mode & 0222) == 0) {
    error = EACCES;
    return false;
  }
  return true;
}

}  // namespace

PosixPlatform::PosixPlatform(std::string_view codeset) : charset_(codeset) {}

void PosixPlatform::writeLine(ConsoleStream stream, std::u16string_view text) {
  FILE* out = stream == ConsoleStream::Output ? stdout : stderr;
  charset_.encode(text, bytes_);
  bytes_ += '\n';
  // A console that cannot be written to does not change the run's outcome.
  (void)std::fwrite(bytes_.data(), 1, bytes_.size(), out);
  (void)std::fflush(out);
}

void PosixPlatform::appendErrorText(ErrorCode code, std::u16string& out) {
  charset_.decodeLocaleText(std::strerror(code), text_);
  out += text_;
}

bool PosixPlatform::currentDirectory(std::u16string& path, ErrorCode& error) {
  std::string buffer(256, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return Fail(error);
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::strlen(buffer.c_str()));
  DecodeBytes(buffer, path);
  return true;
}

bool PosixPlatform::pathExists(const std::u16string& path, ErrorCode& error) {
  EncodeBytes(path, bytes_);
  struct stat status {};
  if (stat(bytes_.c_str(), &status) != 0) return Fail(error);
  return true;
}

bool PosixPlatform::startSearch(const std::u16string& directory, DirectorySearch& search,
                                DirectoryEntry& first, ErrorCode& error) {
  EncodeBytes(directory, bytes_);
  DIR* dir = opendir(bytes_.c_str());
  if (dir == nullptr) return Fail(error);
  search.adopt(*this, reinterpret_cast<std::intptr_t>(dir));
  errno = 0;
  if (!nextEntry(search, first)) {
    // A directory always lists itself, so an empty listing means it is
    // gone or unreadable; errno says which, if anything.
    error = errno;
    search.reset();
    return false;
  }
  return true;
}

bool PosixPlatform::nextEntry(DirectorySearch& search, DirectoryEntry& entry) {
  DIR* dir = AsDir(search.native());
  errno = 0;
  const dirent* found = readdir(dir);
  if (found == nullptr) return false;
  DecodeBytes(found->d_name, entry.name);
  if (found->d_type == DT_DIR) {
    entry.isDirectory = true;
  } else if (found->d_type == DT_UNKNOWN || found->d_type == DT_LNK) {
    // A link to a directory counts as a directory, as on Windows.
    struct stat status {};
    entry.isDirectory =
        fstatat(dirfd(dir), found->d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
  } else {
    entry.isDirectory = false;
  }
  return true;
}

bool PosixPlatform::openTable(const DirectorySearch& search, const std::u16string& /*directory*/,
                              std::u16string_view name, TableFile& file, ErrorCode& error) {
  // Opened relative to the directory being listed, so that the scan stays
  // in it even if its path is swapped for a link meanwhile. A link in the
  // directory is refused: nothing is written through a link someone else
  // planted. O_NONBLOCK keeps a FIFO from hanging the run.
  EncodeBytes(name, bytes_);
  const int fd = openat(dirfd(AsDir(search.native())), bytes_.c_str(),
                        O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail(error);
  file.adopt(*this, fd);
  if (!IsWritableRegularFile(fd, error)) {
    file.reset();
    return false;
  }
  if (!LockExclusively(fd)) {
    error = errno;
    file.reset();
    return false;
  }
  return true;
}

Transfer PosixPlatform::readTable(TableFile& file, std::span<std::uint8_t> buffer) {
  Transfer result;
  while (result.count < buffer.size()) {
    const ssize_t got =
        read(AsFd(file.native()), buffer.data() + result.count, buffer.size() - result.count);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.error = errno;
      return result;
    }
    if (got == 0) break;
    result.count += static_cast<std::size_t>(got);
  }
  return result;
}

bool PosixPlatform::seekTable(TableFile& file, std::uint32_t offset, ErrorCode& error) {
  if (lseek(AsFd(file.native()), static_cast<off_t>(offset), SEEK_SET) < 0) return Fail(error);
  return true;
}

Transfer PosixPlatform::writeTable(TableFile& file, std::span<const std::uint8_t> bytes) {
  Transfer result;
  ssize_t written;
  do {
    written = write(AsFd(file.native()), bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  if (written < 0) {
    result.error = errno;
  } else {
    result.count = static_cast<std::size_t>(written);
  }
  return result;
}

void PosixPlatform::closeTable(std::intptr_t native) { close(AsFd(native)); }

void PosixPlatform::endSearch(std::intptr_t native) { closedir(AsDir(native)); }

}  // namespace tablemark::posix
