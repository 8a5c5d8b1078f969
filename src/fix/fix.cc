#include "fix/fix.h"

#include "detect/text_reader.h"
#include "fix/stale_indexes.h"
#include "remark/remark.h"
#include "report/messages.h"
#include "table/code_page_marks.h"

namespace tablemark {
namespace {

class Fix final : public TableVisitor {
 public:
  explicit Fix(const Platform& platform) : platform_(platform), reader_(platform, GuessModel{}) {}

  bool needsWholeListing() const override { return true; }
  void listed(const DirectoryEntry& entry) override { reader_.listed(entry); }

  bool visit(const FoundTable& table) override {
    // No change without its record: the line first.
    const std::optional<TableReading> reading = reader_.readAndList(table);
    if (!reading) return true;
    const std::uint8_t was = reading->header.codePageMark();
    const TextVerdict& verdict = reading->verdict;
    const bool agrees = MarkAgrees(was, verdict);
    // A text read in part, an encoding no mark stands for, or nothing sure
    // is left as it is.
    const std::optional<std::uint8_t> mark = verdict.kind == TextVerdict::Kind::CodePage
                                                 ? FindCodePageMark(verdict.codePage)
                                                 : std::nullopt;
    if (agrees || reading->memoUnread || !mark) return reading->memoUnread || !agrees;
    TableHeader header;
    const PatchOutcome outcome = RemarkTable(platform_, table, *mark, header, was);
    if (outcome == PatchOutcome::Patched) {
      ReportStaleIndexes(platform_, table, reader_.companions(), header, verdict.codePage);
    }
    return CountsAsFailed(outcome);
  }

 private:
  const Platform& platform_;
  TextReader reader_;
};

}  // namespace

ExitStatus FixCodePages(const Platform& platform, std::u16string fullPath) {
  Fix fix(platform);
  return ScanDirectory(platform, std::move(fullPath), fix);
}

}  // namespace tablemark
