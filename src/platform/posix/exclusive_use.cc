#include "platform/posix/exclusive_use.h"

#include <fcntl.h>
#include <sys/file.h>
#if defined(__linux__)
#include <sys/vfs.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>

namespace tablemark::posix {
namespace {

// Linux's network and cluster file systems, by their statfs magic: NFS of
// every version, SMB (old smbfs, CIFS, SMB2 and 3), 9P, AFS (OpenAFS, kAFS),
// Ceph, GFS2, OCFS2, Lustre, OrangeFS and GPFS.
constexpr std::array<std::int64_t, 13> kNetworkFileSystems{
    0x6969,     0x517B,     0xFF534D42, 0xFE534D42, 0x01021997, 0x5346414F, 0x6B414653,
    0x00C36400, 0x01161970, 0x7461636F, 0x0BD00BD0, 0x20030528, 0x47504653};

bool WholeFileWriteLock(int fd) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  whole.l_start = 0;
  whole.l_len = 0;  // to the end, however far the file grows
  return fcntl(fd, F_SETLK, &whole) == 0;
}

// A lease granted, refused because the file is in use, or not to be had.
enum class LeaseAnswer { Granted, InUse, NotHad };

LeaseAnswer TakeWriteLease(int fd) {
#if defined(F_SETLEASE)
  if (fcntl(fd, F_SETLEASE, F_WRLCK) == 0) return LeaseAnswer::Granted;
  return errno == EAGAIN ? LeaseAnswer::InUse : LeaseAnswer::NotHad;
#else
  (void)fd;
  return LeaseAnswer::NotHad;
#endif
}

}  // namespace

ExclusiveUse ExclusiveUseFor(Kernel kernel, std::int64_t fileSystemType) {
  if (kernel == Kernel::Bsd) return ExclusiveUse::RecordLock;
  const bool network = std::find(kNetworkFileSystems.begin(), kNetworkFileSystems.end(),
                                 fileSystemType) != kNetworkFileSystems.end();
  return network ? ExclusiveUse::RecordLock : ExclusiveUse::Lease;
}

ExclusiveUse ExclusiveUseOfDirectory(int directoryFd) {
#if defined(__linux__)
  struct statfs status {};
  // A directory whose file system cannot be told is taken for a local one:
  // there a lease or both locks hold.
  if (fstatfs(directoryFd, &status) != 0) return ExclusiveUse::Lease;
  // f_type is signed on some architectures; the magic is its 32-bit pattern.
  return ExclusiveUseFor(Kernel::Linux, static_cast<std::uint32_t>(status.f_type));
#else
  (void)directoryFd;
  return ExclusiveUseFor(Kernel::Bsd, 0);
#endif
}

Status TakeExclusiveUse(int fd, ExclusiveUse scheme) {
  if (scheme == ExclusiveUse::Lease) {
    switch (TakeWriteLease(fd)) {
      case LeaseAnswer::Granted:
        return Status::Ok();
      case LeaseAnswer::InUse:
        return Status::Failed(EAGAIN);
      case LeaseAnswer::NotHad:
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) return Status::Failed(errno);
        break;
    }
  }
  return WholeFileWriteLock(fd) ? Status::Ok() : Status::Failed(errno);
}

}  // namespace tablemark::posix
