// Reading a table's text: the bytes of its character, varchar and memo
// fields that the database translates by the code-page mark. Field names,
// the header, numbers, dates, binary fields and the database backlink are
// not text, and neither is a value that is plainly binary whatever its
// field says (a picture or an OLE object kept in a memo). What is read is bounded and spread over
// the whole table and its memo file, so that a table of a gigabyte costs about what a small one
// does. Every number the files hold is untrusted: nothing is read outside
// a file or a buffer, whatever it says.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/file_system.h"
#include "table/table_files.h"
#include "table/table_header.h"

namespace tablemark {

// A field whose bytes are text, where it lies inside a record.
struct TextField {
  std::uint32_t offset = 0;  // from the record's start, after the deletion flag
  std::uint32_t length = 0;
  char type = 'C';  // 'C', 'V' or 'M'
};

// A table as its header and field descriptors describe it.
struct TableLayout {
  std::uint64_t headerLength = 0;
  std::uint64_t recordLength = 0;
  std::uint64_t records = 0;  // as many as the file holds, not more
  std::vector<TextField> textFields;
  // A memo field holds text and the header says a memo file goes with the
  // table.
  bool readsMemoFile = false;
  MemoFormat memoFormat = MemoFormat::FoxPro;
};

// Bounds of one table's sample.
inline constexpr std::size_t kRecordChunks = 32;  // places records are read from
inline constexpr std::size_t kChunkBytes = 2048;  // records read at each place
inline constexpr std::size_t kRecordTextBytes = std::size_t{64} * 1024;
inline constexpr std::size_t kMemos = 128;             // memos read at most
inline constexpr std::size_t kMemoBytes = 2048;        // of each memo
inline constexpr std::size_t kHeaderReadBytes = 4096;  // first read; a longer header takes two

// The text read from one table and its memo file: values, each followed by
// a line feed. Reused from table to table, so memory stays flat.
struct TextSample {
  std::vector<std::uint8_t> text;
  std::vector<std::uint32_t> memoBlocks;  // named by the records read
  std::vector<std::uint8_t> buffer;       // what one read brings
  void clear() {
    text.clear();
    memoBlocks.clear();
  }
};

// The layout read from the start of a file: `start` holds its first bytes,
// at least the 32 of the header; `fileSize` bounds the records.
TableLayout ParseLayout(std::span<const std::uint8_t> start, std::uint64_t fileSize);

// Reads the records of the sample from `table`. A failed read ends the
// sampling and is returned; what was read by then stays in `sample`.
Transfer SampleRecords(FileReader& table, const TableLayout& layout, TextSample& sample);

// Reads the text of the memos the records named from `memo` (`memoSize`
// bytes long), a memo file of `format`. A failed read is returned.
Transfer SampleMemos(FileReader& memo, std::uint64_t memoSize, MemoFormat format,
                     TextSample& sample);

// The whole read of one table's text, in the order detection and its
// benchmark floor both read it: the header, the layout, the sampled records,
// then, where the records named memos, the memo file's. Reused from table to
// table, so memory stays flat.
class TableSampler {
 public:
  enum class Outcome { Read, NotATable, Failed };
  // Reads the table `table`, `size` bytes long. On Failed, `failure()` says
  // what the system gave (a file shorter than a header fails with code 0).
  Outcome readTable(FileReader& table, std::uint64_t size);
  // Whether the records read named memos whose text the memo file holds,
  // and which kind of memo file that is.
  bool wantsMemoFile() const { return layout_.readsMemoFile && !sample_.memoBlocks.empty(); }
  MemoFormat memoFormat() const { return layout_.memoFormat; }
  // Adds the memos' text from the memo file `memo`, `size` bytes long.
  Transfer readMemos(FileReader& memo, std::uint64_t size) {
    return SampleMemos(memo, size, layout_.memoFormat, sample_);
  }

  const TableHeader& header() const { return header_; }
  Status failure() const { return failure_; }
  const std::vector<std::uint8_t>& text() const { return sample_.text; }

 private:
  std::vector<std::uint8_t> start_;
  TableHeader header_;
  TableLayout layout_;
  TextSample sample_;
  Status failure_ = Status::Ok();
};

}  // namespace tablemark
