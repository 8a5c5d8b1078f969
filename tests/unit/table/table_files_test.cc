#include "table/table_files.h"

#include <gtest/gtest.h>

#include "fake_platform.h"  // Utf8

namespace tablemark {
namespace {

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

TEST(MemoFileName, FollowsTheTableExtensionsCase) {
  const std::vector<std::pair<std::u16string, std::u16string>> cases{
      {u"a.dbf", u"a.fpt"}, {u"A.Scx", u"A.SCT"},     {u"x.pjx", u"x.pjt"},
      {u"y.DBC", u"y.DCT"}, {u"a.b.VcX", u"a.b.VCT"}, {u"z.txt", u""}};
  for (const auto& [table, memo] : cases) {
    EXPECT_EQ(MemoFileName(table), memo) << testing::Utf8(table);
  }
}

}  // namespace
}  // namespace tablemark
