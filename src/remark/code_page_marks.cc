#include "remark/code_page_marks.h"

#include "cli/console_messages.h"

namespace tablemark {

std::uint8_t LookupCodePageMark(std::int32_t codePage) {
  for (const CodePageMarkEntry& row : CodePageMarkTable) {
    if (row.codePage == codePage) {
      return static_cast<std::uint8_t>(row.mark & 0xFF);
    }
  }
  throw FatalMessage(std::u16string(kBadCodePageText));
}

}  // namespace tablemark
