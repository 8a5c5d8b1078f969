#include "table/compound_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

// fb2p_free.cdx: the directory's one leaf is at 0x400, its three 3-byte
// entries from 0x418; the tags' headers at 0x600, 0xC00 and 0x1200; 0x1800
// bytes.
constexpr std::uint32_t kLeaf = 0x400, kFirst = kLeaf + 24, kEnd = 0x1800;

struct Patch {
  std::size_t at;
  int width;  // negative: big-endian
  std::uint32_t value;
};

void Put(Bytes& bytes, const Patch& patch) {
  const int width = std::abs(patch.width);
  for (int i = 0; i < width; ++i) {
    bytes[patch.at + (patch.width < 0 ? width - 1 - i : i)] =
        static_cast<std::uint8_t>(patch.value >> (8 * i));
  }
}

struct Case {
  const char* name;
  std::vector<Patch> patches;
  std::string expected = "damaged";
  std::size_t size = 0;  // the file cut or grown to it, its last 512 bytes then a copy of the leaf
  std::uint32_t keys = 0;  // when not 0, the leaf's entries: each the first tag's, all fill
};

TEST(CompoundIndex, WalksChangedLayoutsWithinBounds) {
  const std::string read = "read\nCARACTER GENERAL\nENTERO \nLOGICO ";
  const Case cases[] = {
      {"an interior root over the leaf",
       {{kEnd, 4, 0x00010001}, {kEnd + 26, -4, kLeaf}, {0, 4, kEnd}},
       read,
       kEnd + 512},
      {"a second leaf to the right", {{kLeaf + 8, 4, kEnd}}, read + read.substr(4), kEnd + 512},
      {"an empty leaf whose right sibling is itself", {{kLeaf + 2, 2, 0}, {kLeaf + 8, 4, kLeaf}}},
      {"two empty leaves linked in a loop",
       {{kLeaf + 2, 2, 0}, {kEnd + 2, 2, 0}, {kLeaf + 8, 4, kEnd}, {kEnd + 8, 4, kLeaf}},
       "damaged",
       kEnd + 512},
      {"a right sibling that is not a leaf",
       {{kEnd, 2, 0}, {kLeaf + 8, 4, kEnd}},
       "damaged",
       kEnd + 512},
      {"an interior root whose child is itself", {{kLeaf, 2, 1}, {kLeaf + 26, -4, kLeaf}}},
      {"an interior root without keys",
       {{kLeaf, 4, 1}, {kLeaf + 26, -4, kEnd}},
       "damaged",
       kEnd + 512},
      {"a root in the directory's header, an empty leaf as it reads",
       {{0, 4, 512}, {512, 4, 3}, {520, 4, 0xFFFFFFFF}}},
      {"a root past the file", {{0, 4, kEnd}}},
      {"a root off a node's start", {{0, 4, kEnd + 256}}, "damaged", kEnd + 768},
      {"a tag whose header is the directory's", {{kFirst, 2, 0}}},
      {"a tag whose header is its leaf", {{kFirst, 2, kLeaf}}},
      {"a tag whose header runs past the file", {{kFirst, 2, 0x1600}}},
      {"a tag's header off a node's start", {{kFirst, 2, 0x610}}},
      {"key length 0, counts that fit it",
       {{12, 2, 0}, {kFirst + 2, 1, 0}, {kFirst + 5, 1, 0}, {kFirst + 8, 1, 0}}},
      // One entry with one-byte counts that leave it 90 bytes of its own.
      {"key length beyond a node",
       {{12, 2, 600},
        {kLeaf + 2, 2, 1},
        {kLeaf + 18, 4, 0x0810FFFF},
        {kLeaf + 22, 2, 0x0408},
        {kFirst, 4, 0xFFFF0600}}},
      {"keys whose bytes overflow the node", {{12, 2, 200}}},
      {"counts longer than the key", {{kFirst + 2, 1, 0xFF}}},
      {"entries wider than a number", {{kLeaf + 2, 2, 1}, {kLeaf + 23, 1, 9}}},
      {"bit counts wider than the entry", {{kLeaf + 20, 1, 32}}},
      {"a record number wider than its mask", {{kLeaf + 20, 4, 0x08000040}}},
      {"more tags than headers fit", {}, "damaged", 0, 162},
      {"more entries than the node holds", {}, "damaged", 200 * 1024, 163},
      {"a file that ends in a tag's header", {}, "damaged", 0x1000},
  };
  const Bytes sample = Sample("fb2p_free.cdx");
  for (const Case& c : cases) {
    Bytes bytes = sample;
    if (c.size != 0) bytes.resize(c.size);
    if (c.size > sample.size()) std::copy_n(&sample[kLeaf], 512, bytes.end() - 512);
    for (std::size_t at = kFirst; c.keys != 0 && at + 3 <= kLeaf + 512; at += 3) {
      Put(bytes, {at, 3, 0xA00600});
    }
    if (c.keys != 0) Put(bytes, {kLeaf + 2, 2, c.keys});
    for (const Patch& patch : c.patches) Put(bytes, patch);
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
