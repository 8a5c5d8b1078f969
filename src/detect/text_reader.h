// Reading a table's text and naming its code page, table by table, as
// `--detect` and `--fix` both do: each table opened for reading only,
// shared with any program using it, and closed before the answer is named.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "detect/code_page_guess.h"
#include "detect/table_text.h"
#include "platform/platform.h"
#include "table/companion_files.h"
#include "table/directory_scan.h"

namespace tablemark {

// What reading one table gave.
struct TableReading {
  TableHeader header;  // as read
  TextVerdict verdict;
  // Its memo file was missing or could not be read (reported): part of
  // its text went unread.
  bool memoUnread = false;
};

class TextReader {
 public:
  TextReader(const Platform& platform, const GuessModel& model);

  // Sees each entry of the listing, for the files that go with tables.
  void listed(const DirectoryEntry& entry) { companions_.listed(entry); }
  CompanionFiles& companions() { return companions_; }

  // Reads `table` and names the code page of its text; nothing when it
  // could not be read or is no table (reported on standard error).
  std::optional<TableReading> read(const FoundTable& table);

  // As `read`, then prints the table's line, NAME<TAB>MARK<TAB>TEXT, as
  // `--detect` lists it (a failed write ends the run).
  std::optional<TableReading> readAndList(const FoundTable& table);

  const CodePageGuesser& guesser() const { return guesser_; }

 private:
  template <typename Use>
  bool open(const FoundTable& table, const DirectoryEntry& entry, Use use);
  bool readMemos(const FoundTable& table);

  FileSystem& files_;
  Console& console_;
  CompanionFiles companions_;
  TableSampler sampler_;
  CodePageGuesser guesser_;
  std::u16string shown_;
  std::u16string line_;
};

// Whether a mark agrees with what a table's text is in: it stands for the
// sure answer's code page, or the answer is not sure.
bool MarkAgrees(std::uint8_t mark, const TextVerdict& verdict);

}  // namespace tablemark
