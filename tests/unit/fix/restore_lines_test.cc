#include "fix/restore_lines.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace tablemark {
namespace {

using Problem = RestoreLine::Problem;

struct LineCase {
  std::u16string text;
  Dialect dialect;
  std::size_t number;  // of the one line expected
  std::u16string name;
  int mark;  // -1: a problem's line
  Problem problem = Problem::None;
};

TEST(RestoreLines, WhatALineSays) {
  constexpr auto kPosix = Dialect::Posix, kWindows = Dialect::Windows;
  const std::vector<LineCase> cases{
      {u"a.dbf\t1251", kPosix, 1, u"a.dbf", 0xC9},
      {u"a.dbf\t1251\t866\r\n", kPosix, 1, u"a.dbf", 0xC9},  // as --detect prints it
      {u"\n  \r\nb.dbf\t0x8C\n", kPosix, 3, u"b.dbf", 0x8C},
      {u"b.dbf\t0X8c", kPosix, 1, u"b.dbf", 0x8C},
      {u"z.dbf\t0", kPosix, 1, u"z.dbf", 0x00},
      {u"tab\\there\\n.dbf\t866", kPosix, 1, u"tab\there\n.dbf", 0x65},
      {u"\\x1B[m\\\\.dbf\t866", kPosix, 1, u"\x1B[m\\.dbf", 0x65},
      {u"\\u{44F}\\u{1F600}.dbf\t866", kWindows, 1, u"я\U0001F600.dbf", 0x65},
      {u"a\\\\b.dbf\t866", kPosix, 1, u"a\\b.dbf", 0x65},
      {u"a\\\\b.dbf\t866", kWindows, 1, u"a\\b.dbf", -1, Problem::NotAName},
      {u"a:b.dbf\t866", kWindows, 1, u"a:b.dbf", -1, Problem::NotAName},
      {u"../a.dbf\t866", kPosix, 1, u"../a.dbf", -1, Problem::NotAName},
      {u"..\t866", kPosix, 1, u"..", -1, Problem::NotAName},
      {u"bad\\q.dbf\t866", kPosix, 1, u"", -1, Problem::Form},
      {u"cut\\x4.dbf\t866", kPosix, 1, u"", -1, Problem::Form},
      {u"big\\u{110000}.dbf\t866", kPosix, 1, u"", -1, Problem::Form},
      {u"no tab at all", kPosix, 1, u"", -1, Problem::Form},
      {u"\t866", kPosix, 1, u"", -1, Problem::Form},
      {u"d.dbf\t7", kPosix, 1, u"d.dbf", -1, Problem::NoMark},
      {u"d.dbf\t+866", kPosix, 1, u"d.dbf", -1, Problem::NoMark},
      {u"d.dbf\t 866", kPosix, 1, u"d.dbf", -1, Problem::NoMark},
      {u"d.dbf\t0x8", kPosix, 1, u"d.dbf", -1, Problem::NoMark},
      {u"d.dbf\t", kPosix, 1, u"d.dbf", -1, Problem::NoMark},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(testing::Utf8(c.text));
    std::u16string text = c.text;
    const std::vector<RestoreLine> lines = ParseRestoreLines(text, c.dialect);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].number, c.number);
    EXPECT_EQ(static_cast<int>(lines[0].problem), static_cast<int>(c.problem));
    if (c.problem != Problem::Form) {
      EXPECT_EQ(testing::Utf8(lines[0].name), testing::Utf8(c.name));
    }
    if (c.mark >= 0) {
      EXPECT_EQ(lines[0].mark, c.mark);
    }
  }
}

TEST(RestoreLines, TheFilesEncoding) {
  testing::FakeConsole console(Dialect::Posix);
  const std::vector<std::pair<std::string, std::u16string>> files{
      {"a.dbf\t866", u"a.dbf\t866"},
      {"\xEF\xBB\xBF\xD1\x8F.dbf", u"я.dbf"},          // UTF-8, byte-order mark skipped
      {std::string("\xFF\xFE\x4F\x04.\0", 6), u"я."},  // what PowerShell's > writes
      {std::string("\xFE\xFF\x04\x4F\0.", 6), u"я."},  // and its big-endian kin
      {"raw\xFF.dbf", std::u16string(u"raw") + char16_t{0xDCFF} + u".dbf"},  // a name's own bytes
  };
  for (const auto& [bytes, text] : files) {
    std::u16string decoded;
    DecodeRestoreFile(bytes, console, decoded);
    EXPECT_EQ(decoded, text) << ::testing::PrintToString(bytes);
  }
}

}  // namespace
}  // namespace tablemark
