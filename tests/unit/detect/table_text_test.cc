#include "detect/table_text.h"

#include <gtest/gtest.h>

#include "detect/table_bytes.h"

namespace tablemark {
namespace {

using testing::Block;
using testing::Bytes;
using testing::BytesReader;
using testing::Memo;
using testing::Table;
using testing::Text;

// Hostile tables: whatever the numbers say, reading stays inside the file
// and the buffers (the sanitizer builds and the fuzz target watch that);
// here, what is still read.
TEST(TableText, UntrustedLayout) {
  const Bytes good =
      Table(0x00, {{'C', 8}, {'V', 8}, {'C', 8, 0x04}, {'M', 4}},
            {{Text("alpha"), Bytes{'v', 'a', 'r', 0, 0, 0, 0, 3}, Text("binary"), Block(0)}});
  struct Case {
    const char* what;
    std::vector<std::pair<std::size_t, std::uint8_t>> changes;  // bytes changed
    std::string text;
  };
  const std::vector<Case> cases{
      {"as made", {}, "alpha\nvar\n"},
      {"header length beyond the file", {{9, 0xFF}}, ""},
      {"record length 0", {{10, 0}}, ""},
      {"record length beyond the file", {{11, 0xFF}}, ""},
      {"more records than the file holds", {{7, 0x7F}}, "alpha\nvar\n"},
      {"no descriptor terminator", {{32 + 32 * 4, 0x20}}, "alpha\nvar\n"},
      {"field past the record", {{32 + 16, 0xF0}}, "var\n"},
      {"field at offset 0", {{32 + 12, 0}}, "var\n"},
      {"binary flag on the varchar", {{32 + 32 + 18, 0x04}}, "alpha\n"},
      // Their writers leave bytes behind where Visual FoxPro keeps a field's
      // offset and flags; their fields follow one another, none binary.
      {"dBase III with leftover descriptor bytes",
       {{0, 0x03}, {32 + 12, 0xEE}, {32 + 32 + 15, 0x55}, {32 + 18, 0x04}},
       "alpha\nvar\nbinary\n"},
      {"FoxPro 2.x, the same", {{0, 0xF5}, {32 + 32 + 18, 0x05}}, "alpha\nvar\nbinary\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes = good;
    for (const auto& [at, value] : c.changes) bytes[at] = value;
    BytesReader reader(bytes);
    TextSample sample;
    EXPECT_TRUE(SampleRecords(reader, ParseLayout(bytes, bytes.size()), sample).status.ok());
    EXPECT_EQ(std::string(sample.text.begin(), sample.text.end()), c.text);
  }
}

TEST(TableText, UntrustedMemoBlocks) {
  std::vector<std::uint32_t> blocks;
  const Bytes memo = Memo({Text("first"), Text("second")}, blocks);
  struct Case {
    const char* what;
    std::vector<std::uint32_t> named;
    std::vector<std::pair<std::size_t, std::uint8_t>> changes;  // bytes of the memo file
    std::string text;
  };
  const std::uint32_t second = blocks[1];
  const std::vector<Case> cases{
      {"as made", blocks, {}, "first\nsecond\n"},
      {"block past the file", {0xFFFFFFFF, second}, {}, "second\n"},
      {"block inside the header, which looks like a text memo",
       {1, second},
       {{67, 1}, {71, 2}, {72, 'h'}, {73, 'i'}},
       "second\n"},
      {"block size 0", blocks, {{7, 0}}, ""},
      {"length past the file", {second}, {{second * 64 + 4, 0xFF}}, "second\n"},
      {"not a text memo", {second}, {{second * 64 + 3, 2}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes = memo;
    for (const auto& [at, value] : c.changes) bytes[at] = value;
    BytesReader reader(bytes);
    TextSample sample;
    sample.memoBlocks = c.named;
    EXPECT_TRUE(SampleMemos(reader, bytes.size(), MemoFormat::FoxPro, sample).status.ok());
    EXPECT_EQ(std::string(sample.text.begin(), sample.text.end()), c.text);
  }
}

// dBase III keeps its memos in 512-byte blocks, each running to a 0x1A.
TEST(TableText, DBaseMemos) {
  Bytes memo(512 * 3, 0);
  const std::string first = "first\x1A\x1A", second(kMemos * kMemoBytes + 3000, 'x');
  std::copy(first.begin(), first.end(), memo.begin() + 512);
  memo.resize(1024);
  memo.insert(memo.end(), second.begin(), second.end());  // no end: bounded
  const std::vector<std::pair<std::vector<std::uint32_t>, std::string>> cases{
      {{1}, "first\n"},
      {{0, 99999, 1}, "first\n"},  // the header block and one past the file name nothing
      {{2}, std::string(8 + kMemos * kMemoBytes, 'x') + "\n"},  // one memo takes the whole bound
  };
  for (const auto& [named, text] : cases) {
    BytesReader reader(memo);
    TextSample sample;
    sample.memoBlocks = named;
    EXPECT_TRUE(SampleMemos(reader, memo.size(), MemoFormat::DBase, sample).status.ok());
    EXPECT_TRUE(std::string(sample.text.begin(), sample.text.end()) == text) << named.front();
  }
}

// A memo longer than the first read is read whole while the memos named
// share the bound.
TEST(TableText, FewMemosAreReadWhole) {
  std::vector<std::uint32_t> blocks;
  const std::string long_(3 * kMemoBytes, 'y');
  const Bytes memo = Memo({Text(long_), Text("short")}, blocks);
  BytesReader reader(memo);
  TextSample sample;
  sample.memoBlocks = blocks;
  EXPECT_TRUE(SampleMemos(reader, memo.size(), MemoFormat::FoxPro, sample).status.ok());
  EXPECT_EQ(std::string(sample.text.begin(), sample.text.end()), long_ + "\nshort\n");
}

// A value that is plainly binary is no text, whatever its field says.
TEST(TableText, BinaryValuesAreNoText) {
  using std::string_literals::operator""s;
  const std::vector<std::pair<std::string, bool>> values{
      {"caf\xE9 \xE0 la cr\xE8me", true},
      {"tab\there\r\nform\ffeed\x1A", true},
      {"one\x01stray control in a long enough value", true},
      {"a NUL\0inside"s, false},
      {"bell\x07s\x07three\x07", false},
      {"short\x02", false},
      {"BM\x36\x10\x0E\0\0\0\0\0\x36\x04 \xE9"s, false},  // a bitmap
      {"BMW X5 \xE9t\xE9", true},                         // not one
      {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 ole", false},
      {"\x89PNG\r\n\x1A\n", false},
      {"GIF89a\xE9", false},
      {"\xFF\xD8\xFF\xE0", false},
      {"PK\x03\x04\xE9\xE9", false},
  };
  for (const auto& [value, text] : values) {
    const Bytes bytes = Table(0x30, {{'C', 40}}, {{Bytes(value.begin(), value.end())}});
    BytesReader reader(bytes);
    TextSample sample;
    EXPECT_TRUE(SampleRecords(reader, ParseLayout(bytes, bytes.size()), sample).status.ok());
    EXPECT_EQ(sample.text.empty(), !text) << ::testing::PrintToString(value);
  }
}

// A large table costs about what a small one does, and is read across the
// whole length it really has, not only at its start.
TEST(TableText, SampleIsBoundedAndSpread) {
  std::vector<std::vector<Bytes>> rows(200000, std::vector<Bytes>{Text("x")});
  rows.front() = {Text("first")};
  rows.back() = {Text("last")};
  Bytes bytes = Table(0x03, {{'C', 9}}, rows);
  bytes[7] = 0x7F;  // the header claims far more records than the file holds
  BytesReader reader(bytes);
  TextSample sample;
  EXPECT_TRUE(SampleRecords(reader, ParseLayout(bytes, bytes.size()), sample).status.ok());
  const std::string text(sample.text.begin(), sample.text.end());
  EXPECT_EQ(text.substr(0, 8), "first\nx\n");
  EXPECT_EQ(text.substr(text.size() - 7), "x\nlast\n");
  EXPECT_LT(reader.bytesRead, 80 * 1024u);
}

}  // namespace
}  // namespace tablemark
