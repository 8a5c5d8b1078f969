// Which collations each code page offers. A tag whose collation the table's
// code page does not offer makes the database refuse the whole index.
#pragma once

#include <cstdint>
#include <string_view>

namespace tablemark {

// Whether an index tag with `collation` (as the tag's header names it; empty
// is MACHINE) can go with a table in `codePage`. MACHINE goes with every
// code page, 0 (no mark) among them, and is the only one that does there.
bool CodePageOffersCollation(std::int32_t codePage, std::string_view collation);

}  // namespace tablemark
