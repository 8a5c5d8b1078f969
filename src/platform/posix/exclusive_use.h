// How a table is taken for this run's exclusive use on POSIX, the stand-in
// for Windows' share mode 0, which refuses a file any other program has open.
// POSIX has no such open; what comes closest depends on the kernel and the
// file system, and a scheme that is right on one is wrong on another.
#pragma once

#include <cstdint>

#include "platform/status.h"

namespace tablemark::posix {

// macOS, FreeBSD and the other BSDs keep flock and record locks in one lock
// space; Linux keeps them apart on its local file systems.
enum class Kernel { Linux, Bsd };

enum class ExclusiveUse {
  // A write lease, which Linux grants only while no other process has the
  // file open, locked or not, and which is held to the close. Where no lease
  // can be had (the run neither owns the table nor may lease it; a file
  // system without leases): flock and a whole-file fcntl write lock, since
  // programs use either.
  Lease,
  // One whole-file fcntl write lock and nothing else. Network and cluster
  // file systems carry it to the server and to other clients, but keep
  // flock as a record lock of their own, so taking both on one descriptor
  // conflicts with itself; so do the BSD kernels.
  RecordLock,
};

// The scheme for a directory on a file system of `fileSystemType` (the
// `f_type` of Linux's statfs; not looked at for the BSD kernels).
ExclusiveUse ExclusiveUseFor(Kernel kernel, std::int64_t fileSystemType);

// The scheme for the open directory `directoryFd`, on the kernel this
// program is built for.
ExclusiveUse ExclusiveUseOfDirectory(int directoryFd);

// Takes the open table `fd` for exclusive use; refused, with the system's
// code, while another program is using it.
Status TakeExclusiveUse(int fd, ExclusiveUse scheme);

}  // namespace tablemark::posix
