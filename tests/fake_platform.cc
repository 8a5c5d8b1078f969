#include "fake_platform.h"

#include <stdexcept>

#include "platform/posix/utf8_escape.h"

namespace tablemark::testing {
namespace {

std::u16string Number(ErrorCode code) {
  std::string digits = std::to_string(code);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::string Utf8(std::u16string_view text) {
  std::string bytes;
  posix::EncodeBytes(text, bytes);
  return bytes;
}

std::string Utf8(const std::vector<std::u16string>& texts) {
  std::string joined;
  for (const std::u16string& text : texts) {
    if (!joined.empty()) joined += ' ';
    joined += Utf8(text);
  }
  return joined;
}

void PrintTo(const ConsoleLine& line, std::ostream* out) {
  *out << (line.stream == ConsoleStream::Output ? "stdout: " : "stderr: ") << Utf8(line.text);
}

FakePlatform::~FakePlatform() = default;

std::u16string FakePlatform::key(std::u16string path) const {
  const char16_t separator = dialect_ == Dialect::Windows ? u'\\' : u'/';
  while (path.size() > 1 && path.back() == separator) path.pop_back();
  return path;
}

void FakePlatform::addDirectory(const std::u16string& path) { directories_[key(path)]; }

FakeFile& FakePlatform::addFile(const std::u16string& directory, const std::u16string& name,
                                std::vector<std::uint8_t> bytes) {
  auto& entries = directories_[key(directory)];
  FakeFile& entry = entries.emplace_back();
  entry.name = name;
  entry.bytes = std::move(bytes);
  return entry;
}

FakeFile& FakePlatform::addSubdirectory(const std::u16string& directory,
                                        const std::u16string& name) {
  FakeFile& entry = addFile(directory, name);
  entry.isDirectory = true;
  return entry;
}

FakeFile& FakePlatform::file(const std::u16string& directory, const std::u16string& name) {
  for (FakeFile& entry : directories_.at(key(directory))) {
    if (entry.name == name) return entry;
  }
  throw std::out_of_range("no such fake file");
}

void FakePlatform::writeLine(ConsoleStream stream, std::u16string_view text) {
  console.push_back({stream, std::u16string(text)});
}

void FakePlatform::appendErrorText(ErrorCode code, std::u16string& out) {
  out += u"system text " + Number(code);
  if (dialect_ == Dialect::Windows) out += u"\r\n";
}

bool FakePlatform::currentDirectory(std::u16string& path, ErrorCode& error) {
  if (currentDirectoryFault) {
    error = currentDirectoryFault->code;
    return false;
  }
  path = workingDirectory;
  return true;
}

bool FakePlatform::pathExists(const std::u16string& path, ErrorCode& error) {
  if (pathExistsFault) {
    error = pathExistsFault->code;
    return false;
  }
  if (directories_.count(key(path)) != 0) return true;
  // A file counts as existing too.
  const std::u16string whole = key(path);
  const std::size_t cut = whole.find_last_of(u"/\\");
  if (cut != std::u16string::npos) {
    const auto parent = directories_.find(key(whole.substr(0, cut == 0 ? 1 : cut)));
    if (parent != directories_.end()) {
      for (const FakeFile& entry : parent->second) {
        if (entry.name == whole.substr(cut + 1)) return true;
      }
    }
  }
  error = 2;
  return false;
}

SearchStep FakePlatform::deliver(Search& search, DirectoryEntry& entry, ErrorCode& error) {
  const auto& entries = directories_.at(search.directory);
  if (entriesBeforeBreak && search.delivered >= *entriesBeforeBreak) {
    if (!breakFault) return SearchStep::End;
    error = breakFault->code;
    return SearchStep::Failed;
  }
  if (search.next >= entries.size()) return SearchStep::End;
  entry.name = entries[search.next].name;
  entry.isDirectory = entries[search.next].isDirectory;
  ++search.next;
  ++search.delivered;
  return SearchStep::Entry;
}

bool FakePlatform::startSearch(const std::u16string& directory, DirectorySearch& search,
                               DirectoryEntry& first, ErrorCode& error) {
  events.push_back(u"start " + directory);
  if (startSearchFault) {
    error = startSearchFault->code;
    return false;
  }
  const auto found = directories_.find(key(directory));
  if (found == directories_.end()) {
    error = 267;  // ERROR_DIRECTORY, as Windows reports a file searched as a directory
    return false;
  }
  const std::intptr_t handle = nextHandle_++;
  searches_[handle] = Search{found->first};
  search.adopt(*this, handle);
  ++openSearches;
  const SearchStep step = deliver(searches_[handle], first, error);
  if (step == SearchStep::Entry) return true;
  if (step == SearchStep::End) error = 18;  // ERROR_NO_MORE_FILES
  search.reset();
  return false;
}

SearchStep FakePlatform::nextEntry(DirectorySearch& search, DirectoryEntry& entry,
                                   ErrorCode& error) {
  events.push_back(u"next");
  return deliver(searches_.at(search.native()), entry, error);
}

FakeFile* FakePlatform::open(const DirectorySearch& search, const std::u16string& directory,
                             const std::u16string& name, TableFile& file, ErrorCode& error) {
  events.push_back(u"open " + directory + name);
  const std::u16string& searched = searches_.at(search.native()).directory;
  if (key(directory) != searched) throw std::logic_error("opened outside the searched directory");
  FakeFile& target = this->file(searched, name);
  if (target.openFault) {
    error = target.openFault->code;
    return nullptr;
  }
  const std::intptr_t handle = nextHandle_++;
  opens_[handle] = Open{&target};
  file.adopt(*this, handle);
  ++openTables;
  return &target;
}

bool FakePlatform::openTable(const DirectorySearch& search, const std::u16string& directory,
                             const DirectoryEntry& entry, TableFile& file, ErrorCode& error) {
  return open(search, directory, entry.name, file, error) != nullptr;
}

bool FakePlatform::openForReading(const DirectorySearch& search, const std::u16string& directory,
                                  const DirectoryEntry& entry, TableFile& file, std::uint64_t& size,
                                  ErrorCode& error) {
  const FakeFile* opened = open(search, directory, entry.name, file, error);
  if (opened != nullptr) size = opened->bytes.size();
  return opened != nullptr;
}

Transfer FakePlatform::readAt(TableFile& file, std::uint64_t offset,
                              std::span<std::uint8_t> buffer) {
  FakeFile& target = *opens_.at(file.native()).file;
  events.push_back(u"read " + target.name);
  if (target.readFault && (!target.readsBeforeFault || *target.readsBeforeFault == 0)) {
    return Transfer{target.readFault->code, 0};
  }
  if (target.readsBeforeFault) --*target.readsBeforeFault;
  std::size_t count = 0;
  while (count < buffer.size() && offset + count < target.bytes.size()) {
    buffer[count] = target.bytes[offset + count];
    ++count;
  }
  target.bytesRead += count;
  return Transfer{0, count};
}

Transfer FakePlatform::readTable(TableFile& file, std::span<std::uint8_t> buffer) {
  Open& open = opens_.at(file.native());
  if (open.file->readFault) return Transfer{open.file->readFault->code, 0};
  const auto& bytes = open.file->bytes;
  std::size_t count = 0;
  while (count < buffer.size() && open.position < bytes.size()) {
    buffer[count++] = bytes[open.position++];
  }
  return Transfer{0, count};
}

bool FakePlatform::seekTable(TableFile& file, std::uint32_t offset, ErrorCode& error) {
  Open& open = opens_.at(file.native());
  if (open.file->seekFault) {
    error = open.file->seekFault->code;
    return false;
  }
  open.position = offset;
  return true;
}

Transfer FakePlatform::writeTable(TableFile& file, std::span<const std::uint8_t> bytes) {
  Open& open = opens_.at(file.native());
  if (open.file->writeFault) return Transfer{open.file->writeFault->code, 0};
  if (open.file->writeCount) return Transfer{0, *open.file->writeCount};
  auto& content = open.file->bytes;
  for (std::uint8_t byte : bytes) {
    if (open.position >= content.size()) content.resize(open.position + 1);
    content[open.position++] = byte;
  }
  ++open.file->writes;
  return Transfer{0, bytes.size()};
}

bool FakePlatform::closeWrittenTable(TableFile& file, ErrorCode& error) {
  const std::optional<Fault> fault = opens_.at(file.native()).file->closeFault;
  releaseTable(file.release());
  if (fault) error = fault->code;
  return !fault;
}

void FakePlatform::releaseTable(std::intptr_t native) {
  events.push_back(u"close " + opens_.at(native).file->name);
  opens_.erase(native);
  --openTables;
}

void FakePlatform::releaseSearch(std::intptr_t native) {
  events.push_back(u"end search");
  searches_.erase(native);
  --openSearches;
}

}  // namespace tablemark::testing
