#include "detect/detect_code_pages.h"

#include <algorithm>
#include <array>
#include <vector>

#include "cli/console_messages.h"
#include "detect/table_text.h"
#include "remark/code_page_marks.h"
#include "remark/directory_scan.h"
#include "remark/table_header.h"

namespace tablemark {
namespace {

// Each table extension, and its memo file's.
constexpr std::array<std::array<std::u16string_view, 2>, 8> kMemoExtensions{{
    {u"DBF", u"FPT"},
    {u"SCX", u"SCT"},
    {u"VCX", u"VCT"},
    {u"FRX", u"FRT"},
    {u"LBX", u"LBT"},
    {u"MNX", u"MNT"},
    {u"DBC", u"DCT"},
    {u"PJX", u"PJT"},
}};

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool SameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

bool BeforeIgnoringCase(const DirectoryEntry& a, const DirectoryEntry& b) {
  return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                      [](char16_t x, char16_t y) { return Upper(x) < Upper(y); });
}

void AppendDecimal(std::int32_t value, std::u16string& out) {
  const std::string digits = std::to_string(value);
  out.append(digits.begin(), digits.end());
}

void AppendHexByte(unsigned value, std::u16string& out) {
  constexpr std::u16string_view kDigits = u"0123456789ABCDEF";
  out += kDigits[(value >> 4) & 0xF];
  out += kDigits[value & 0xF];
}

class Detect final : public TableVisitor {
 public:
  bool needsWholeListing() const override { return true; }

  void listed(const DirectoryEntry& entry) override {
    const std::size_t dot = entry.name.rfind(u'.');
    if (dot == std::u16string::npos) return;
    const std::u16string_view extension = std::u16string_view(entry.name).substr(dot + 1);
    for (const auto& [table, memo] : kMemoExtensions) {
      if (SameIgnoringCase(extension, memo)) memoFiles_.push_back(entry);
    }
  }

  bool visit(Platform& platform, const DirectorySearch& search, const std::u16string& directory,
             const DirectoryEntry& table) override {
    ErrorCode error = 0;
    TableFile file;
    std::uint64_t size = 0;
    if (!platform.openForReading(search, directory, table, file, size, error)) {
      ReportFileCallFailure(platform, table.name, label::kCreateFile, error, message_);
      return true;
    }
    start_.resize(kHeaderReadBytes);
    Transfer read = platform.readAt(file, 0, start_);
    if (read.error != 0 || read.count < TableHeader::kSize) {
      ReportFileCallFailure(platform, table.name, label::kReadFile, read.error, message_);
      return true;
    }
    TableHeader header;
    std::copy_n(start_.begin(), TableHeader::kSize, header.bytes.begin());
    if (!header.isAcceptedTable()) {
      ReportNotATable(platform, table.name, message_);
      return true;
    }
    // A header longer than the first read takes a second.
    const std::uint64_t wanted = LayoutBytes(header.bytes, size);
    if (wanted > read.count && read.count == start_.size()) {
      start_.resize(wanted);
      const auto rest = std::span(start_).subspan(read.count);
      const Transfer more = platform.readAt(file, read.count, rest);
      if (more.error != 0) {
        ReportFileCallFailure(platform, table.name, label::kReadFile, more.error, message_);
        return true;
      }
      read.count += more.count;
    }
    const TableLayout layout = ParseLayout(std::span(start_).first(read.count), size);
    sample_.clear();
    read = SampleRecords(platform, file, layout, sample_);
    if (read.error != 0) {
      ReportFileCallFailure(platform, table.name, label::kReadFile, read.error, message_);
      return true;
    }
    bool failed = false;
    if (layout.readsMemoFile && !sample_.memoBlocks.empty()) {
      failed = !readMemos(platform, search, directory, table.name);
    }
    const TextVerdict verdict = guesser_.guess(sample_.text, CodePageOfMark(header.codePageMark()));
    line_.clear();
    platform.appendShownName(table.name, shown_);
    AppendEscaped(shown_, line_);
    shown_.clear();
    line_ += u'\t';
    line_ += MarkColumn(header.codePageMark());
    line_ += u'\t';
    line_ += TextColumn(verdict);
    platform.writeLine(ConsoleStream::Output, line_);
    return failed || MarkIsWrong(header.codePageMark(), verdict);
  }

