#include "remark/code_page_marks.h"

#include <gtest/gtest.h>

#include "cli/console_messages.h"

namespace tablemark {
namespace {

TEST(CodePageMarks, EveryRow) {
  const std::vector<std::pair<std::int32_t, std::uint8_t>> rows{
      {437, 0x01},   {850, 0x02},   {1252, 0x03},  {10000, 0x04}, {852, 0x64},  {866, 0x65},
      {865, 0x66},   {861, 0x67},   {895, 0x68},   {620, 0x69},   {737, 0x6A},  {857, 0x6B},
      {863, 0x6C},   {950, 0x78},   {949, 0x79},   {936, 0x7A},   {932, 0x7B},  {874, 0x7C},
      {10007, 0x96}, {10029, 0x97}, {10006, 0x98}, {1250, 0xC8},  {1251, 0xC9}, {1253, 0xCB},
      {1254, 0xCA},  {1255, 0x7D},  {1256, 0x7E},  {1257, 0xCC},  {0, 0x00},
  };
  ASSERT_EQ(rows.size(), CodePageMarkTable.size());
  for (const auto& [codePage, mark] : rows) {
    EXPECT_EQ(LookupCodePageMark(codePage), mark) << codePage;
  }
}

TEST(CodePageMarks, MissesEndTheRun) {
  for (std::int32_t codePage : {7, 1258, -866, 65001, 1, INT32_MIN, INT32_MAX}) {
    try {
      LookupCodePageMark(codePage);
      ADD_FAILURE() << codePage << " has a mark";
    } catch (const FatalMessage& fatal) {
      EXPECT_EQ(fatal.text(), kBadCodePageText);
      EXPECT_EQ(fatal.text(), u"Ошибка в значениее параметра <CodePage>");
    }
  }
}

}  // namespace
}  // namespace tablemark
