#include "platform/posix/posix_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
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

bool Fail(ErrorCode& error) {
  error = errno;
  return false;
}

// Refuses what Windows would not open as a table: anything but a regular
// file, and, for writing, a file no one may write to (read-only), even for
// root.
bool IsRegularFile(int fd, bool forWriting, std::uint64_t& size, ErrorCode& error) {
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
  if (forWriting && (status.st_mode & 0222) == 0) {
    error = EACCES;
    return false;
  }
  size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

// Opens entry `name` relative to the directory being listed, so that the
// scan stays in it even if its path is swapped for a link meanwhile. A link
// in the directory is refused: nothing is read or written through a link
// someone else planted. O_NONBLOCK keeps a FIFO swapped in after the listing
// from hanging the run, O_NOCTTY a terminal from becoming the controlling one.
bool OpenEntry(const Search& search, const DirectoryEntry& entry, const std::string& name,
               int access, int& fd, ErrorCode& error) {
  if (entry.listedAsSpecial) {
    error = ENXIO;  // what the checks after an open would say
    return false;
  }
  fd = openat(dirfd(search.dir), name.c_str(),
              access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  return fd >= 0 || Fail(error);
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
      result.error = errno;
      return result;
    }
    if (got == 0) break;
    result.count += static_cast<std::size_t>(got);
  }
  return result;
}

// The locale name that governs the character set, as setlocale reads it.
const char* CharsetLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "";
}

// Loads one category of the process locale, once.
void LoadLocale(int category, bool& loaded) {
  if (!loaded) {
    (void)std::setlocale(category, "");
    loaded = true;
  }
}

}  // namespace

PosixPlatform::Console& PosixPlatform::console() {
  if (!console_) {
    if (LocaleNamesUtf8Console(CharsetLocaleName())) {
      console_.emplace("UTF-8");
    } else {
      LoadLocale(LC_CTYPE, ctypeLoaded_);
      console_.emplace(nl_langinfo(CODESET));
    }
  }
  return *console_;
}

void PosixPlatform::writeLine(ConsoleStream stream, std::u16string_view text) {
  Console& shown = console();
  FILE* out = stream == ConsoleStream::Output ? stdout : stderr;
  // Messages carry names, which anyone may plant in a directory; on a
  // terminal their control characters must not drive it. Standard output
  // carries only the usage text, whose line feeds are its own.
  if (stream == ConsoleStream::Error) {
    if (!shown.errorIsTerminal) shown.errorIsTerminal = isatty(STDERR_FILENO) == 1;
    if (*shown.errorIsTerminal) {
      text_.assign(text);
      shown.charset.maskControls(text_);
      text = text_;
    }
  }
  shown.charset.encode(text, bytes_);
  bytes_ += '\n';
  // A console that cannot be written to does not change the run's outcome.
  (void)std::fwrite(bytes_.data(), 1, bytes_.size(), out);
  (void)std::fflush(out);
}

void PosixPlatform::appendErrorText(ErrorCode code, std::u16string& out) {
  Console& shown = console();
  // The text comes in the language of LC_MESSAGES, converted to the set of
  // LC_CTYPE.
  LoadLocale(LC_CTYPE, ctypeLoaded_);
  LoadLocale(LC_MESSAGES, messagesLoaded_);
  shown.charset.decodeLocaleText(std::strerror(code), text_);
  out += text_;
}

void PosixPlatform::appendShownName(std::u16string_view name, std::u16string& out) {
  if (console().charset.isUtf8()) {
    out += name;
    return;
  }
  // The name's bytes are already in the locale's own set: they go out as
  // they are, not decoded as UTF-8 and converted again.
  EncodeBytes(name, bytes_);
  for (const char byte : bytes_) {
    const auto b = static_cast<unsigned char>(byte);
    out += b < 0x80 ? static_cast<char16_t>(b) : EscapedByte(b);
  }
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
  auto state = std::make_unique<Search>();
  state->dir = dir;
  state->exclusiveUse = ExclusiveUseOfDirectory(dirfd(dir));
  search.adopt(*this, reinterpret_cast<std::intptr_t>(state.release()));
  // A directory always lists itself, so an empty listing means it is gone
  // or unreadable; the code says which, if anything.
  error = 0;
  if (nextEntry(search, first, error) != SearchStep::Entry) {
    search.reset();
    return false;
  }
  return true;
}

