#include "report/messages.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace tablemark {
namespace {

using testing::ConsoleLine;
using testing::FakeConsole;

TEST(Messages, LastErrorRuleForms) {
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
    FakeConsole console(Dialect::Windows);
    if (c.fileLevel) {
      ReportFileCallFailure(console, u"a%s%d.dbf", label::kGetFileAttributes, c.code);
      EXPECT_EQ(console.lines, (std::vector<ConsoleLine>{{ConsoleStream::Error, c.expected}}));
    } else {
      try {
        ThrowCallFailure(console, label::kGetFileAttributes, c.code);
      } catch (const FatalMessage& fatal) {
        EXPECT_EQ(fatal.text(), c.expected);
      }
      EXPECT_TRUE(console.lines.empty());
    }
  }
}

TEST(Messages, NotATable) {
  FakeConsole console(Dialect::Posix);
  ReportNotATable(console, u"%n.DBF");
  EXPECT_EQ(console.lines,
            (std::vector<ConsoleLine>{
                {ConsoleStream::Error, u"Файл %n.DBF не является Visual Foxpro таблицей"}}));
}

}  // namespace
}  // namespace tablemark
