#include "remark/header_patch.h"

#include <gtest/gtest.h>

#include <optional>

#include "fake_platform.h"

namespace tablemark {
namespace {

using testing::ConsoleLine;
using testing::FakeFile;
using testing::FakePlatform;
using Bytes = std::vector<std::uint8_t>;

Bytes Header(std::uint8_t signature, std::uint8_t mark, std::size_t size = 40) {
  Bytes bytes(size, 0x20);
  bytes[0] = signature;
  if (size > 29) bytes[29] = mark;
  if (size > 30) bytes[30] = 0;
  if (size > 31) bytes[31] = 0;
  return bytes;
}

constexpr std::uint8_t kMark = 0xC9;

struct HeaderCase {
  const char* what;
  Bytes before;
  void (*arrange)(FakeFile&);
  PatchOutcome outcome;
  std::u16string message;  // empty: nothing reported
  std::uint8_t mark = kMark;
  std::optional<std::uint8_t> readWith = std::nullopt;
};

void NoFault(FakeFile&) {}

Bytes With(Bytes bytes, std::size_t at, std::uint8_t value) {
  bytes[at] = value;
  return bytes;
}

TEST(CheckAndPatchHeader, Outcomes) {
  const std::vector<HeaderCase> cases{
      {"0x30 table", Header(0x30, 0x65), NoFault, PatchOutcome::Patched, u""},
      {"0x03 table", Header(0x03, 0x00), NoFault, PatchOutcome::Patched, u""},
      {"0xF5 table", Header(0xF5, 0x65), NoFault, PatchOutcome::Patched, u""},
      {"exactly 32 bytes", Header(0x30, 0x65, 32), NoFault, PatchOutcome::Patched, u""},
      {"already marked", Header(0x30, kMark), NoFault, PatchOutcome::AlreadyMarked, u""},
      {"mark 0", Header(0x30, 0x65), NoFault, PatchOutcome::Patched, u"", 0x00},
      {"still as read", Header(0x30, 0x65), NoFault, PatchOutcome::Patched, u"", kMark, 0x65},
      {"changed since it was read", Header(0x30, 0x65), NoFault, PatchOutcome::Changed,
       u"Файл t.dbf изменён другой программой после чтения", kMark, 0x03},
      {"signature 0x8B", Header(0x8B, 0x65), NoFault, PatchOutcome::NotATable,
       u"Файл t.dbf не является Visual Foxpro таблицей"},
      {"signature 0xCB", Header(0xCB, kMark), NoFault, PatchOutcome::NotATable,
       u"Файл t.dbf не является Visual Foxpro таблицей"},
      {"byte 30 set", With(Header(0x30, 0x65), 30, 1), NoFault, PatchOutcome::NotATable,
       u"Файл t.dbf не является Visual Foxpro таблицей"},
      {"byte 31 set, already marked", With(Header(0x30, kMark), 31, 0x80), NoFault,
       PatchOutcome::NotATable, u"Файл t.dbf не является Visual Foxpro таблицей"},
      {"empty", Bytes{}, NoFault, PatchOutcome::Failed,
       u"Для файла t.dbf в функции ReadFile() возникла неожиданная ошибка"},
      {"31 bytes", Header(0x30, 0x65, 31), NoFault, PatchOutcome::Failed,
       u"Для файла t.dbf в функции ReadFile() возникла неожиданная ошибка"},
      {"read fails with a code", Header(0x30, 0x65),
       [](FakeFile& f) { f.readFault = testing::Fault{5}; }, PatchOutcome::Failed,
       u"Для файла t.dbf, в функции ReadFile() возникла ошибка 5: system text 5"},
      {"read fails without a code", Header(0x30, 0x65),
       [](FakeFile& f) { f.readFault = testing::Fault{0}; }, PatchOutcome::Failed,
       u"Для файла t.dbf в функции ReadFile() возникла неожиданная ошибка"},
      {"seek fails", Header(0x30, 0x65), [](FakeFile& f) { f.seekFault = testing::Fault{87}; },
       PatchOutcome::Failed,
       u"Для файла t.dbf, в функции SetFilePointer() возникла ошибка 87: system text 87"},
      {"seek fails without a code", Header(0x30, 0x65),
       [](FakeFile& f) { f.seekFault = testing::Fault{0}; }, PatchOutcome::Failed,
       u"Для файла t.dbf в функции SetFilePointer() возникла неожиданная ошибка"},
      {"write fails", Header(0x30, 0x65), [](FakeFile& f) { f.writeFault = testing::Fault{28}; },
       PatchOutcome::Failed,
       u"Для файла t.dbf, в функции WriteFile() возникла ошибка 28: system text 28"},
      {"write of 0 bytes", Header(0x30, 0x65), [](FakeFile& f) { f.writeCount = 0; },
       PatchOutcome::Failed, u"Для файла t.dbf в функции WriteFile() возникла неожиданная ошибка"},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform fake;
    fake.files.addDirectory(u"/d");
    FakeFile& table = fake.files.addFile(u"/d", u"t.dbf", c.before);
    c.arrange(table);
    PatchOutcome outcome;
    {
      DirectorySearch search;
      DirectoryEntry entry;
      ASSERT_TRUE(fake.files.startSearch(u"/d/", search, entry).ok());
      TableFile file;
      ASSERT_TRUE(fake.files.openTable(search, u"/d/", entry, file).ok());
      TableHeader header;
      outcome =
          CheckAndPatchHeader(fake.files, fake.console, file, u"t.dbf", c.mark, header, c.readWith);
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(fake.files.openFiles, 0);

    Bytes expected = c.before;
    if (outcome == PatchOutcome::Patched) expected[29] = c.mark;
    EXPECT_EQ(table.bytes, expected);
    EXPECT_EQ(table.writes, outcome == PatchOutcome::Patched ? 1 : 0);

    const std::vector<ConsoleLine> reported{{ConsoleStream::Error, c.message}};
    EXPECT_EQ(fake.console.lines, c.message.empty() ? std::vector<ConsoleLine>{} : reported);
  }
}

}  // namespace
}  // namespace tablemark
