// The floor for --detect: what reading each table's text cannot do without.
// List the directory; per table: open read-only (no links, no terminal, no
// blocking), fstat, read the header and the sampled records, open the memo
// file and read the sampled memos, run uchardet on the text, write one short
// line, close.
//
// The read sequence is tablemark's own (TableSampler), over plain file
// descriptors: the floor must read the same byte ranges and give uchardet
// the same bytes, and a second copy of the sequence would drift from the
// first the day it changes. What the floor leaves out is tablemark's own
// cost: names in UTF-16, the whole listing kept for memo files, the
// letter-pair weighing, the line's conversion.
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

// A file opened as tablemark opens one for reading, read with pread.
class Opened final : public tablemark::FileReader {
 public:
  Opened(int dirFd, const char* name)
      : fd_(openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {
    struct stat status {};
    ok_ = fd_ >= 0 && fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
    size_ = ok_ ? static_cast<std::uint64_t>(status.st_size) : 0;
  }
  ~Opened() override {
    if (fd_ >= 0) close(fd_);
  }
  Opened(const Opened&) = delete;
  Opened& operator=(const Opened&) = delete;
  bool ok() const { return ok_; }
  std::uint64_t size() const { return size_; }

  tablemark::Transfer readAt(std::uint64_t offset, std::span<std::uint8_t> buffer) override {
    tablemark::Transfer result;
    while (result.count < buffer.size()) {
      const ssize_t got = pread(fd_, buffer.data() + result.count, buffer.size() - result.count,
                                static_cast<off_t>(offset + result.count));
      if (got < 0) return {tablemark::Status::Failed(errno), result.count};
      if (got == 0) break;
      result.count += static_cast<std::size_t>(got);
    }
    return result;
  }

 private:
  int fd_;
  bool ok_ = false;
  std::uint64_t size_ = 0;
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

// Reads the sample of one table into `sampler`; false when a read failed.
bool Sample(int dirFd, const char* name, tablemark::TableSampler& sampler) {
  {
    Opened table(dirFd, name);
    if (!table.ok() ||
        sampler.readTable(table, table.size()) != tablemark::TableSampler::Outcome::Read) {
      return false;
    }
  }
  if (!sampler.wantsMemoFile()) return true;
  Opened memo(dirFd, MemoName(name).c_str());
  return memo.ok() && sampler.readMemos(memo, memo.size()).status.ok();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  DIR* dir = opendir(argv[1]);
  if (dir == nullptr) return 2;
  tablemark::TableSampler sampler;
  uchardet_t detector = uchardet_new();
  std::string line;
  int status = 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_type == DT_DIR || !IsTableName(entry->d_name)) continue;
    line = entry->d_name;
    if (Sample(dirfd(dir), entry->d_name, sampler)) {
      uchardet_reset(detector);
      if (uchardet_handle_data(detector, reinterpret_cast<const char*>(sampler.text().data()),
                               sampler.text().size()) == 0) {
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
