#include "table/compound_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "bytes_reader.h"

namespace tablemark {
namespace {

using testing::Bytes;
using testing::BytesReader;

Bytes Sample(const std::string& name) {
  std::ifstream file(std::string(TABLEMARK_TEST_DATA) + "/indexes/" + name, std::ios::binary);
  EXPECT_TRUE(file) << name;
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

// The outcome, then a line for each tag: its name and collation.
std::string Described(const IndexTags& read) {
  using Outcome = IndexTags::Outcome;
  std::string text = read.outcome == Outcome::Read ? "read"
                     : read.outcome == Outcome::ReadFailed
                         ? "read failed, code " + std::to_string(read.failure.code())
                         : "damaged";
  for (const IndexTag& tag : read.tags) text += "\n" + tag.name + " " + tag.collation;
  return text;
}

std::string ReadTags(const Bytes& bytes) {
  BytesReader reader(bytes);
  const std::string described = Described(ReadIndexTags(reader, bytes.size()));
  EXPECT_EQ(reader.outsideReads, 0u);
  return described;
}

TEST(CompoundIndex, ReadsTheTagsOfRealIndexes) {
  // As an independent reader saw them (tests/data/indexes/SOURCES.md), in
  // the directory's order.
  const std::pair<const char*, const char*> cases[] = {
      {"fb2p_dbf.cdx",
       "read\nDEPTO GENERAL\nEDAD \nEDAD_ND \nID \nI_NOMBRE GENERAL\nNOMBRE GENERAL\nNOTDELETED "},
      {"fb2p_depto.cdx", "read\nDEPTO \nDESCRIP GENERAL"},
      {"fb2p_free.cdx", "read\nCARACTER GENERAL\nENTERO \nLOGICO "},
      {"fb2p_dbc.dcx", "read\nOBJECTNAME \nOBJECTTYPE "},
      {"employees.CDX", "read\nDEPARTMENT \nEMAILNAME \nLASTNAME \nPOSTALCODE \nPRIMARYKEY "},
  };
  for (const auto& [name, expected] : cases) {
    const Bytes bytes = Sample(name);
    EXPECT_EQ(ReadTags(bytes), expected) << name;
  }
}

void Put(Bytes& bytes, std::size_t at, std::uint32_t value, int width, bool big = false) {
  for (int i = 0; i < width; ++i) {
    bytes[at + (big ? width - 1 - i : i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// fb2p_free.cdx: the directory's one leaf is at 0x400, its three 3-byte
// entries from 0x418; the tags' headers at 0x600, 0xC00 and 0x1200; 0x1800
// bytes. `Append` adds a copy of the leaf at 0x1800.
constexpr std::size_t kLeaf = 0x400, kEnd = 0x1800;
void Append(Bytes& bytes) {
  bytes.insert(bytes.end(), bytes.begin() + kLeaf, bytes.begin() + kLeaf + 512);
}

// `keys` entries in the leaf, as many as fit filled in: each names the first
// tag's header and is all trailing fill.
void FillWithTags(Bytes& bytes, std::uint32_t keys) {
  Put(bytes, kLeaf + 2, keys, 2);
  for (std::size_t at = kLeaf + 24; at + 3 <= kLeaf + 512; at += 3) Put(bytes, at, 0xA00600, 3);
}

TEST(CompoundIndex, WalksChangedLayoutsWithinBounds) {
  const std::string tags = "\nCARACTER GENERAL\nENTERO \nLOGICO ";
  struct Case {
    const char* name;
    std::function<void(Bytes&)> change;
    std::string expected;
  };
  const Case cases[] = {
      {"an interior root over the leaf",
       [](Bytes& b) {
         Append(b);
         Put(b, kEnd, 0x01, 2);  // interior, root
         Put(b, kEnd + 2, 1, 2);
         Put(b, kEnd + 12 + 10 + 4, kLeaf, 4, true);
         Put(b, 0, kEnd, 4);
       },
       "read" + tags},
      {"a second leaf to the right",
       [](Bytes& b) {
         Append(b);
         Put(b, kLeaf + 8, kEnd, 4);
       },
       "read" + tags + tags},
      {"an empty leaf whose right sibling is itself",
       [](Bytes& b) {
         Put(b, kLeaf + 2, 0, 2);
         Put(b, kLeaf + 8, kLeaf, 4);
       },
       "damaged"},
      {"two empty leaves linked in a loop",
       [](Bytes& b) {
         Put(b, kLeaf + 2, 0, 2);
         Append(b);
         Put(b, kEnd + 8, kLeaf, 4);
         Put(b, kLeaf + 8, kEnd, 4);
       },
       "damaged"},
      {"a right sibling that is not a leaf",
       [](Bytes& b) {
         Append(b);
         Put(b, kEnd, 0x00, 2);
         Put(b, kLeaf + 8, kEnd, 4);
       },
       "damaged"},
      {"an interior root whose child is itself",
       [](Bytes& b) {
         Put(b, kLeaf, 0x01, 2);
         Put(b, kLeaf + 12 + 10 + 4, kLeaf, 4, true);
       },
       "damaged"},
      {"an interior root without keys",
       [](Bytes& b) {
         Append(b);
         Put(b, kLeaf, 0x01, 4);
         Put(b, kLeaf + 12 + 10 + 4, kEnd, 4, true);
       },
       "damaged"},
      {"a root in the directory's header",
       [](Bytes& b) {
         std::copy_n(b.begin() + kLeaf, 24, b.begin() + 512);  // an empty leaf, as it would read
         Put(b, 512 + 2, 0, 2);
         Put(b, 0, 512, 4);
       },
       "damaged"},
      {"a root past the file", [](Bytes& b) { Put(b, 0, kEnd, 4); }, "damaged"},
      {"a root off a node's start",
       [](Bytes& b) {
         b.resize(kEnd + 256);
         Append(b);
         Put(b, 0, kEnd + 256, 4);
       },
       "damaged"},
      {"a tag whose header is the directory's", [](Bytes& b) { Put(b, kLeaf + 24, 0, 2); },
       "damaged"},
      {"a tag whose header is its leaf", [](Bytes& b) { Put(b, kLeaf + 24, kLeaf, 2); }, "damaged"},
      {"a tag whose header runs past the file", [](Bytes& b) { Put(b, kLeaf + 24, 0x1600, 2); },
       "damaged"},
      {"a tag header off a node's start", [](Bytes& b) { Put(b, kLeaf + 24, 0x610, 2); },
       "damaged"},
      {"key length 0",
       [](Bytes& b) {
         Put(b, 12, 0, 2);
         for (std::size_t entry : {0, 3, 6}) b[kLeaf + 26 + entry] = 0;  // counts that fit
       },
       "damaged"},
      {"key length beyond a node",
       [](Bytes& b) {
         Put(b, 12, 600, 2);
         // One entry whose counts, one byte each, leave 90 bytes of its own.
         Put(b, kLeaf + 2, 1, 2);
         const std::uint8_t head[] = {0xFF, 0xFF, 16, 8, 8, 4};  // masks, bits, width
         std::copy(std::begin(head), std::end(head), b.begin() + kLeaf + 18);
         Put(b, kLeaf + 24, 0xFFFF0600, 4);
       },
       "damaged"},
      {"keys whose bytes overflow the node", [](Bytes& b) { Put(b, 12, 200, 2); }, "damaged"},
      {"counts longer than the key", [](Bytes& b) { b[kLeaf + 26] = 0xFF; }, "damaged"},
      {"more tags than headers fit", [](Bytes& b) { FillWithTags(b, 162); }, "damaged"},
      {"more entries than the node holds",
       [](Bytes& b) {
         b.resize(200 * 1024);  // room for as many tags' headers
         FillWithTags(b, 163);  // 24 + 163 * 3 bytes > 512
       },
       "damaged"},
      {"entries wider than a number",
       [](Bytes& b) {
         Put(b, kLeaf + 2, 1, 2);
         b[kLeaf + 23] = 9;
       },
       "damaged"},
      {"bit counts wider than the entry", [](Bytes& b) { b[kLeaf + 20] = 32; }, "damaged"},
      {"a record number wider than its mask",
       [](Bytes& b) {
         Put(b, kLeaf + 20, 64, 3);
         b[kLeaf + 23] = 8;
       },
       "damaged"},
      {"a file shorter than the directory's header", [](Bytes& b) { b.resize(1000); }, "damaged"},
      {"a file that ends in a tag's header", [](Bytes& b) { b.resize(0x1000); }, "damaged"},
  };
  const Bytes sample = Sample("fb2p_free.cdx");
  for (const Case& c : cases) {
    Bytes bytes = sample;
    c.change(bytes);
    EXPECT_EQ(ReadTags(bytes), c.expected) << c.name;
  }
}

TEST(CompoundIndex, ReadsThatGoWrong) {
  const Bytes sample = Sample("fb2p_free.cdx");
  for (std::size_t failing : {0, 1, 2}) {  // the directory's header, its leaf, a tag's header
    BytesReader reader(sample);
    reader.failingRead = failing;
    reader.failCode = 5;
    EXPECT_EQ(Described(ReadIndexTags(reader, sample.size())), "read failed, code 5") << failing;
  }
  // The file shrank since its size was taken.
  const Bytes shorter(sample.begin(), sample.begin() + 0x1000);
  BytesReader reader(shorter);
  EXPECT_EQ(Described(ReadIndexTags(reader, sample.size())), "damaged");
}

}  // namespace
}  // namespace tablemark
