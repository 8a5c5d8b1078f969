// The indexes a new code-page mark leaves stale. A tag under a collation
// other than MACHINE holds sort weights chosen by the collation and the
// table's code page: after the mark changes, the database reads it as
// ordered for the new page, and seeks miss until it is rebuilt; a collation
// the new page does not offer makes the database refuse the index.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "table/companion_files.h"
#include "table/directory_scan.h"
#include "table/table_header.h"

namespace tablemark {

// For a table just re-marked to `codePage` (`header` as it was read): where
// it is a FoxPro table with a structural index, says on standard error
// which of the index's tags must be rebuilt (REINDEX) or created again
// under another collation, or that the index is missing, unreadable or
// damaged. Only advice: nothing here fails the table.
void ReportStaleIndexes(const Platform& platform, const FoundTable& table,
                        CompanionFiles& companions, const TableHeader& header,
                        std::int32_t codePage);

}  // namespace tablemark
