#include "fix/stale_indexes.h"

#include "report/messages.h"
#include "table/collations.h"
#include "table/compound_index.h"
#include "table/table_files.h"

namespace tablemark {
namespace {

constexpr std::uint8_t kHasStructuralIndex = 0x01;

// Visual FoxPro and FoxPro 2.x tables: the ones whose indexes record a
// collation.
bool IsFoxPro(std::uint8_t type) { return (type >= 0x30 && type <= 0x32) || type == 0xF5; }

// A tag's or a collation's name as messages show it: printable ASCII as it is, any other
// byte written \xHH, as names are escaped.
std::u16string TagName(const std::string& bytes) {
  std::u16string name;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      name += static_cast<char16_t>(b);
    } else {
      constexpr std::u16string_view kDigits = u"0123456789ABCDEF";
      name += b == '\\' ? u"\\\\" : u"\\x";
      if (b != '\\') {
        name += kDigits[b >> 4];
        name += kDigits[b & 0xF];
      }
    }
  }
  return name;
}

}  // namespace

void ReportStaleIndexes(const Platform& platform, const FoundTable& table,
                        CompanionFiles& companions, const TableHeader& header,
                        std::int32_t codePage) {
  if (!IsFoxPro(header.signature()) || (header.bytes[28] & kHasStructuralIndex) == 0) return;
  Console& console = platform.console;
  const std::u16string& tableName = table.entry.name;
  const std::u16string indexName = IndexFileName(tableName);
  const DirectoryEntry* index = companions.find(indexName);
  if (index == nullptr) {
    ReportMissingIndex(console, tableName, indexName);
    return;
  }
  TableFile file;
  std::uint64_t size = 0;
  const Status opened =
      platform.files.openForReading(table.search, table.directory, *index, file, size);
  if (!opened.ok()) {
    ReportFileCallFailure(console, index->name, label::kCreateFile, opened.code());
    return;
  }
  OpenFileReader reader(platform.files, file);
  const IndexTags tags = ReadIndexTags(reader, size);
  switch (tags.outcome) {
    case IndexTags::Outcome::ReadFailed:
      ReportFileCallFailure(console, index->name, label::kReadFile, tags.failure.code());
      return;
    case IndexTags::Outcome::Damaged:
      ReportDamagedIndex(console, index->name);
      return;
    case IndexTags::Outcome::Read:
      break;
  }
  for (const IndexTag& tag : tags.tags) {
    if (tag.collation.empty()) continue;  // MACHINE: the keys are the bytes themselves
    ReportStaleTag(console, tableName, index->name, TagName(tag.name), TagName(tag.collation),
                   CodePageOffersCollation(codePage, tag.collation));
  }
}

}  // namespace tablemark
