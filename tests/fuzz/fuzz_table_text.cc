// Detection on an arbitrary table and memo file, through the in-memory
// platform: headers, field descriptors, records and memo blocks say
// whatever they like. Nothing may be read outside the files or the
// buffers (the sanitizers watch), nothing written, and what is read stays
// bounded whatever the files claim.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "detect/detect.h"
#include "fake_platform.h"

using tablemark::testing::FakePlatform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // The first two bytes say where the table ends and the memo file begins.
  const std::size_t split = std::min<std::size_t>(size - 2, data[0] << 8 | data[1]);
  const std::vector<std::uint8_t> table(data + 2, data + 2 + split);
  const std::vector<std::uint8_t> memo(data + 2 + split, data + size);

  FakePlatform fake;
  fake.files.addDirectory(u"/d");
  fake.files.addFile(u"/d", u"t.dbf", table);
  fake.files.addFile(u"/d", u"t.fpt", memo);
  try {
    (void)tablemark::DetectCodePages(fake.platform, u"/d");
  } catch (...) {
    __builtin_trap();  // a table's bytes never end the run
  }
  if (fake.files.openFiles != 0 || fake.files.openSearches != 0) __builtin_trap();
  const auto& readTable = fake.files.file(u"/d", u"t.dbf");
  const auto& readMemo = fake.files.file(u"/d", u"t.fpt");
  if (readTable.bytes != table || readMemo.bytes != memo) __builtin_trap();
  if (readTable.writes != 0 || readMemo.writes != 0) __builtin_trap();
  if (readTable.bytesRead > (1u << 21) || readMemo.bytesRead > (1u << 17)) __builtin_trap();
  return 0;
}
