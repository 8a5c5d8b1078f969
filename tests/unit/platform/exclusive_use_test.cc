#include "platform/posix/exclusive_use.h"

#include <gtest/gtest.h>

namespace tablemark::posix {
namespace {

TEST(ExclusiveUse, SchemeByKernelAndFileSystem) {
  constexpr auto kLinux = Kernel::Linux, kBsd = Kernel::Bsd;
  constexpr auto kLease = ExclusiveUse::Lease, kLock = ExclusiveUse::RecordLock;
  const struct {
    const char* what;
    Kernel kernel;
    std::int64_t type;
    ExclusiveUse scheme;
  } cases[]{
      {"ext4", kLinux, 0xEF53, kLease},
      {"xfs", kLinux, 0x58465342, kLease},
      {"btrfs", kLinux, 0x9123683E, kLease},
      {"tmpfs", kLinux, 0x01021994, kLease},
      {"FUSE, sshfs among them", kLinux, 0x65735546, kLease},
      {"NFS", kLinux, 0x6969, kLock},
      {"CIFS", kLinux, 0xFF534D42, kLock},
      {"SMB 2 and 3", kLinux, 0xFE534D42, kLock},
      {"9P", kLinux, 0x01021997, kLock},
      {"Ceph", kLinux, 0x00C36400, kLock},
      {"GPFS", kLinux, 0x47504653, kLock},
      {"a BSD's local disk", kBsd, 0, kLock},
      {"a BSD's NFS mount", kBsd, 0x6969, kLock},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ExclusiveUseFor(c.kernel, c.type), c.scheme);
  }
}

}  // namespace
}  // namespace tablemark::posix