 private:
  // Adds the memo text; a memo file missing or unreadable is reported and
  // costs the memo text only.
  bool readMemos(Platform& platform, const DirectorySearch& search, const std::u16string& directory,
                 std::u16string_view tableName) {
    std::u16string memoName(tableName.substr(0, tableName.rfind(u'.') + 1));
    memoName += MemoExtensionOf(tableName);
    // Sorted once, by name without letter case, so that a directory of
    // many tables costs a search per table, not a pass over every memo.
    if (!memoFilesSorted_) {
      std::stable_sort(memoFiles_.begin(), memoFiles_.end(), BeforeIgnoringCase);
      memoFilesSorted_ = true;
    }
    DirectoryEntry wanted;
    wanted.name = memoName;
    const auto [first, last] =
        std::equal_range(memoFiles_.begin(), memoFiles_.end(), wanted, BeforeIgnoringCase);
    // The name in the table's own letter case, else the first listed.
    const DirectoryEntry* memo = first == last ? nullptr : &*first;
    for (auto candidate = first; candidate != last; ++candidate) {
      if (candidate->name == memoName) memo = &*candidate;
    }
    if (memo == nullptr) {
      ReportMissingMemo(platform, tableName, memoName, message_);
      return false;
    }
    ErrorCode error = 0;
    TableFile file;
    std::uint64_t size = 0;
    if (!platform.openForReading(search, directory, *memo, file, size, error)) {
      ReportFileCallFailure(platform, memo->name, label::kCreateFile, error, message_);
      return false;
    }
    const Transfer read = SampleMemos(platform, file, size, sample_);
    if (read.error != 0) {
      ReportFileCallFailure(platform, memo->name, label::kReadFile, read.error, message_);
      return false;
    }
    return true;
  }

  std::vector<DirectoryEntry> memoFiles_;
  bool memoFilesSorted_ = false;
  std::vector<std::uint8_t> start_;
  TextSample sample_;
  CodePageGuesser guesser_;
  MessageBuffer message_;
  std::u16string shown_, line_;
};

}  // namespace

std::int32_t CodePageOfMark(std::uint8_t mark) {
  for (const CodePageMarkEntry& row : CodePageMarkTable) {
    if ((row.mark & 0xFF) == mark) return row.codePage;
  }
  return -1;
}

std::u16string MarkColumn(std::uint8_t mark) {
  std::u16string column;
  if (const std::int32_t codePage = CodePageOfMark(mark); codePage >= 0) {
    AppendDecimal(codePage, column);
  } else {
    column = u"0x";
    AppendHexByte(mark, column);
  }
  return column;
}

std::u16string TextColumn(const TextVerdict& verdict) {
  std::u16string column;
  switch (verdict.kind) {
    case TextVerdict::Kind::Plain:
      return u"-";
    case TextVerdict::Kind::Unsure:
      return u"?";
    case TextVerdict::Kind::CodePage:
      AppendDecimal(verdict.codePage, column);
      return column;
    case TextVerdict::Kind::Encoding:
      return std::u16string(verdict.encoding.begin(), verdict.encoding.end());
  }
  return column;
}

bool MarkIsWrong(std::uint8_t mark, const TextVerdict& verdict) {
  switch (verdict.kind) {
    case TextVerdict::Kind::Plain:
    case TextVerdict::Kind::Unsure:
      return false;
    case TextVerdict::Kind::CodePage:
      return verdict.codePage != CodePageOfMark(mark);
    case TextVerdict::Kind::Encoding:
      return true;
  }
  return true;
}

void AppendEscaped(std::u16string_view name, std::u16string& out) {
  for (const char16_t c : name) {
    if (c == u'\t') {
      out += u"\\t";
    } else if (c == u'\n') {
      out += u"\\n";
    } else if (c == u'\\') {
      out += u"\\\\";
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      out += u"\\x";
      AppendHexByte(c, out);
    } else {
      out += c;
    }
  }
}

std::u16string MemoExtensionOf(std::u16string_view tableName) {
  const std::size_t dot = tableName.rfind(u'.');
  if (dot == std::u16string_view::npos) return {};
  const std::u16string_view extension = tableName.substr(dot + 1);
  for (const auto& [table, memo] : kMemoExtensions) {
    if (!SameIgnoringCase(extension, table)) continue;
    std::u16string named(memo);
    // a.dbf goes with a.fpt, A.DBF with A.FPT.
    if (extension[0] >= u'a' && extension[0] <= u'z') {
      for (char16_t& c : named) c = static_cast<char16_t>(c + 32);
    }
    return named;
  }
  return {};
}

ExitStatus DetectCodePages(Platform& platform, std::u16string fullPath) {
  Detect detect;
  return ScanDirectory(platform, std::move(fullPath), detect);
}

}  // namespace tablemark