SearchStep PosixPlatform::nextEntry(DirectorySearch& search, DirectoryEntry& entry,
                                    ErrorCode& error) {
  Search& state = *AsSearch(search.native());
  errno = 0;
  const dirent* found = readdir(state.dir);
  if (found == nullptr) {
    if (errno == 0) return SearchStep::End;
    error = errno;
    return SearchStep::Failed;
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
  return SearchStep::Entry;
}

bool PosixPlatform::openTable(const DirectorySearch& search, const std::u16string& /*directory*/,
                              const DirectoryEntry& entry, TableFile& file, ErrorCode& error) {
  const Search& state = *AsSearch(search.native());
  EncodeBytes(entry.name, bytes_);
  int fd = -1;
  if (!OpenEntry(state, entry, bytes_, O_RDWR, fd, error)) return false;
  writeOffset_ = 0;
  file.adopt(*this, fd);
  std::uint64_t size = 0;
  if (!IsRegularFile(fd, true, size, error)) {
    file.reset();
    return false;
  }
  if (!TakeExclusiveUse(fd, state.exclusiveUse, error)) {
    file.reset();
    return false;
  }
  return true;
}

bool PosixPlatform::openForReading(const DirectorySearch& search,
                                   const std::u16string& /*directory*/, const DirectoryEntry& entry,
                                   TableFile& file, std::uint64_t& size, ErrorCode& error) {
  // No lease and no lock: another program may have the table open, and a
  // reader must not stand in its way.
  EncodeBytes(entry.name, bytes_);
  int fd = -1;
  if (!OpenEntry(*AsSearch(search.native()), entry, bytes_, O_RDONLY, fd, error)) return false;
  file.adopt(*this, fd);
  if (!IsRegularFile(fd, false, size, error)) {
    file.reset();
    return false;
  }
  return true;
}

Transfer PosixPlatform::readAt(TableFile& file, std::uint64_t offset,
                               std::span<std::uint8_t> buffer) {
  return ReadUntilFull(buffer, [&](std::uint8_t* into, std::size_t size, std::size_t done) {
    return pread(AsFd(file.native()), into, size, static_cast<off_t>(offset + done));
  });
}

Transfer PosixPlatform::readTable(TableFile& file, std::span<std::uint8_t> buffer) {
  return ReadUntilFull(buffer, [&](std::uint8_t* into, std::size_t size, std::size_t /*done*/) {
    return read(AsFd(file.native()), into, size);
  });
}

bool PosixPlatform::seekTable(TableFile& /*file*/, std::uint32_t offset, ErrorCode& /*error*/) {
  // Any 32-bit offset is a valid position; the write says whether it can
  // be written.
  writeOffset_ = static_cast<off_t>(offset);
  return true;
}

Transfer PosixPlatform::writeTable(TableFile& file, std::span<const std::uint8_t> bytes) {
  Transfer result;
  ssize_t written;
  do {
    written = pwrite(AsFd(file.native()), bytes.data(), bytes.size(), writeOffset_);
  } while (written < 0 && errno == EINTR);
  if (written < 0) {
    result.error = errno;
  } else {
    result.count = static_cast<std::size_t>(written);
  }
  return result;
}

bool PosixPlatform::closeWrittenTable(TableFile& file, ErrorCode& error) {
  // Not retried on EINTR: the descriptor is gone whatever close says.
  if (close(AsFd(file.release())) != 0) return Fail(error);
  return true;
}

void PosixPlatform::releaseTable(std::intptr_t native) { close(AsFd(native)); }

void PosixPlatform::releaseSearch(std::intptr_t native) {
  const std::unique_ptr<Search> state(AsSearch(native));
  closedir(state->dir);
}

}  // namespace tablemark::posix
