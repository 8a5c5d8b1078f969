// The floor: only the system calls the job needs, for the same guarantees
// as tablemark on POSIX, with no other work. List the directory; per table:
// open (no links, no blocking), fstat (regular, writable), a write lease
// (both locks where the file system has no leases), read 32 bytes, write
// one byte when the mark differs, close. A refused or failed table costs one
// short line on standard error.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "table_name.h"

namespace {

bool TakeExclusiveUse(int fd) {
  if (fcntl(fd, F_SETLEASE, F_WRLCK) == 0) return true;
  if (errno == EAGAIN) return false;
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  return flock(fd, LOCK_EX | LOCK_NB) == 0 && fcntl(fd, F_SETLK, &whole) == 0;
}

bool Handle(int dirFd, const char* name, std::uint8_t mark) {
  const int fd = openat(dirFd, name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = false;
  struct stat st;
  std::uint8_t header[32];
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) != 0 &&
      TakeExclusiveUse(fd) && read(fd, header, 32) == 32 && header[0] != 0x8B &&
      header[0] != 0xCB && header[30] == 0 && header[31] == 0) {
    ok = header[29] == mark || pwrite(fd, &mark, 1, 29) == 1;
  }
  close(fd);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const auto mark = static_cast<std::uint8_t>(std::strtol(argv[2], nullptr, 0));
  (void)std::signal(SIGIO, SIG_IGN);
  DIR* dir = opendir(argv[1]);
  if (dir == nullptr) return 2;
  struct statfs fileSystem;  // which scheme: told once per run, as tablemark does
  (void)fstatfs(dirfd(dir), &fileSystem);
  int status = 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_type == DT_DIR || !IsTableName(entry->d_name)) continue;
    if (!Handle(dirfd(dir), entry->d_name, mark)) {
      static const char kLine[] = "refused\n";
      (void)!write(2, kLine, sizeof kLine - 1);
      status = 1;
    }
  }
  closedir(dir);
  return status;
}
