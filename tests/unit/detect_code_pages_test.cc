#include "detect/detect_code_pages.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "detect/table_text.h"
#include "fake_platform.h"

namespace tablemark {
namespace {

using testing::ConsoleLine;
using testing::FakePlatform;
using testing::Fault;
using Bytes = std::vector<std::uint8_t>;

struct Field {
  char type;
  std::uint8_t length;
  std::uint8_t flags = 0;
};

void Put(Bytes& bytes, std::size_t at, std::uint32_t value, int width, bool big = false) {
  for (int i = 0; i < width; ++i) {
    bytes[at + (big ? width - 1 - i : i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// A Visual FoxPro table: the fields, then one record per row, each row's
// values in field order (a memo field's value is its block number).
Bytes Table(std::uint8_t mark, const std::vector<Field>& fields,
            const std::vector<std::vector<Bytes>>& rows, std::uint8_t flags = 0) {
  std::uint32_t recordLength = 1;
  for (const Field& f : fields) recordLength += f.length;
  const std::uint32_t headerLength = 32 + 32 * fields.size() + 1 + 263;
  Bytes bytes(headerLength, 0);
  bytes[0] = 0x30;
  Put(bytes, 4, rows.size(), 4);
  Put(bytes, 8, headerLength, 2);
  Put(bytes, 10, recordLength, 2);
  bytes[28] = flags;
  bytes[29] = mark;
  std::uint32_t offset = 1;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t at = 32 + 32 * i;
    bytes[at] = static_cast<std::uint8_t>('A' + i);
    bytes[at + 11] = static_cast<std::uint8_t>(fields[i].type);
    Put(bytes, at + 12, offset, 4);
    bytes[at + 16] = fields[i].length;
    bytes[at + 18] = fields[i].flags;
    offset += fields[i].length;
  }
  bytes[32 + 32 * fields.size()] = 0x0D;
  for (const auto& row : rows) {
    bytes.push_back(' ');
    for (std::size_t i = 0; i < fields.size(); ++i) {
      Bytes value = row[i];
      value.resize(fields[i].length, fields[i].type == 'M' ? 0 : ' ');
      bytes.insert(bytes.end(), value.begin(), value.end());
    }
  }
  return bytes;
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Block(std::uint32_t block) {
  Bytes bytes(4, 0);
  Put(bytes, 0, block, 4);
  return bytes;
}

// A memo file with 64-byte blocks holding `memos` from block 8 on, one
// after another; returns each memo's block in `blocks`.
Bytes Memo(const std::vector<Bytes>& memos, std::vector<std::uint32_t>& blocks,
           std::uint32_t type = 1) {
  Bytes bytes(512, 0);
  Put(bytes, 6, 64, 2, true);
  for (const Bytes& memo : memos) {
    blocks.push_back(static_cast<std::uint32_t>(bytes.size() / 64));
    const std::size_t at = bytes.size();
    bytes.resize(at + 8 + memo.size());
    Put(bytes, at, type, 4, true);
    Put(bytes, at + 4, memo.size(), 4, true);
    std::copy(memo.begin(), memo.end(), bytes.begin() + at + 8);
    bytes.resize((bytes.size() + 63) / 64 * 64);
  }
  return bytes;
}

// Russian prose in code page 866 and 1251: long enough to be sure of.
Bytes Russian(bool windows) {
  // "Съешь же ещё этих мягких французских булок да выпей чаю" and more.
  const char16_t* text =
      u"Съешь же ещё этих мягких французских булок, да выпей чаю. Широкая электрификация южных "
      u"губерний даст мощный толчок подъёму сельского хозяйства. В чащах юга жил бы цитрус? Да, "
      u"но фальшивый экземпляр! Эх, жирафы честно в цепи вошли, да щёки побледнели.";
  Bytes bytes;
  for (const char16_t* c = text; *c != 0; ++c) {
    const char16_t ch = *c;
    if (ch < 0x80) {
      bytes.push_back(static_cast<std::uint8_t>(ch));
    } else if (ch == u'ё') {
      bytes.push_back(windows ? 0xB8 : 0xF1);
    } else if (ch >= u'А' && ch <= u'я') {
      const int i = ch - u'А';  // 0..63
      bytes.push_back(
          static_cast<std::uint8_t>(windows ? 0xC0 + i : (i < 48 ? 0x80 + i : 0xE0 + i - 48)));
    }
  }
  return bytes;
}

std::vector<std::vector<Bytes>> Lines(const Bytes& prose, std::size_t width) {
  std::vector<std::vector<Bytes>> rows;
  for (int repeat = 0; repeat < 4; ++repeat) {
    for (std::size_t at = 0; at < prose.size(); at += width) {
      rows.push_back(
          {Bytes(prose.begin() + at, prose.begin() + std::min(at + width, prose.size()))});
    }
  }
  return rows;
}

TEST(DetectCodePages, OneLinePerTableAndEveryFailureReported) {
  FakePlatform platform;
  platform.addDirectory(u"/d");
  const std::vector<Field> text{{'C', 40}};
  platform.addFile(u"/d", u"right.dbf", Table(0xC9, text, Lines(Russian(true), 40)));
  platform.addFile(u"/d", u"dos.dbf", Table(0x65, text, Lines(Russian(false), 40)));
  platform.addFile(u"/d", u"ascii.dbf", Table(0x00, text, {{Text("plain")}}));
  platform.addFile(u"/d", u"odd\tname\\.dbf", Table(0x8C, text, {}));
  platform.addFile(u"/d", u"binary.dbf",
                   Table(0x03, {{'C', 4, 0x04}, {'N', 4}}, {{Bytes(4, 0xE9), Bytes(4, 0xE9)}}));
  platform.addFile(u"/d", u"wrong.dbf", Table(0xC9, text, Lines(Russian(false), 40)));
  platform.addFile(u"/d", u"locked.dbf", Table(0xC9, text, {})).openFault = Fault{11};
  platform.addFile(u"/d", u"broken.dbf", Table(0xC9, text, {})).readFault = Fault{5};
  auto& late = platform.addFile(u"/d", u"late.dbf", Table(0xC9, text, Lines(Russian(true), 40)));
  late.readFault = Fault{5};
  late.readsBeforeFault = 1;  // the header reads, the records do not
  platform.addFile(u"/d", u"short.dbf", Bytes(31, 0));
  platform.addFile(u"/d", u"foreign.dbf", Bytes(64, 0x8B));
  platform.addFile(u"/d", u"notes.txt", Text("not a table"));

  EXPECT_EQ(DetectCodePages(platform, u"/d"), kSomeFailed);
  const auto out = [](const char16_t* line) { return ConsoleLine{ConsoleStream::Output, line}; };
  const auto err = [](const char16_t* line) { return ConsoleLine{ConsoleStream::Error, line}; };
  EXPECT_EQ(
      platform.console,
      (std::vector<ConsoleLine>{
          out(u"right.dbf\t1251\t1251"),
          out(u"dos.dbf\t866\t866"),
          out(u"ascii.dbf\t0\t-"),
          out(u"odd\\tname\\\\.dbf\t0x8C\t-"),
          out(u"binary.dbf\t1252\t-"),
          out(u"wrong.dbf\t1251\t866"),
          err(u"Для файла locked.dbf, в функции CreateFile() возникла ошибка 11: system text 11"),
          err(u"Для файла broken.dbf, в функции ReadFile() возникла ошибка 5: system text 5"),
          err(u"Для файла late.dbf, в функции ReadFile() возникла ошибка 5: system text 5"),
          err(u"Для файла short.dbf в функции ReadFile() возникла неожиданная ошибка"),
          err(u"Файл foreign.dbf не является Visual Foxpro таблицей"),
      }));
  EXPECT_EQ(platform.openTables, 0);
  EXPECT_EQ(platform.openSearches, 0);
  for (const char16_t* name : {u"right.dbf", u"wrong.dbf", u"ascii.dbf"}) {
    EXPECT_EQ(platform.file(u"/d", name).writes, 0);
  }
}

TEST(DetectCodePages, MarksThatAgreeWithTheTextExitZero) {
  FakePlatform platform;
  platform.addDirectory(u"/d");
  platform.addFile(u"/d", u"a.dbf", Table(0xC9, {{'C', 40}}, Lines(Russian(true), 40)));
  platform.addFile(u"/d", u"b.dbf", Table(0x00, {{'C', 40}}, {{Text("ascii only")}}));
  EXPECT_EQ(DetectCodePages(platform, u"/d"), kAllHandled);
}

TEST(DetectCodePages, MemoText) {
  const Bytes prose = Russian(true);
  std::vector<std::uint32_t> blocks;
  const Bytes memo = Memo({prose, prose, prose}, blocks);
  std::vector<std::vector<Bytes>> rows;
  for (const std::uint32_t block : blocks) rows.push_back({Text("x"), Block(block)});
  const Bytes table = Table(0x65, {{'C', 4}, {'M', 4}}, rows, 0x02);
  struct Case {
    const char* what;
    std::u16string memoName;  // empty: none
    std::optional<Fault> openFault, readFault;
    std::vector<ConsoleLine> console;
  };
  const std::vector<Case> cases{
      {"memo text found, in another letter case",
       u"T.FPT",
       {},
       {},
       {{ConsoleStream::Output, u"t.dbf\t866\t1251"}}},
      {"memo file missing",
       u"",
       {},
       {},
       {{ConsoleStream::Error, u"Для файла t.dbf не найден мемо-файл t.fpt"},
        {ConsoleStream::Output, u"t.dbf\t866\t-"}}},
      {"memo file cannot be opened",
       u"t.fpt",
       Fault{13},
       {},
       {{ConsoleStream::Error,
         u"Для файла t.fpt, в функции CreateFile() возникла ошибка 13: system text 13"},
        {ConsoleStream::Output, u"t.dbf\t866\t-"}}},
      {"memo file cannot be read",
       u"t.fpt",
       {},
       Fault{5},
       {{ConsoleStream::Error,
         u"Для файла t.fpt, в функции ReadFile() возникла ошибка 5: system text 5"},
        {ConsoleStream::Output, u"t.dbf\t866\t-"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.addDirectory(u"/d");
    platform.addFile(u"/d", u"t.dbf", table);
    if (!c.memoName.empty()) {
      auto& file = platform.addFile(u"/d", c.memoName, memo);
      file.openFault = c.openFault;
      file.readFault = c.readFault;
    }
    EXPECT_EQ(DetectCodePages(platform, u"/d"), kSomeFailed);
    EXPECT_EQ(platform.console, c.console);
  }
}

TEST(DetectCodePages, Columns) {
  const std::vector<std::pair<std::uint8_t, std::u16string>> marks{
      {0x01, u"437"},  {0x00, u"0"},    {0xCB, u"1253"},
      {0xCA, u"1254"}, {0x8C, u"0x8C"}, {0x0A, u"0x0A"}};
  for (const auto& [mark, column] : marks) EXPECT_EQ(MarkColumn(mark), column) << int{mark};
  const std::vector<std::pair<std::u16string, std::u16string>> names{
      {u"a.dbf", u"a.dbf"},
      {u"a\tb.dbf", u"a\\tb.dbf"},
      {u"a\nb.dbf", u"a\\nb.dbf"},
      {u"a\\b.dbf", u"a\\\\b.dbf"},
      {u"\x1b[31m.dbf", u"\\x1B[31m.dbf"},
      {u"\x7f\u0085.dbf", u"\\x7F\\x85.dbf"},
      {u"é.dbf", u"é.dbf"}};
  for (const auto& [name, shown] : names) {
    std::u16string out;
    AppendEscaped(name, out);
    EXPECT_EQ(out, shown) << testing::Utf8(name);
  }
  const std::vector<std::pair<std::string, bool>> utf8{{"plain", false},
                                                       {"caf\xC3\xA9", true},
                                                       {"\xC3\xA9 cut \xE2\x82", true},
                                                       {"\xE2\x82\nnext", false},
                                                       {"\xC3(", false},
                                                       {"\xC0\x80", false},
                                                       {"\xED\xA0\x80", false},
                                                       {"\xF4\x90\x80\x80", false},
                                                       {"caf\xE9", false}};
  for (const auto& [text, expected] : utf8) {
    EXPECT_EQ(IsUtf8(Text(text)), expected) << ::testing::PrintToString(text);
  }
  EXPECT_EQ(MemoExtensionOf(u"a.dbf"), u"fpt");
  EXPECT_EQ(MemoExtensionOf(u"A.Scx"), u"SCT");
  EXPECT_EQ(MemoExtensionOf(u"x.pjx"), u"pjt");
}

// One file, alone in its directory, open for reading.
struct OpenedFile {
  OpenedFile(FakePlatform& platform, const Bytes& bytes) {
    platform.addDirectory(u"/d");
    platform.addFile(u"/d", u"t", bytes);
    DirectoryEntry entry;
    ErrorCode error = 0;
    std::uint64_t size = 0;
    if (!platform.startSearch(u"/d/", search, entry, error) ||
        !platform.openForReading(search, u"/d/", entry, file, size, error)) {
      throw std::logic_error("the fake did not open its file");
    }
  }
  DirectorySearch search;
  TableFile file;
};

// Hostile tables: whatever the numbers say, reading stays inside the file
// and the buffers (the sanitizer builds and the fuzz target watch that);
// here, what is still read.
TEST(TableText, UntrustedLayout) {
  const Bytes good =
      Table(0x00, {{'C', 8}, {'V', 8}, {'C', 8, 0x04}, {'M', 4}},
            {{Text("alpha"), Bytes{'v', 'a', 'r', 0, 0, 0, 0, 3}, Text("binary"), Block(0)}});
  struct Case {
    const char* what;
    std::size_t at;  // byte changed, and its new value
    std::uint8_t value;
    std::string text;
  };
  const std::vector<Case> cases{
      {"as made", 0, 0x30, "alpha\nvar\n"},
      {"header length beyond the file", 9, 0xFF, ""},
      {"record length 0", 10, 0, ""},
      {"record length beyond the file", 11, 0xFF, ""},
      {"more records than the file holds", 7, 0x7F, "alpha\nvar\n"},
      {"no descriptor terminator", 32 + 32 * 4, 0x20, "alpha\nvar\n"},
      {"field past the record", 32 + 16, 0xF0, "var\n"},
      {"field at offset 0", 32 + 12, 0, "var\n"},
      {"binary flag on the varchar", 32 + 32 + 18, 0x04, "alpha\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bytes = good;
    bytes[c.at] = c.value;
    FakePlatform platform;
    OpenedFile opened(platform, bytes);
    const TableLayout layout = ParseLayout(bytes, bytes.size());
    TextSample sample;
    EXPECT_EQ(SampleRecords(platform, opened.file, layout, sample).error, 0);
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
    FakePlatform platform;
    OpenedFile opened(platform, bytes);
    TextSample sample;
    sample.memoBlocks = c.named;
    EXPECT_EQ(SampleMemos(platform, opened.file, bytes.size(), sample).error, 0);
    EXPECT_EQ(std::string(sample.text.begin(), sample.text.end()), c.text);
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
  FakePlatform platform;
  OpenedFile opened(platform, bytes);
  TextSample sample;
  EXPECT_EQ(SampleRecords(platform, opened.file, ParseLayout(bytes, bytes.size()), sample).error,
            0);
  const std::string text(sample.text.begin(), sample.text.end());
  EXPECT_EQ(text.substr(0, 8), "first\nx\n");
  EXPECT_EQ(text.substr(text.size() - 7), "x\nlast\n");
  EXPECT_LT(platform.file(u"/d", u"t").bytesRead, 80 * 1024u);
}

}  // namespace
}  // namespace tablemark
