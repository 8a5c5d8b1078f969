#include "fix/restore.h"

#include <unordered_map>
#include <vector>

#include "fix/restore_lines.h"
#include "fix/stale_indexes.h"
#include "remark/remark.h"
#include "report/messages.h"
#include "table/code_page_marks.h"
#include "table/table_files.h"

namespace tablemark {
namespace {

class Restore final : public TableVisitor {
 public:
  Restore(const Platform& platform, const std::u16string& file, std::vector<RestoreLine> lines)
      : platform_(platform), file_(file), lines_(std::move(lines)) {
    listed_.reserve(lines_.size());  // a FILE names about the tables there are
  }

  bool needsWholeListing() const override { return true; }

  void listed(const DirectoryEntry& entry) override {
    companions_.listed(entry);
    if (!HasTableExtension(entry.name)) return;
    listed_.try_emplace(entry.name, 0);
    // Where letter case counts, a name is its own key, and there is
    // nothing to keep.
    platform_.files.nameKey(entry.name, key_);
    if (key_ != entry.name) listedKeys_.try_emplace(key_, entry.name);
  }

  bool beforeVisits(bool complete) override {
    if (!complete) return false;  // a name not listed may be in what was not
    bool good = true;
    const auto bad = [&](std::u16string_view pattern, const RestoreLine& line,
                         std::u16string_view name = {}, std::size_t earlier = 0) {
      ReportBadRestoreLine(platform_.console, pattern, line.number, file_, name, earlier);
      good = false;
    };
    for (std::size_t index = 0; index < lines_.size(); ++index) {
      const RestoreLine& line = lines_[index];
      switch (line.problem) {
        case RestoreLine::Problem::Form:
          bad(restore::kBadForm, line);
          continue;
        case RestoreLine::Problem::NotAName:
          bad(restore::kNotAName, line, line.name);
          continue;
        case RestoreLine::Problem::NoMark:
          bad(restore::kNoMark, line, line.codePage);
          continue;
        case RestoreLine::Problem::None:
          break;
      }
      // The name exactly as listed, else as the file system finds files.
      auto table = listed_.find(line.name);
      if (table == listed_.end()) {
        platform_.files.nameKey(line.name, key_);
        table = listed_.find(key_);
        const auto folded = listedKeys_.find(key_);
        if (table == listed_.end() && folded != listedKeys_.end()) {
          table = listed_.find(folded->second);
        }
      }
      if (table == listed_.end()) {
        bad(restore::kNoTable, line, line.name);
      } else if (table->second != 0) {
        bad(restore::kNamedTwice, line, line.name, lines_[table->second - 1].number);
      } else {
        table->second = index + 1;
      }
    }
    return good;
  }

  bool visit(const FoundTable& table) override {
    const std::size_t named = listed_.at(table.entry.name);
    if (named == 0) return false;  // not named: untouched
    const RestoreLine& line = lines_[named - 1];
    TableHeader header;
    const PatchOutcome outcome = RemarkTable(platform_, table, line.mark, header);
    if (outcome == PatchOutcome::Patched) {
      ReportStaleIndexes(platform_, table, companions_, header, CodePageMarkStandsFor(line.mark));
    }
    return CountsAsFailed(outcome);
  }

 private:
  const Platform& platform_;
  const std::u16string& file_;
  std::vector<RestoreLine> lines_;
  CompanionFiles companions_;
  // Each table of the listing, with the line that names it (its index in
  // `lines_` + 1; 0: none); and where a name is not its own key (how the
  // file system compares names), the first name listed for that key.
  std::unordered_map<std::u16string, std::size_t> listed_;
  std::unordered_map<std::u16string, std::u16string> listedKeys_;
  std::u16string key_;
};

}  // namespace

ExitStatus RestoreCodePages(const Platform& platform, std::u16string fullPath,
                            const std::u16string& file) {
  std::string bytes;
  bool opened = true;
  const Status read = file == u"-" ? platform.files.readStandardInput(bytes)
                                   : platform.files.readWholeFile(file, bytes, opened);
  if (!read.ok()) {
    ReportFileCallFailure(platform.console, file, opened ? label::kReadFile : label::kCreateFile,
                          read.code());
    return kRefused;
  }
  std::u16string text;
  DecodeRestoreFile(bytes, platform.console, text);
  Restore restore(platform, file, ParseRestoreLines(text, platform.dialect));
  return ScanDirectory(platform, std::move(fullPath), restore);
}

}  // namespace tablemark
