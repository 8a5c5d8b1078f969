// The floor for --detect: what reading each table's text cannot do without.
// List the directory; per table: open read-only (no links, no terminal, no
// blocking), fstat, read the header and the sampled records, open the memo
// file and read the sampled memos, run uchardet on the text, write one short
// line, close.
//
// The sampling is tablemark's own (ParseLayout, SampleRecords, SampleMemos),
// reached through a platform that only reads: the floor must read the same
// byte ranges and give uchardet the same bytes, and a second copy of the
// plan would drift from the first the day the plan changes. What the floor
// leaves out is tablemark's own cost: names in UTF-16, the whole listing
// kept for memo files, the letter-pair weighing, the line's conversion.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <uchardet/uchardet.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "detect/table_text.h"
#include "table_name.h"

namespace {

using tablemark::DirectoryEntry;
using tablemark::DirectorySearch;
using tablemark::ErrorCode;
using tablemark::TableFile;
using tablemark::Transfer;

// Only readAt is used; the rest is never called.
class ReadOnly final : public tablemark::Platform {
 public:
  tablemark::Dialect dialect() const override { return tablemark::Dialect::Posix; }
  void writeLine(tablemark::ConsoleStream, std::u16string_view) override {}
  void appendErrorText(ErrorCode, std::u16string&) override {}
  bool currentDirectory(std::u16string&, ErrorCode&) override { return false; }
  bool pathExists(const std::u16string&, ErrorCode&) override { return false; }
  bool startSearch(const std::u16string&, DirectorySearch&, DirectoryEntry&, ErrorCode&) override {
    return false;
  }
  tablemark::SearchStep nextEntry(DirectorySearch&, DirectoryEntry&, ErrorCode&) override {
    return tablemark::SearchStep::Failed;
  }
  bool openTable(const DirectorySearch&, const std::u16string&, const DirectoryEntry&, TableFile&,
                 ErrorCode&) override {
    return false;
  }
  bool openForReading(const DirectorySearch&, const std::u16string&, const DirectoryEntry&,
                      TableFile&, std::uint64_t&, ErrorCode&) override {
    return false;
  }
  Transfer readAt(TableFile& file, std::uint64_t offset, std::span<std::uint8_t> buffer) override {
    Transfer result;
    while (result.count < buffer.size()) {
      const ssize_t got =
          pread(static_cast<int>(file.native()), buffer.data() + result.count,
                buffer.size() - result.count, static_cast<off_t>(offset + result.count));
      if (got < 0) {
        result.error = errno;
        return result;
      }
      if (got == 0) break;
      result.count += static_cast<std::size_t>(got);
    }
    return result;
  }
  Transfer readTable(TableFile&, std::span<std::uint8_t>) override { return {}; }
  bool seekTable(TableFile&, std::uint32_t, ErrorCode&) override { return false; }
  Transfer writeTable(TableFile&, std::span<const std::uint8_t>) override { return {}; }
  bool closeWrittenTable(TableFile&, ErrorCode&) override { return false; }

  // Opens `name` of the directory as tablemark does for reading; `size`
  // is its length.
  bool open(int dirFd, const char* name, TableFile& file, std::uint64_t& size) {
    const int fd = openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    file.adopt(*this, fd);
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return false;
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
  }

 private:
  void releaseTable(std::intptr_t native) override { close(static_cast<int>(native)); }
  void releaseSearch(std::intptr_t) override {}
};

// The memo file's name: the table's, with the extension's last letter T
// (DBF's is FPT), in the extension's letter case.
std::string MemoName(const char* table) {
  std::string name(table);
  char* extension = name.data() + name.size() - 3;
  const bool lower = extension[0] >= 'a';
  if ((extension[0] | 0x20) == 'd' && (extension[1] | 0x20) == 'b' &&
      (extension[2] | 0x20) == 'f') {
    extension[0] = lower ? 'f' : 'F', extension[1] = lower ? 'p' : 'P';
  } else if ((extension[0] | 0x20) == 'd') {
    extension[1] = lower ? 'c' : 'C';  // DBC goes with DCT
  }
  extension[2] = lower ? 't' : 'T';
  return name;
}

// Reads the sample of one table into `sample`; false when a read failed.
bool Sample(ReadOnly& platform, int dirFd, const char* name, tablemark::TextSample& sample,
            std::vector<std::uint8_t>& start) {
  TableFile table;
  std::uint64_t size = 0;
  if (!platform.open(dirFd, name, table, size)) return false;
  start.resize(tablemark::kHeaderReadBytes);
  Transfer read = platform.readAt(table, 0, start);
  if (read.error != 0 || read.count < 32) return false;
  const std::uint64_t wanted = tablemark::LayoutBytes(std::span(start).first<32>(), size);
  if (wanted > read.count && read.count == start.size()) {
    start.resize(wanted);
    const Transfer more = platform.readAt(table, read.count, std::span(start).subspan(read.count));
    if (more.error != 0) return false;
    read.count += more.count;
  }
  const tablemark::TableLayout layout =
      tablemark::ParseLayout(std::span(start).first(read.count), size);
  sample.clear();
  if (tablemark::SampleRecords(platform, table, layout, sample).error != 0) return false;
  if (!layout.readsMemoFile || sample.memoBlocks.empty()) return true;
  TableFile memo;
  return platform.open(dirFd, MemoName(name).c_str(), memo, size) &&
         tablemark::SampleMemos(platform, memo, size, sample).error == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  DIR* dir = opendir(argv[1]);
  if (dir == nullptr) return 2;
  ReadOnly platform;
  tablemark::TextSample sample;
  std::vector<std::uint8_t> start;
  uchardet_t detector = uchardet_new();
  std::string line;
  int status = 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_type == DT_DIR || !IsTableName(entry->d_name)) continue;
    line = entry->d_name;
    if (Sample(platform, dirfd(dir), entry->d_name, sample, start)) {
      uchardet_reset(detector);
      if (uchardet_handle_data(detector, reinterpret_cast<const char*>(sample.text.data()),
                               sample.text.size()) == 0) {
        uchardet_data_end(detector);
      }
      line += '\t';
      line += uchardet_get_charset(detector);
    } else {
      line += "\tfailed";
      status = 1;
    }
    line += '\n';
    if (write(1, line.data(), line.size()) < 0) status = 1;
  }
  uchardet_delete(detector);
  closedir(dir);
  return status;
}
