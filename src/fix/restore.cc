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
      : platform_(platform), file_(file), lines_(std::move(lines)) {}

  bool needsWholeListing() const override { return true; }

  void listed(const DirectoryEntry& entry) override {
    companions_.listed(entry);
    if (!HasTableExtension(entry.name)) return;
    platform_.files.nameKey(entry.name, key_);
    listedKeys_.try_emplace(key_, entry.name);
    listed_.try_emplace(entry.name, RestoreLine{});
  }

  bool beforeVisits(bool complete) override {
    if (!complete) return false;  // a name not listed may be in what was not
    bool good = true;
    const auto bad = [&](std::u16string_view pattern, const RestoreLine& line,
                         std::u16string_view name = {}, std::size_t earlier = 0) {
      ReportBadRestoreLine(platform_.console, pattern, line.number, file_, name, earlier);
      good = false;
    };
    for (const RestoreLine& line : lines_) {
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
        const auto folded = listedKeys_.find(key_);
        if (folded != listedKeys_.end()) table = listed_.find(folded->second);
      }
      if (table == listed_.end()) {
        bad(restore::kNoTable, line, line.name);
      } else if (table->second.number != 0) {
        bad(restore::kNamedTwice, line, line.name, table->second.number);
      } else {
        table->second = line;
      }
    }
    return good;
  }

  bool visit(const FoundTable& table) override {
    const RestoreLine& line = listed_.at(table.entry.name);
    if (line.number == 0) return false;  // not named: untouched
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
  // Each table of the listing, with the line that names it (number 0:
  // none); and each one's name as the file system compares names.
  std::unordered_map<std::u16string, RestoreLine> listed_;
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
