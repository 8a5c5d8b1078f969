#include "fix/fix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "cli/entry_point.h"
#include "detect/table_bytes.h"
#include "fake_platform.h"
#include "fix/restore.h"

namespace tablemark {
namespace {

using testing::Bytes;
using testing::ConsoleLine;
using testing::FakePlatform;
using testing::Fault;
using testing::Lines;
using testing::Russian;
using testing::Table;
using testing::Text;

ConsoleLine Out(const char16_t* line) { return {ConsoleStream::Output, line}; }
ConsoleLine Err(const char16_t* line) { return {ConsoleStream::Error, line}; }

// A table of Russian text in 1251 (or 866), marked `mark`.
Bytes Russian1251(std::uint8_t mark, bool windows = true) {
  return Table(mark, {{'C', 40}}, Lines(Russian(windows), 40));
}

int Tablemark(FakePlatform& fake, std::vector<std::u16string> args) {
  args.insert(args.begin(), u"tablemark");
  return RunTablemark(fake.platform, args);
}

TEST(FixCodePages, SureAnswersThatDisagreeAreWrittenAndEveryLineIsTheRecord) {
  FakePlatform fake;
  fake.files.addDirectory(u"/d");
  fake.files.addFile(u"/d", u"right.dbf", Russian1251(0xC9));
  fake.files.addFile(u"/d", u"wrong.dbf", Russian1251(0x65));
  fake.files.addFile(u"/d", u"dos.dbf", Russian1251(0x00, false));
  fake.files.addFile(u"/d", u"plain.dbf", Table(0x00, {{'C', 8}}, {{Text("plain")}}));
  fake.files.addFile(u"/d", u"held.dbf", Russian1251(0x65)).writeOpenFault = Fault{11};
  fake.files.addFile(u"/d", u"changed.dbf", Russian1251(0x65)).markOnWriteOpen = 0x03;
  EXPECT_EQ(Tablemark(fake, {u"--fix", u"/d"}), kSomeFailed);
  EXPECT_EQ(
      fake.console.lines,
      (std::vector<ConsoleLine>{
          Out(u"right.dbf\t1251\t1251"), Out(u"wrong.dbf\t866\t1251"), Out(u"dos.dbf\t0\t866"),
          Out(u"plain.dbf\t0\t-"), Out(u"held.dbf\t866\t1251"),
          Err(u"Для файла held.dbf, в функции CreateFile() возникла ошибка 11: system text 11"),
          Out(u"changed.dbf\t866\t1251"),
          Err(u"Файл changed.dbf изменён другой программой после чтения")}));
  const auto mark = [&](const char16_t* name) { return fake.files.file(u"/d", name).bytes[29]; };
  EXPECT_EQ(mark(u"wrong.dbf"), 0xC9);
  EXPECT_EQ(mark(u"dos.dbf"), 0x65);
  EXPECT_EQ(mark(u"held.dbf"), 0x65);
  EXPECT_EQ(mark(u"changed.dbf"), 0x03);  // as the other program left it
  EXPECT_EQ(fake.files.file(u"/d", u"right.dbf").writes, 0);
  EXPECT_EQ(fake.files.file(u"/d", u"plain.dbf").writes, 0);
  EXPECT_EQ(fake.files.openFiles, 0);
}

TEST(FixCodePages, NoChangeWithoutItsRecord) {
  FakePlatform fake;
  fake.files.addDirectory(u"/d");
  fake.files.addFile(u"/d", u"a.dbf", Russian1251(0x65));
  fake.files.addFile(u"/d", u"b.dbf", Russian1251(0x65));
  fake.console.outputLinesBeforeFault = 1;
  fake.console.outputFault = Fault{28};
  EXPECT_EQ(Tablemark(fake, {u"--fix", u"/d"}), kRefused);
  EXPECT_EQ(
      fake.console.lines,
      (std::vector<ConsoleLine>{Out(u"a.dbf\t866\t1251"),
                                Err(u"В функции WriteFile() возникла ошибка 28: system text 28")}));
  EXPECT_EQ(fake.files.file(u"/d", u"a.dbf").bytes[29], 0xC9);
  EXPECT_EQ(fake.files.file(u"/d", u"b.dbf").bytes[29], 0x65);
}

// The tables a FILE names, each re-marked to its line's mark.
struct RestoreCase {
  const char* what;
  Dialect dialect;
  std::string file;
  int status;
  std::vector<ConsoleLine> console;
  std::vector<std::uint8_t> marks;  // of a.dbf, B.dbf, c.scx afterwards
};

TEST(RestoreCodePages, LinesCheckedFirstThenTablesRemarked) {
  const std::vector<RestoreCase> cases{
      {"named tables only",
       Dialect::Posix,
       "a.dbf\t1251\tanything\nc.scx\t0x8C\n",
       0,
       {},
       {0xC9, 0x65, 0x8C}},
      {"already marked: not written", Dialect::Posix, "a.dbf\t866\n", 0, {}, {0x65, 0x65, 0x65}},
      {"letter case counts on POSIX",
       Dialect::Posix,
       "b.dbf\t1251\n",
       2,
       {Err(u"Строка 1 файла saved: в каталоге нет таблицы b.dbf")},
       {0x65, 0x65, 0x65}},
      {"and not on Windows", Dialect::Windows, "b.DBF\t1251\r\n", 0, {}, {0x65, 0xC9, 0x65}},
      {"every bad line, nothing written",
       Dialect::Windows,
       "a.dbf\t1251\nx.dbf\t866\nc.scx\t7\n..\\\\a.dbf\t866\nc.scx\nA.DBF\t1250\n",
       2,
       {Err(u"Строка 2 файла saved: в каталоге нет таблицы x.dbf"),
        Err(u"Строка 3 файла saved: у кодовой страницы 7 нет метки"),
        Err(u"Строка 4 файла saved: ..\\a.dbf не является именем файла"),
        Err(u"Строка 5 файла saved: ожидается имя таблицы, табуляция и кодовая страница"),
        Err(u"Строка 6 файла saved: таблица A.DBF уже названа в строке 1")},
       {0x65, 0x65, 0x65}},
  };
  for (const RestoreCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform fake(c.dialect);
    fake.files.addDirectory(u"d");
    for (const char16_t* name : {u"a.dbf", u"B.dbf", u"c.scx"}) {
      fake.files.addFile(u"d", name, Table(0x65, {{'C', 4}}, {}));
    }
    fake.files.userFiles[u"saved"] = c.file;
    EXPECT_EQ(Tablemark(fake, {u"--restore", u"saved", u"d"}), c.status);
    EXPECT_EQ(fake.console.lines, c.console);
    std::vector<std::uint8_t> marks;
    for (const char16_t* name : {u"a.dbf", u"B.dbf", u"c.scx"}) {
      marks.push_back(fake.files.file(u"d", name).bytes[29]);
    }
    EXPECT_EQ(marks, c.marks);
    EXPECT_EQ(fake.files.file(u"d", u"a.dbf").writes, c.marks[0] != 0x65 ? 1 : 0);
  }
}

// Lines in listing order, out of it, and in another letter case, among
// enough tables that names share their places in the index.
TEST(RestoreCodePages, ManyTablesInAnyOrder) {
  constexpr int kTables = 600;
  const std::pair<const char*, std::uint8_t> marks[] = {
      {"1251", 0xC9}, {"866", 0x65}, {"1252", 0x03}, {"0x8C", 0x8C}};
  const auto name = [](int i) {
    std::string made = std::to_string(i);  // not "t" + ...: GCC 12 warns of an overlap there
    return made.insert(0, 1, 't').append(".dbf");
  };
  const auto wide = [](const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
  };
  std::string file;
  for (int i = 0; i < kTables; ++i) {
    // The first half in order, the rest from the last back, every seventh in capitals.
    const int table = i < kTables / 2 ? i : kTables - 1 - (i - kTables / 2);
    std::string shown = name(table);
    if (i % 7 == 3) std::transform(shown.begin(), shown.end(), shown.begin(), ::toupper);
    file += shown + "\t" + marks[table % 4].first + "\n";
  }
  for (const bool twice : {false, true}) {
    SCOPED_TRACE(twice ? "a table named twice" : "every table named once");
    FakePlatform fake(Dialect::Windows);
    fake.files.addDirectory(u"d");
    for (int i = 0; i < kTables; ++i) {
      fake.files.addFile(u"d", wide(name(i)), Table(0x65, {{'C', 4}}, {}));
    }
    fake.files.userFiles[u"saved"] = twice ? file + "T17.DBF\t1250\n" : file;
    EXPECT_EQ(Tablemark(fake, {u"--restore", u"saved", u"d"}), twice ? kRefused : kAllHandled);
    EXPECT_EQ(fake.console.lines.size(), twice ? 1u : 0u);
    for (int i = 0; i < kTables; ++i) {
      EXPECT_EQ(fake.files.file(u"d", wide(name(i))).bytes[29], twice ? 0x65 : marks[i % 4].second)
          << name(i);
    }
  }
}

TEST(RestoreCodePages, AFileThatCannotBeReadEndsTheRun) {
  FakePlatform fake;
  fake.files.addDirectory(u"/d");
  EXPECT_EQ(Tablemark(fake, {u"--restore", u"missing", u"/d"}), kRefused);
  fake.files.userFileReadFault = Fault{5};
  EXPECT_EQ(Tablemark(fake, {u"--restore", u"-", u"/d"}), kRefused);
  EXPECT_EQ(fake.console.lines,
            (std::vector<ConsoleLine>{
                Err(u"Для файла missing, в функции CreateFile() возникла ошибка 2: system text 2"),
                Err(u"Для файла -, в функции ReadFile() возникла ошибка 5: system text 5")}));
}

// A real table whose structural index has GENERAL tags beside MACHINE ones.
TEST(RestoreCodePages, IndexesANewMarkLeavesStale) {
  const auto read = [](const char* name) {
    std::ifstream in(std::string(TABLEMARK_TEST_DATA "/indexes/") + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  };
  const std::vector<std::pair<std::string, std::vector<ConsoleLine>>> cases{
      {"1250",
       {Err(u"Для файла fb2p_free.dbf в индексе FB2P_FREE.CDX тег CARACTER с сортировкой GENERAL "
            u"нужно перестроить (REINDEX)")}},
      {"1251",
       {Err(u"Для файла fb2p_free.dbf в индексе FB2P_FREE.CDX тег CARACTER с сортировкой GENERAL "
            u"нужно создать заново с другой сортировкой")}},
      {"1252", {}},  // the mark it has: nothing written, nothing to say
  };
  for (const auto& [codePage, console] : cases) {
    SCOPED_TRACE(codePage);
    FakePlatform fake;
    fake.files.addDirectory(u"/d");
    fake.files.addFile(u"/d", u"fb2p_free.dbf", read("fb2p_free.dbf"));
    fake.files.addFile(u"/d", u"FB2P_FREE.CDX", read("fb2p_free.cdx"));
    fake.files.userFiles[u"-"] = "";
    fake.files.standardInput = "fb2p_free.dbf\t" + codePage + "\n";
    EXPECT_EQ(Tablemark(fake, {u"--restore", u"-", u"/d"}), kAllHandled);
    EXPECT_EQ(fake.console.lines, console);
  }
}

}  // namespace
}  // namespace tablemark
