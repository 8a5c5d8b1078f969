#include "table/code_page_marks.h"

#include <gtest/gtest.h>

#include "report/messages.h"

namespace tablemark {
namespace {

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
