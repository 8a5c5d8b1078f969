#include "remark/directory_scan.h"

#include <gtest/gtest.h>

#include <optional>

#include "cli/console_messages.h"
#include "fake_platform.h"

namespace tablemark {
namespace {

using testing::ConsoleLine;
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

std::u16string FatalText(FakePlatform& platform, const std::u16string& path) {
  try {
    ScanDirectory(platform, path, kMark);
  } catch (const FatalMessage& fatal) {
    return fatal.text();
  }
  return u"(no fatal message)";
}

TEST(HasTableExtension, Names) {
  const std::vector<std::pair<std::u16string, bool>> cases{
      {u"A.DBF", true},   {u"b.dbf", true},   {u"c.Scx", true},   {u".dbf", true},
      {u"x.vcx", true},   {u"x.FRX", true},   {u"x.lbx", true},   {u"x.mnx", true},
      {u"x.dbc", true},   {u"x.pjx", true},   {u"a.b.DbF", true}, {u"d.dbf.bak", false},
      {u"e.dbfx", false}, {u"f.db", false},   {u"README", false}, {u"x.", false},
      {u"x.F|S", false},  {u"x.X|S", false},  {u"x.|SC", false},  {u"x.DB", false},
      {u"x.ДБФ", false},  {u"x.dbf ", false}, {u"dbf", false},    {u"x.\uFF24BF", false},
  };
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(HasTableExtension(name), expected) << testing::Utf8(name);
  }
}

TEST(ScanDirectory, VisitsTablesOnlyOneOpenAtATime) {
  FakePlatform platform;
  platform.addDirectory(u"/d");
  for (const char16_t* name :
       {u"A.DBF", u"README", u"b.dbf", u"d.dbf.bak", u"c.Scx", u"e.dbfx", u".dbf", u"f.db"}) {
    platform.addFile(u"/d", name, Table());
  }
  platform.addSubdirectory(u"/d", u"old.dbf");

  EXPECT_EQ(ScanDirectory(platform, u"/d", kMark), kAllHandled);
  EXPECT_TRUE(platform.console.empty());
  EXPECT_EQ(
      platform.events,
      (std::vector<std::u16string>{
          u"start /d/", u"open /d/A.DBF", u"close A.DBF", u"next", u"next", u"open /d/b.dbf",
          u"close b.dbf", u"next", u"next", u"open /d/c.Scx", u"close c.Scx", u"next", u"next",
          u"open /d/.dbf", u"close .dbf", u"next", u"next", u"next", u"end search"}));
  for (const char16_t* name : {u"A.DBF", u"b.dbf", u"c.Scx", u".dbf"}) {
    EXPECT_EQ(platform.file(u"/d", name).bytes[29], kMark);
  }
  for (const char16_t* name : {u"README", u"d.dbf.bak", u"e.dbfx", u"f.db"}) {
    EXPECT_EQ(platform.file(u"/d", name).bytes, Table());
  }
}

TEST(ScanDirectory, FailuresAreReportedAndTheScanGoesOn) {
  FakePlatform platform;
  platform.addDirectory(u"/d");
  platform.addFile(u"/d", u"1.dbf", Table());
  platform.addFile(u"/d", u"locked.dbf", Table()).openFault = Fault{11};
  platform.addFile(u"/d", u"marked.dbf", Table(kMark)).closeFault = Fault{5};  // not checked
  // The close after a write is the write's last word on network file systems.
  platform.addFile(u"/d", u"lost.dbf", Table()).closeFault = Fault{5};
  platform.addFile(u"/d", u"lost-no-code.dbf", Table()).closeFault = Fault{0};
  Bytes foreign = Table();
  foreign[0] = 0x8B;
  platform.addFile(u"/d", u"memo.dbf", foreign);
  platform.addFile(u"/d", u"short.dbf", Bytes(10, 0));
  platform.addFile(u"/d", u"2.dbf", Table());

  EXPECT_EQ(ScanDirectory(platform, u"/d/", kMark), kSomeFailed);
  EXPECT_EQ(
      platform.console,
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
  EXPECT_EQ(platform.file(u"/d", u"1.dbf").bytes[29], kMark);
  EXPECT_EQ(platform.file(u"/d", u"2.dbf").bytes[29], kMark);
  EXPECT_EQ(platform.file(u"/d", u"locked.dbf").bytes, Table());
  EXPECT_EQ(platform.file(u"/d", u"memo.dbf").bytes, foreign);
  EXPECT_EQ(platform.file(u"/d", u"marked.dbf").writes, 0);
  EXPECT_EQ(platform.openTables, 0);
  EXPECT_EQ(platform.openSearches, 0);
}

TEST(ScanDirectory, FileVanishingBeforeItsOpenIsReported) {
  FakePlatform platform;
  platform.addDirectory(u"/d");
  platform.addFile(u"/d", u"gone.dbf", Table()).openFault = Fault{2};
  platform.addFile(u"/d", u"here.dbf", Table());
  EXPECT_EQ(ScanDirectory(platform, u"/d", kMark), kSomeFailed);
  EXPECT_EQ(platform.console,
            (std::vector<ConsoleLine>{
                {ConsoleStream::Error,
                 u"Для файла gone.dbf, в функции CreateFile() возникла ошибка 2: system text 2"}}));
  EXPECT_EQ(platform.file(u"/d", u"here.dbf").bytes[29], kMark);
}

TEST(ScanDirectory, AlreadyMarkedTablesDoNotFail) {
  FakePlatform platform;
  platform.addDirectory(u"/d");
  platform.addFile(u"/d", u"x.dbf", Table(kMark));
  EXPECT_EQ(ScanDirectory(platform, u"/d", kMark), kAllHandled);
  EXPECT_EQ(platform.file(u"/d", u"x.dbf").writes, 0);
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
    FakePlatform platform;
    platform.addDirectory(u"/d");
    platform.addFile(u"/d", u"1.dbf", Table());
    platform.addFile(u"/d", u"bad.dbf", Bytes(8, 0));
    platform.addFile(u"/d", u"3.dbf", Table());
    platform.entriesBeforeBreak = 2;
    platform.breakFault = c.fault;
    const ConsoleLine reported{
        ConsoleStream::Error,
        u"Для файла bad.dbf в функции ReadFile() возникла неожиданная ошибка"};
    if (c.message.empty()) {
      EXPECT_EQ(ScanDirectory(platform, u"/d", kMark), kSomeFailed);
    } else {
      EXPECT_EQ(FatalText(platform, u"/d"), c.message);
    }
    // What was done before the break stays done, and stays reported.
    EXPECT_EQ(platform.console, std::vector<ConsoleLine>{reported});
    EXPECT_EQ(platform.file(u"/d", u"1.dbf").bytes[29], kMark);
    EXPECT_EQ(platform.file(u"/d", u"3.dbf").bytes, Table());
    EXPECT_EQ(platform.openSearches, 0);
    EXPECT_EQ(platform.openTables, 0);
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
    FakePlatform platform(c.dialect);
    platform.workingDirectory = u"/work";
    platform.addDirectory(c.searched);
    platform.addFile(c.searched, u"t.dbf", Table());
    EXPECT_EQ(ScanDirectory(platform, c.given, kMark), kAllHandled);
    EXPECT_EQ(platform.events.front(), u"start " + c.searched);
    EXPECT_EQ(platform.events.at(1), u"open " + c.searched + u"t.dbf");
  }
}

TEST(ScanDirectory, RunLevelFailures) {
  struct Case {
    const char* what;
    void (*arrange)(FakePlatform&);
    std::u16string path;
    std::u16string message;
  };
  const std::vector<Case> cases{
      {"no current directory", [](FakePlatform& p) { p.currentDirectoryFault = Fault{2}; }, u"",
       u"В функции GetCurrentDirectory() возникла ошибка 2: system text 2"},
      {"no current directory, no code", [](FakePlatform& p) { p.currentDirectoryFault = Fault{0}; },
       u"", u"Неожиданная ошибка в функции GetCurrentDirectory()"},
      {"missing directory", [](FakePlatform&) {}, u"/missing",
       u"В функции GetFileAttributes() возникла ошибка 2: system text 2"},
      {"existence test without a code", [](FakePlatform& p) { p.pathExistsFault = Fault{0}; },
       u"/d", u"Неожиданная ошибка в функции GetFileAttributes()"},
      {"a file named as the directory", [](FakePlatform&) {}, u"/d/t.dbf",
       u"В функции FindFirstFile() возникла ошибка 267: system text 267"},
      {"search refused without a code", [](FakePlatform& p) { p.startSearchFault = Fault{0}; },
       u"/d", u"Неожиданная ошибка в функции FindFirstFile()"},
      {"search finds nothing", [](FakePlatform& p) { p.entriesBeforeBreak = 0; }, u"/d",
       u"В функции FindFirstFile() возникла ошибка 18: system text 18"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    platform.workingDirectory = u"/d";
    platform.addDirectory(u"/d");
    platform.addFile(u"/d", u"t.dbf", Table());
    c.arrange(platform);
    EXPECT_EQ(FatalText(platform, c.path), c.message);
    EXPECT_TRUE(platform.console.empty());
    EXPECT_EQ(platform.file(u"/d", u"t.dbf").bytes, Table());
    EXPECT_EQ(platform.openSearches, 0);
    EXPECT_EQ(platform.openTables, 0);
  }
}

}  // namespace
}  // namespace tablemark
