#include "table/collations.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "table/code_page_marks.h"

namespace tablemark {
namespace {

TEST(Collations, OfferedAsTheDatabaseListsThem) {
  // Copied by collation, the other way round from the code's table.
  const std::map<std::string, std::set<std::int32_t>> listed{
      {"GENERAL", {437, 620, 850, 852, 857, 861, 865, 895, 1250, 1252, 1254}},
      {"DUTCH", {437, 850, 1252}},
      {"SPANISH", {437, 850, 1252}},
      {"UNIQWT", {437, 850, 1252}},
      {"GERMAN", {437, 1252}},
      {"ICELAND", {437, 850, 861, 1252}},
      {"NORDAN", {437, 850, 865, 1252}},
      {"SWEFIN", {437, 850, 865, 1252}},
      {"CZECH", {852, 895, 1250}},
      {"SLOVAK", {852, 895, 1250}},
      {"HUNGARY", {852, 1250}},
      {"POLISH", {620, 852, 1250}},
      {"RUSSIAN", {866, 1251}},
      {"GREEK", {737, 1253}},
      {"TURKISH", {857, 1254}},
      {"THAI", {874}},
      {"JAPANESE", {932}},
      {"PINYIN", {936}},
      {"KOREAN", {949}},
      {"HEBREW", {1255}},
      {"ARABIC", {1256}},
      {"STROKE", {936, 950}},
      {"general", {}},  // the field holds capitals
      {"GENERAL ", {}},
  };
  // Each code page with a mark, 0 among them, and each collation: a line
  // where the two disagree.
  std::string wrong;
  for (const CodePageMarkEntry& row : CodePageMarkTable) {
    for (const auto& [collation, codePages] : listed) {
      if (CodePageOffersCollation(row.codePage, collation) != codePages.contains(row.codePage)) {
        wrong += collation + " " + std::to_string(row.codePage) + "\n";
      }
    }
    for (const char* machine : {"", "MACHINE"}) {
      if (!CodePageOffersCollation(row.codePage, machine)) wrong += "MACHINE\n";
    }
  }
  EXPECT_EQ(wrong, "");
}

}  // namespace
}  // namespace tablemark
