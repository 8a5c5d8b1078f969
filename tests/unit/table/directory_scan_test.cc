#include "table/directory_scan.h"

#include <gtest/gtest.h>

#include <optional>

#include "fake_platform.h"
#include "remark/remark.h"
#include "report/messages.h"

namespace tablemark {
namespace {

using testing::ConsoleLine;
using testing::FakeFileSystem;
using testing::FakePlatform;
using testing::Fault;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kMark = 0xC9;

Bytes Table(std::uint8_t mark = 0x65) {
  Bytes bytes(64, 0);
  bytes[0] = 0x30;
  bytes[29] = mark;
  return bytes;
}

std::u16string FatalText(FakePlatform& fake, const std::u16string& path) {
  try {
    RemarkDirectory(fake.platform, path, kMark);
  } catch (const FatalMessage& fatal) {
    return fatal.text();
  }
  return u"(no fatal message)";
}

TEST(ScanDirectory, VisitsTablesOnlyOneOpenAtATime) {
  FakePlatform fake;
  fake.files.addDirectory(u"/d");
  for (const char16_t* name :
       {u"A.DBF", u"README", u"b.dbf", u"d.dbf.bak", u"c.Scx", u"e.dbfx", u".dbf", u"f.db"}) {
    fake.files.addFile(u"/d", name, Table());
  }
  fake.files.addSubdirectory(u"/d", u"old.dbf");

  EXPECT_EQ(RemarkDirectory(fake.platform, u"/d", kMark), kAllHandled);
  EXPECT_TRUE(fake.console.lines.empty());
  EXPECT_EQ(
      fake.files.events,
      (std::vector<std::u16string>{
          u"start /d/", u"open /d/A.DBF", u"close A.DBF", u"next", u"next", u"open /d/b.dbf",
          u"close b.dbf", u"next", u"next", u"open /d/c.Scx", u"close c.Scx", u"next", u"next",
          u"open /d/.dbf", u"close .dbf", u"next", u"next", u"next", u"end search"}));
  for (const char16_t* name : {u"A.DBF", u"b.dbf", u"c.Scx", u".dbf"}) {
    EXPECT_EQ(fake.files.file(u"/d", name).bytes[29], kMark);
  }
  for (const char16_t* name : {u"README", u"d.dbf.bak", u"e.dbfx", u"f.db"}) {
    EXPECT_EQ(fake.files.file(u"/d", name).bytes, Table());
  }
}

TEST(ScanDirectory, FailuresAreReportedAndTheScanGoesOn) {
  FakePlatform fake;
  fake.files.addDirectory(u"/d");
  fake.files.addFile(u"/d", u"1.dbf", Table());
  fake.files.addFile(u"/d", u"locked.dbf", Table()).openFault = Fault{11};
  fake.files.addFile(u"/d", u"marked.dbf", Table(kMark)).closeFault = Fault{5};  // not checked
  // The close after a write is the write's last word on network file systems.
  fake.files.addFile(u"/d", u"lost.dbf", Table()).closeFault = Fault{5};
  fake.files.addFile(u"/d", u"lost-no-code.dbf", Table()).closeFault = Fault{0};
  Bytes foreign = Table();
  foreign[0] = 0x8B;
  fake.files.addFile(u"/d", u"memo.dbf", foreign);
  fake.files.addFile(u"/d", u"short.dbf", Bytes(10, 0));
  fake.files.addFile(u"/d", u"2.dbf", Table());

  EXPECT_EQ(RemarkDirectory(fake.platform, u"/d/", kMark), kSomeFailed);
  EXPECT_EQ(
      fake.console.lines,
      (std::vector<ConsoleLine>{
          {ConsoleStream::Error,
           u"Для файла locked.dbf, в функции CreateFile() возникла ошибка 11: system text 11"},
          {ConsoleStream::Error,
           u"Для файла lost.dbf, в функции WriteFile() возникла ошибка 5: system text 5"},
          {ConsoleStream::Error,
           u"Для файла lost-no-code.dbf в функции WriteFile() возникла неожиданная ошибка"},
          {ConsoleStream::Error, u"Файл memo.dbf не является Visual Foxpro таблицей"},
          {ConsoleStream::Error,
           u"Для файла short.dbf в функции ReadFile() возникла неожиданная ошибка"},
      }));
  EXPECT_EQ(fake.files.file(u"/d", u"1.dbf").bytes[29], kMark);
  EXPECT_EQ(fake.files.file(u"/d", u"2.dbf").bytes[29], kMark);
  EXPECT_EQ(fake.files.file(u"/d", u"locked.dbf").bytes, Table());
  EXPECT_EQ(fake.files.file(u"/d", u"memo.dbf").bytes, foreign);
  EXPECT_EQ(fake.files.file(u"/d", u"marked.dbf").writes, 0);
  EXPECT_EQ(fake.files.openFiles, 0);
  EXPECT_EQ(fake.files.openSearches, 0);
}

TEST(ScanDirectory, FileVanishingBeforeItsOpenIsReported) {
  FakePlatform fake;
  fake.files.addDirectory(u"/d");
  fake.files.addFile(u"/d", u"gone.dbf", Table()).openFault = Fault{2};
  fake.files.addFile(u"/d", u"here.dbf", Table());
  EXPECT_EQ(RemarkDirectory(fake.platform, u"/d", kMark), kSomeFailed);
  EXPECT_EQ(fake.console.lines,
            (std::vector<ConsoleLine>{
                {ConsoleStream::Error,
                 u"Для файла gone.dbf, в функции CreateFile() возникла ошибка 2: system text 2"}}));
  EXPECT_EQ(fake.files.file(u"/d", u"here.dbf").bytes[29], kMark);
}

TEST(ScanDirectory, AlreadyMarkedTablesDoNotFail) {
  FakePlatform fake;
  fake.files.addDirectory(u"/d");
  fake.files.addFile(u"/d", u"x.dbf", Table(kMark));
  EXPECT_EQ(RemarkDirectory(fake.platform, u"/d", kMark), kAllHandled);
  EXPECT_EQ(fake.files.file(u"/d", u"x.dbf").writes, 0);
}

TEST(ScanDirectory, ListingThatBreaksOffEndsTheRun) {
  struct Case {
    const char* what;
    std::optional<Fault> fault;
    std::u16string message;  // empty: the list simply ended
  };
  const std::vector<Case> cases{
      {"end of the list", std::nullopt, u""},
      {"failure with a code", Fault{5},
       u"В функции FindNextFile() возникла ошибка 5: system text 5"},
      {"failure without a code", Fault{0}, u"Неожиданная ошибка в функции FindNextFile()"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform fake;
    fake.files.addDirectory(u"/d");
    fake.files.addFile(u"/d", u"1.dbf", Table());
    fake.files.addFile(u"/d", u"bad.dbf", Bytes(8, 0));
    fake.files.addFile(u"/d", u"3.dbf", Table());
    fake.files.entriesBeforeBreak = 2;
    fake.files.breakFault = c.fault;
    const ConsoleLine reported{
        ConsoleStream::Error,
        u"Для файла bad.dbf в функции ReadFile() возникла неожиданная ошибка"};
    if (c.message.empty()) {
      EXPECT_EQ(RemarkDirectory(fake.platform, u"/d", kMark), kSomeFailed);
    } else {
      EXPECT_EQ(FatalText(fake, u"/d"), c.message);
    }
    // What was done before the break stays done, and stays reported.
    EXPECT_EQ(fake.console.lines, std::vector<ConsoleLine>{reported});
    EXPECT_EQ(fake.files.file(u"/d", u"1.dbf").bytes[29], kMark);
    EXPECT_EQ(fake.files.file(u"/d", u"3.dbf").bytes, Table());
    EXPECT_EQ(fake.files.openSearches, 0);
    EXPECT_EQ(fake.files.openFiles, 0);
  }
}

TEST(ScanDirectory, DirectoryPathIsSettled) {
  struct Case {
    Dialect dialect;
    std::u16string given;
    std::u16string searched;
  };
  const std::vector<Case> cases{
      {Dialect::Posix, u"/d", u"/d/"},
      {Dialect::Posix, u"/d/", u"/d/"},
      {Dialect::Posix, u"", u"/work/"},
      {Dialect::Posix, u"rel", u"rel/"},
      {Dialect::Windows, u"C:\\Data", u"C:\\Data\\"},
      {Dialect::Windows, u"C:\\Data\\", u"C:\\Data\\"},
      {Dialect::Windows, u"D:", u"D:\\"},
      {Dialect::Windows, u"data", u"data\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Utf8(c.given));
    FakePlatform fake(c.dialect);
    fake.files.workingDirectory = u"/work";
    fake.files.addDirectory(c.searched);
    fake.files.addFile(c.searched, u"t.dbf", Table());
    EXPECT_EQ(RemarkDirectory(fake.platform, c.given, kMark), kAllHandled);
    EXPECT_EQ(fake.files.events.front(), u"start " + c.searched);
    EXPECT_EQ(fake.files.events.at(1), u"open " + c.searched + u"t.dbf");
  }
}

TEST(ScanDirectory, RunLevelFailures) {
  struct Case {
    const char* what;
    void (*arrange)(FakeFileSystem&);
    std::u16string path;
    std::u16string message;
  };
  const std::vector<Case> cases{
      {"no current directory", [](FakeFileSystem& p) { p.currentDirectoryFault = Fault{2}; }, u"",
       u"В функции GetCurrentDirectory() возникла ошибка 2: system text 2"},
      {"no current directory, no code",
       [](FakeFileSystem& p) { p.currentDirectoryFault = Fault{0}; }, u"",
       u"Неожиданная ошибка в функции GetCurrentDirectory()"},
      {"missing directory", [](FakeFileSystem&) {}, u"/missing",
       u"В функции GetFileAttributes() возникла ошибка 2: system text 2"},
      {"existence test without a code", [](FakeFileSystem& p) { p.pathExistsFault = Fault{0}; },
       u"/d", u"Неожиданная ошибка в функции GetFileAttributes()"},
      {"a file named as the directory", [](FakeFileSystem&) {}, u"/d/t.dbf",
       u"В функции FindFirstFile() возникла ошибка 267: system text 267"},
      {"search refused without a code", [](FakeFileSystem& p) { p.startSearchFault = Fault{0}; },
       u"/d", u"Неожиданная ошибка в функции FindFirstFile()"},
      {"search finds nothing", [](FakeFileSystem& p) { p.entriesBeforeBreak = 0; }, u"/d",
       u"В функции FindFirstFile() возникла ошибка 18: system text 18"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform fake;
    fake.files.workingDirectory = u"/d";
    fake.files.addDirectory(u"/d");
    fake.files.addFile(u"/d", u"t.dbf", Table());
    c.arrange(fake.files);
    EXPECT_EQ(FatalText(fake, c.path), c.message);
    EXPECT_TRUE(fake.console.lines.empty());
    EXPECT_EQ(fake.files.file(u"/d", u"t.dbf").bytes, Table());
    EXPECT_EQ(fake.files.openSearches, 0);
    EXPECT_EQ(fake.files.openFiles, 0);
  }
}

}  // namespace
}  // namespace tablemark
