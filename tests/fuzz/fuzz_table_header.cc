// The header check on arbitrary file contents of 0 to 64 bytes, through the
// in-memory platform with an injected fault or none: only byte 29 may ever
// differ afterwards, and only when the outcome is Patched.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fake_platform.h"
#include "remark/header_patch.h"

using tablemark::testing::FakeFile;
using tablemark::testing::FakePlatform;
using tablemark::testing::Fault;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t mark = data[0];
  const std::uint8_t faults = data[1];
  std::vector<std::uint8_t> before(data + 2, data + size);
  if (before.size() > 64) before.resize(64);

  FakePlatform platform;
  platform.files.addDirectory(u"/d");
  FakeFile& fake = platform.files.addFile(u"/d", u"t.dbf", before);
  if (faults & 1) fake.readFault = Fault{faults >> 4};
  if (faults & 2) fake.seekFault = Fault{faults >> 4};
  if (faults & 4) fake.writeFault = Fault{faults >> 4};
  if (faults & 8) fake.writeCount = 0;

  tablemark::PatchOutcome outcome;
  {
    tablemark::DirectorySearch search;
    tablemark::DirectoryEntry entry;
    if (!platform.files.startSearch(u"/d/", search, entry).ok()) __builtin_trap();
    tablemark::TableFile file;
    if (!platform.files.openTable(search, u"/d/", entry, file).ok()) __builtin_trap();
    tablemark::TableHeader header;
    outcome = tablemark::CheckAndPatchHeader(platform.files, platform.console, file, u"t.dbf", mark,
                                             header);
  }
  if (platform.files.openFiles != 0) __builtin_trap();
  if (fake.bytes.size() != before.size()) __builtin_trap();
  for (std::size_t i = 0; i < before.size(); ++i) {
    const bool mayDiffer = i == 29 && outcome == tablemark::PatchOutcome::Patched;
    if (!mayDiffer && fake.bytes[i] != before[i]) __builtin_trap();
  }
  if (outcome == tablemark::PatchOutcome::Patched && fake.bytes[29] != mark) __builtin_trap();
  const bool reported = !platform.console.lines.empty();
  if (reported != tablemark::CountsAsFailed(outcome)) __builtin_trap();
  return 0;
}
