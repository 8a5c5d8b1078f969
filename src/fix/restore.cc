#include "fix/restore.h"

#include <bit>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "fix/restore_lines.h"
#include "fix/stale_indexes.h"
#include "remark/remark.h"
#include "report/messages.h"
#include "table/code_page_marks.h"
#include "table/table_files.h"

namespace tablemark {
namespace {

// Names found among many without a copy or an allocation per name: open
// addressing over the caller's names, which outlive the index.
class NameIndex {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  explicit NameIndex(std::size_t count) : slots_(std::bit_ceil(2 * count + 1)) {
    names_.reserve(count);
  }

  // Adds the next name, numbered from 0; a name already there keeps its first number.
  void add(std::u16string_view name) {
    const std::uint32_t number = static_cast<std::uint32_t>(names_.size());
    names_.push_back(name);
    const std::size_t hash = Hash(name);
    Slot& slot = *probe(name, hash);
    if (slot.number == kNone) slot = Slot{static_cast<std::uint32_t>(hash), number};
  }

  std::uint32_t find(std::u16string_view name) const { return probe(name, Hash(name))->number; }

 private:
  struct Slot {
    std::uint32_t hash = 0;  // enough of it to pass over most other names
    std::uint32_t number = kNone;
  };

  static std::size_t Hash(std::u16string_view name) {
    return std::hash<std::u16string_view>{}(name);
  }

  // The slot holding `name`, else the empty one where it would go.
  const Slot* probe(std::u16string_view name, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.number == kNone ||
          (slot.hash == static_cast<std::uint32_t>(hash) && names_[slot.number] == name)) {
        return &slot;
      }
    }
  }
  Slot* probe(std::u16string_view name, std::size_t hash) {
    return const_cast<Slot*>(std::as_const(*this).probe(name, hash));
  }

  std::vector<Slot> slots_;  // at least one empty, so that a probe ends
  std::vector<std::u16string_view> names_;
};

// The table a line names among those listed: the name exactly as listed,
// else as the file system finds files. What --detect and --fix print names
// the tables in listing order, which is tried first; the names are indexed
// only when a line is out of that order.
class ListedTables {
 public:
  ListedTables(FileSystem& files, const std::vector<DirectoryEntry>& tables)
      : files_(files), tables_(tables) {}

  // Its place in the listing, or NameIndex::kNone.
  std::uint32_t find(std::u16string_view name) {
    if (next_ < tables_.size() && tables_[next_].name == name) return next_++;
    std::uint32_t table = exact().find(name);
    if (table == NameIndex::kNone) {
      files_.nameKey(name, key_);
      table = exact().find(key_);
      if (table == NameIndex::kNone) table = byKey().find(key_);
    }
    if (table != NameIndex::kNone) next_ = table + 1;
    return table;
  }

 private:
  const NameIndex& exact() {
    if (!exact_) {
      exact_.emplace(tables_.size());
      for (const DirectoryEntry& table : tables_) exact_->add(table.name);
    }
    return *exact_;
  }
  // Each key with the first table listed under it.
  const NameIndex& byKey() {
    if (!byKey_) {
      keys_.resize(tables_.size());
      byKey_.emplace(tables_.size());
      for (std::size_t i = 0; i < tables_.size(); ++i) {
        files_.nameKey(tables_[i].name, keys_[i]);
        byKey_->add(keys_[i]);
      }
    }
    return *byKey_;
  }

  FileSystem& files_;
  const std::vector<DirectoryEntry>& tables_;
  std::uint32_t next_ = 0;
  std::optional<NameIndex> exact_;
  std::vector<std::u16string> keys_;
  std::optional<NameIndex> byKey_;
  std::u16string key_;
};

class Restore final : public TableVisitor {
 public:
  Restore(const Platform& platform, const std::u16string& file, std::vector<RestoreLine> lines)
      : platform_(platform), file_(file), lines_(std::move(lines)) {}

  bool needsWholeListing() const override { return true; }

  void listed(const DirectoryEntry& entry) override { companions_.listed(entry); }

  bool beforeVisits(bool complete, const std::vector<DirectoryEntry>& tables) override {
    if (!complete) return false;  // a name not listed may be in what was not
    ListedTables listed(platform_.files, tables);
    std::vector<std::size_t> lineOf(tables.size(), 0);  // index in `lines_` + 1; 0: none
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
      const std::uint32_t table = listed.find(line.name);
      if (table == NameIndex::kNone) {
        bad(restore::kNoTable, line, line.name);
      } else if (lineOf[table] != 0) {
        bad(restore::kNamedTwice, line, line.name, lines_[lineOf[table] - 1].number);
      } else {
        lineOf[table] = index + 1;
      }
    }
    if (!good) return false;
    // Visits take the tables in listing order, and the lines in theirs.
    markOf_.resize(tables.size());
    for (std::size_t table = 0; table < tables.size(); ++table) {
      if (lineOf[table] != 0) markOf_[table] = lines_[lineOf[table] - 1].mark;
    }
    return true;
  }

  bool visit(const FoundTable& table) override {
    const std::optional<std::uint8_t> mark = markOf_[table.number];
    if (!mark) return false;  // not named: untouched
    TableHeader header;
    const PatchOutcome outcome = RemarkTable(platform_, table, *mark, header);
    if (outcome == PatchOutcome::Patched) {
      ReportStaleIndexes(platform_, table, companions_, header, CodePageMarkStandsFor(*mark));
    }
    return CountsAsFailed(outcome);
  }

 private:
  const Platform& platform_;
  const std::u16string& file_;
  std::vector<RestoreLine> lines_;
  CompanionFiles companions_;
  // For each table, in listing order, the mark its line asks for.
  std::vector<std::optional<std::uint8_t>> markOf_;
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
  std::string().swap(bytes);
  Restore restore(platform, file, ParseRestoreLines(text, platform.dialect));
  return ScanDirectory(platform, std::move(fullPath), restore);
}

}  // namespace tablemark
