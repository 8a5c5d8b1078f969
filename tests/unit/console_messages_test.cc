#include "cli/console_messages.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace tablemark {
namespace {

using testing::ConsoleLine;
using testing::FakePlatform;

TEST(ConsoleMessages, WindowsUsageText) {
  const std::u16string expected =
      u"\nИспользование: \n"
      u">Tablemark.exe [[{/|-}d] <\"FullPath\">] [[{/|-}c] <CodePage>] | {/|-}h\n\n"
      u"Параметры по умолчанию: \n"
      u"   <\"FullPath\"> - текущий каталог\n"
      u"   <CodePage>   - 866\n\n"
      u"Пример вызова: \n"
      u">Tablemark.exe /d \"C:\\Documents and Settings\\All Users\\Data\" /c 1251";
  EXPECT_EQ(UsageText(Dialect::Windows), expected);
}

TEST(ConsoleMessages, PosixUsageTextDiffersInTwoLines) {
  const std::u16string expected =
      u"\nИспользование: \n"
      u"$ tablemark [[-d] <\"FullPath\">] [[-c] <CodePage>] | -h\n\n"
      u"Параметры по умолчанию: \n"
      u"   <\"FullPath\"> - текущий каталог\n"
      u"   <CodePage>   - 866\n\n"
      u"Пример вызова: \n"
      u"$ tablemark -d \"/home/user/data\" -c 1251";
  EXPECT_EQ(UsageText(Dialect::Posix), expected);
}

TEST(ConsoleMessages, UsageGoesToStandardOutput) {
  FakePlatform platform(Dialect::Windows);
  ShowUsage(platform);
  ASSERT_EQ(platform.console.size(), 1u);
  EXPECT_EQ(platform.console[0].stream, ConsoleStream::Output);
  EXPECT_EQ(platform.console[0].text, UsageText(Dialect::Windows));
}

TEST(ConsoleMessages, LastErrorRuleForms) {
  struct Case {
    bool fileLevel;
    ErrorCode code;
    std::u16string expected;
  };
  const std::vector<Case> cases{
      {false, 3, u"В функции GetFileAttributes() возникла ошибка 3: system text 3\r\n"},
      {false, 0, u"Неожиданная ошибка в функции GetFileAttributes()"},
      {false, -2147024891,
       u"В функции GetFileAttributes() возникла ошибка -2147024891: system text -2147024891\r\n"},
      {true, 32,
       u"Для файла a%s%d.dbf, в функции GetFileAttributes() возникла ошибка 32: "
       u"system text 32\r\n"},
      {true, 0, u"Для файла a%s%d.dbf в функции GetFileAttributes() возникла неожиданная ошибка"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Utf8(c.expected));
    FakePlatform platform(Dialect::Windows);
    MessageBuffer message = u"left over from an earlier message";
    if (c.fileLevel) {
      ReportFileCallFailure(platform, u"a%s%d.dbf", label::kGetFileAttributes, c.code, message);
      EXPECT_EQ(platform.console, (std::vector<ConsoleLine>{{ConsoleStream::Error, c.expected}}));
    } else {
      ComposeCallFailure(platform, label::kGetFileAttributes, c.code, message);
      EXPECT_TRUE(platform.console.empty());
    }
    EXPECT_EQ(message, c.expected);
  }
}

TEST(ConsoleMessages, NotATable) {
  FakePlatform platform;
  MessageBuffer message;
  ReportNotATable(platform, u"%n.DBF", message);
  EXPECT_EQ(platform.console,
            (std::vector<ConsoleLine>{
                {ConsoleStream::Error, u"Файл %n.DBF не является Visual Foxpro таблицей"}}));
}

}  // namespace
}  // namespace tablemark
