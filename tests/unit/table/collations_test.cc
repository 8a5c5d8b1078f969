#include "table/collations.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <string>

#include "table/code_page_marks.h"

namespace tablemark {
namespace {

TEST(Collations, OfferedAsTheDatabaseListsThem) {
  // Copied the other way round from the code's table: collations, then the
  // code pages that offer them.
  std::istringstream listed(R"(GENERAL 437 620 850 852 857 861 865 895 1250 1252 1254
DUTCH SPANISH UNIQWT 437 850 1252
GERMAN 437 1252
ICELAND 437 850 861 1252
NORDAN SWEFIN 437 850 865 1252
CZECH SLOVAK 852 895 1250
HUNGARY 852 1250
POLISH 620 852 1250
RUSSIAN 866 1251
GREEK 737 1253
TURKISH 857 1254
THAI 874
JAPANESE 932
PINYIN 936
KOREAN 949
HEBREW 1255
ARABIC 1256
STROKE 936 950
general)");  // the field holds capitals
  // A line for each collation and code page with a mark, 0 among them,
  // where the two disagree.
  std::string wrong;
  for (std::string line; std::getline(listed, line);) {
    std::set<std::string> collations{"", "MACHINE"};
    std::set<std::int32_t> codePages;
    std::istringstream words(line);
    for (std::string word; words >> word;) {
      if (std::isdigit(static_cast<unsigned char>(word[0]))) {
        codePages.insert(std::stoi(word));
      } else {
        collations.insert(word);
      }
    }
    for (const CodePageMarkEntry& row : CodePageMarkTable) {
      for (const std::string& name : collations) {
        const bool offered = codePages.contains(row.codePage) || name.empty() || name == "MACHINE";
        if (CodePageOffersCollation(row.codePage, name) != offered) {
          wrong += name + " " + std::to_string(row.codePage) + "\n";
        }
      }
    }
  }
  EXPECT_EQ(wrong, "");
}

}  // namespace
}  // namespace tablemark
