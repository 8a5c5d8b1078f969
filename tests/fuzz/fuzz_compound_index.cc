// Reading the tags of an arbitrary compound index: the directory's header,
// its nodes, entries, links and the tags' headers say whatever they like.
// Nothing may be read outside the file or a buffer (the reader and the
// sanitizers watch), every walk ends, and the number of reads stays bounded
// by the file's size whatever its links say.
#include <cstddef>
#include <cstdint>

#include "bytes_reader.h"
#include "table/collations.h"
#include "table/compound_index.h"

using tablemark::IndexTags;
using tablemark::testing::Bytes;
using tablemark::testing::BytesReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Bytes bytes(data, data + size);
  BytesReader reader(bytes);
  const IndexTags read = tablemark::ReadIndexTags(reader, bytes.size());
  if (reader.outsideReads != 0) __builtin_trap();
  // The directory's header, a way down of at most 33 nodes, each leaf at
  // most about three times over while a loop is looked for, a tag's header
  // for each tag.
  if (reader.reads > 64 + 4 * (size / 512)) __builtin_trap();
  if (read.outcome != IndexTags::Outcome::Read && !read.tags.empty()) __builtin_trap();
  for (const tablemark::IndexTag& tag : read.tags) {
    if (tag.name.size() > 512 || tag.collation.size() > 8) __builtin_trap();
    for (std::int32_t codePage : {0, 1251, 1252}) {
      (void)tablemark::CodePageOffersCollation(codePage, tag.collation);
    }
  }
  return 0;
}
