#include "cli/entry_point.h"

#include <gtest/gtest.h>

#include "cli/usage.h"
#include "fake_platform.h"
#include "report/messages.h"

namespace tablemark {
namespace {

using testing::ConsoleLine;
using testing::FakePlatform;

struct RunCase {
  std::vector<std::u16string> args;  // after the program name
  int status;
  std::vector<ConsoleLine> console;
  std::uint8_t markAfter;  // byte 29 of /d/t.dbf afterwards
};

TEST(RunTablemark, WholeRuns) {
  const std::u16string usage = UsageText(Dialect::Posix);
  const ConsoleLine usageLine{ConsoleStream::Output, usage};
  const ConsoleLine badCodePage{ConsoleStream::Error, std::u16string(kBadCodePageText)};
  const ConsoleLine unexpected{ConsoleStream::Error, u"Неожиданная ошибка"};
  const std::vector<RunCase> cases{
      {{}, 2, {usageLine}, 0x65},
      {{u"/d", u"1", u"2", u"3", u"4"}, 2, {usageLine}, 0x65},
      {{u"-x"}, 2, {usageLine}, 0x65},
      {{u"-"}, 2, {usageLine}, 0x65},
      {{u"-h"}, 0, {usageLine}, 0x65},
      {{u"-?"}, 0, {usageLine}, 0x65},
      {{u"-help"}, 0, {usageLine}, 0x65},
      {{u"-c", u"1258"}, 2, {badCodePage}, 0x65},
      {{u"-c", u"7"}, 2, {badCodePage}, 0x65},
      {{u"-c", u"-866"}, 2, {badCodePage}, 0x65},
      {{u"/missing", u"1258"}, 2, {badCodePage}, 0x65},  // the code page is checked first
      {{u"-c", u"1251", u"-d"}, 2, {unexpected}, 0x65},
      {{u"/d", u"1251"}, 0, {}, 0xC9},
      {{u"-d", u"/d/", u"-c", u"abc"}, 0, {}, 0x00},
      {{u"-c", u"1253"}, 0, {}, 0xCB},  // the current directory
      {{u"/missing"},
       2,
       {{ConsoleStream::Error, u"В функции GetFileAttributes() возникла ошибка 2: system text 2"}},
       0x65},
  };
  for (const RunCase& c : cases) {
    FakePlatform fake;
    fake.files.workingDirectory = u"/d";
    fake.files.addDirectory(u"/d");
    std::vector<std::uint8_t> table(32, 0);
    table[29] = 0x65;
    fake.files.addFile(u"/d", u"t.dbf", table);
    std::vector<std::u16string> argv{u"tablemark"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());

    SCOPED_TRACE("tablemark " + testing::Utf8(c.args));
    EXPECT_EQ(RunTablemark(fake.platform, argv), c.status);
    EXPECT_EQ(fake.console.lines, c.console);
    EXPECT_EQ(fake.files.file(u"/d", u"t.dbf").bytes[29], c.markAfter);
    EXPECT_EQ(fake.files.openFiles, 0);
    EXPECT_EQ(fake.files.openSearches, 0);
  }
}

}  // namespace
}  // namespace tablemark
