#include "detect/detect.h"

#include "detect/code_page_guess.h"
#include "detect/detect_line.h"
#include "detect/memo_files.h"
#include "detect/table_text.h"
#include "report/messages.h"
#include "table/code_page_marks.h"
#include "table/directory_scan.h"
#include "table/table_files.h"

namespace tablemark {
namespace {

// Whether a sure answer disagrees with the mark.
bool MarkIsWrong(std::uint8_t mark, const TextVerdict& verdict) {
  switch (verdict.kind) {
    case TextVerdict::Kind::Plain:
    case TextVerdict::Kind::Unsure:
      return false;
    case TextVerdict::Kind::CodePage:
      return verdict.codePage != CodePageMarkStandsFor(mark);
    case TextVerdict::Kind::Encoding:
      return true;
  }
  return true;
}

class Detect final : public TableVisitor {
 public:
  explicit Detect(const Platform& platform)
      : files_(platform.files), console_(platform.console), guesser_(platform.libraries) {}

  bool needsWholeListing() const override { return true; }
  void listed(const DirectoryEntry& entry) override { memoFiles_.listed(entry); }

  bool visit(const FoundTable& table) override {
    const std::u16string& name = table.entry.name;
    if (!read(table, table.entry, name, [&](FileReader& reader, std::uint64_t size) {
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
        })) {
      return true;
    }
    // A memo file missing or unreadable is reported and costs the memo
    // text only.
    const bool memoFailed = sampler_.wantsMemoFile() && !readMemos(table);
    const std::uint8_t mark = sampler_.header().codePageMark();
    const TextVerdict verdict = guesser_.guess(sampler_.text(), CodePageMarkStandsFor(mark));
    shown_.clear();
    console_.appendShownName(name, shown_);
    ComposeDetectLine(shown_, mark, verdict, line_);
    console_.writeLine(ConsoleStream::Output, line_);
    return memoFailed || MarkIsWrong(mark, verdict);
  }

 private:
  // Opens `entry` for reading and hands it to `use`, which reports its own
  // failures; reports a failed open. False when either failed.
  template <typename Use>
  bool read(const FoundTable& table, const DirectoryEntry& entry, const std::u16string& name,
            Use use) {
    TableFile file;
    std::uint64_t size = 0;
    const Status opened = files_.openForReading(table.search, table.directory, entry, file, size);
    if (!opened.ok()) {
      ReportFileCallFailure(console_, name, label::kCreateFile, opened.code());
      return false;
    }
    OpenFileReader reader(files_, file);
    return use(reader, size);
  }

  bool readMemos(const FoundTable& table) {
    const std::u16string memoName = MemoFileName(table.entry.name, sampler_.memoFormat());
    const DirectoryEntry* memo = memoFiles_.find(memoName);
    if (memo == nullptr) {
      ReportMissingMemo(console_, table.entry.name, memoName);
      return false;
    }
    return read(table, *memo, memo->name, [&](FileReader& reader, std::uint64_t size) {
      const Transfer read = sampler_.readMemos(reader, size);
      if (!read.status.ok()) {
        ReportFileCallFailure(console_, memo->name, label::kReadFile, read.status.code());
      }
      return read.status.ok();
    });
  }

  FileSystem& files_;
  Console& console_;
  MemoFiles memoFiles_;
  TableSampler sampler_;
  CodePageGuesser guesser_;
  std::u16string shown_, line_;
};

}  // namespace

ExitStatus DetectCodePages(const Platform& platform, std::u16string fullPath) {
  Detect detect(platform);
  return ScanDirectory(platform, std::move(fullPath), detect);
}

}  // namespace tablemark
