#include "table/code_page_marks.h"

#include "report/messages.h"

namespace tablemark {

std::optional<std::uint8_t> FindCodePageMark(std::int32_t codePage) {
  for (const CodePageMarkEntry& row : CodePageMarkTable) {
    if (row.codePage == codePage) return static_cast<std::uint8_t>(row.mark & 0xFF);
  }
  return std::nullopt;
}

std::uint8_t LookupCodePageMark(std::int32_t codePage) {
  if (const std::optional<std::uint8_t> mark = FindCodePageMark(codePage)) return *mark;
  throw FatalMessage(std::u16string(kBadCodePageText));
}

std::int32_t CodePageOfMark(std::uint8_t mark) {
  for (const CodePageMarkEntry& row : CodePageMarkTable) {
    if ((row.mark & 0xFF) == mark) return row.codePage;
  }
  return -1;
}

std::int32_t CodePageMarkStandsFor(std::uint8_t mark) {
  if (const std::int32_t codePage = CodePageOfMark(mark); codePage >= 0) return codePage;
  for (const ForeignMark& foreign : ForeignMarkTable) {
    if (foreign.mark == mark) return foreign.codePage;
  }
  return -1;
}

}  // namespace tablemark
