#include "detect/text_reader.h"

#include "detect/detect_line.h"
#include "report/messages.h"
#include "table/code_page_marks.h"
#include "table/table_files.h"

namespace tablemark {

TextReader::TextReader(const Platform& platform, const GuessModel& model)
    : files_(platform.files), console_(platform.console), guesser_(platform.libraries, model) {}

// Opens `entry` for reading and hands it to `use`, which reports its own
// failures; reports a failed open. False when either failed. The file is
// closed on return.
template <typename Use>
bool TextReader::open(const FoundTable& table, const DirectoryEntry& entry, Use use) {
  TableFile file;
  std::uint64_t size = 0;
  const Status opened = files_.openForReading(table.search, table.directory, entry, file, size);
  if (!opened.ok()) {
    ReportFileCallFailure(console_, entry.name, label::kCreateFile, opened.code());
    return false;
  }
  OpenFileReader reader(files_, file);
  return use(reader, size);
}

std::optional<TableReading> TextReader::read(const FoundTable& table) {
  const std::u16string& name = table.entry.name;
  const bool sampled = open(table, table.entry, [&](FileReader& reader, std::uint64_t size) {
    switch (sampler_.readTable(reader, size)) {
      case TableSampler::Outcome::Read:
        return true;
      case TableSampler::Outcome::NotATable:
        ReportNotATable(console_, name);
        return false;
      case TableSampler::Outcome::Failed:
        ReportFileCallFailure(console_, name, label::kReadFile, sampler_.failure().code());
        return false;
    }
    return false;
  });
  if (!sampled) return std::nullopt;
  TableReading reading;
  reading.header = sampler_.header();
  // A memo file missing or unreadable is reported and costs the memo text
  // only.
  reading.memoUnread = sampler_.wantsMemoFile() && !readMemos(table);
  reading.verdict =
      guesser_.guess(sampler_.text(), CodePageMarkStandsFor(reading.header.codePageMark()));
  return reading;
}

bool TextReader::readMemos(const FoundTable& table) {
  const std::u16string memoName = MemoFileName(table.entry.name, sampler_.memoFormat());
  const DirectoryEntry* memo = companions_.find(memoName);
  if (memo == nullptr) {
    ReportMissingMemo(console_, table.entry.name, memoName);
    return false;
  }
  return open(table, *memo, [&](FileReader& reader, std::uint64_t size) {
    const Transfer read = sampler_.readMemos(reader, size);
    if (!read.status.ok()) {
      ReportFileCallFailure(console_, memo->name, label::kReadFile, read.status.code());
    }
    return read.status.ok();
  });
}

std::optional<TableReading> TextReader::readAndList(const FoundTable& table) {
  std::optional<TableReading> reading = read(table);
  if (!reading) return reading;
  shown_.clear();
  console_.appendShownName(table.entry.name, shown_);
  ComposeDetectLine(console_, shown_, reading->header.codePageMark(), reading->verdict, line_);
  WriteOutputLine(console_, line_);
  return reading;
}

bool MarkAgrees(std::uint8_t mark, const TextVerdict& verdict) {
  switch (verdict.kind) {
    case TextVerdict::Kind::Plain:
    case TextVerdict::Kind::Unsure:
      return true;
    case TextVerdict::Kind::CodePage:
      return verdict.codePage == CodePageMarkStandsFor(mark);
    case TextVerdict::Kind::Encoding:
      return false;
  }
  return false;
}

}  // namespace tablemark
