#include "fake_platform.h"

#include <stdexcept>

#include "platform/posix/posix_shared_library.h"
#include "platform/posix/utf8_escape.h"

namespace tablemark::testing {

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

Status FakeConsole::writeLine(ConsoleStream stream, std::u16string_view text) {
  if (stream == ConsoleStream::Output && outputLinesBeforeFault) {
    if (*outputLinesBeforeFault == 0) return Status::Failed(outputFault.code);
    --*outputLinesBeforeFault;
  }
  lines.push_back({stream, std::u16string(text)});
  return Status::Ok();
}

void FakeConsole::appendErrorText(ErrorCode code, std::u16string& out) {
  const std::string digits = std::to_string(code);
  out += u"system text ";
  out.append(digits.begin(), digits.end());
  if (dialect_ == Dialect::Windows) out += u"\r\n";
}

void FakeConsole::decodeText(std::string_view bytes, bool /*utf8*/, std::u16string& out) {
  posix::DecodeBytes(bytes, out);
}

void* FakeLibraries::find(const char* library, const char* symbol) {
  posix::PosixSharedLibraries system;
  return missing ? nullptr : system.find(library, symbol);
}

FakeFileSystem::~FakeFileSystem() = default;

std::u16string FakeFileSystem::key(std::u16string path) const {
  while (path.size() > 1 && path.back() == separator_) path.pop_back();
  return path;
}

void FakeFileSystem::addDirectory(const std::u16string& path) { directories_[key(path)]; }

FakeFile& FakeFileSystem::addFile(const std::u16string& directory, const std::u16string& name,
                                  std::vector<std::uint8_t> bytes) {
  FakeFile& entry = directories_[key(directory)].emplace_back();
  entry.name = name;
  entry.bytes = std::move(bytes);
  return entry;
}

FakeFile& FakeFileSystem::addSubdirectory(const std::u16string& directory,
                                          const std::u16string& name) {
  FakeFile& entry = addFile(directory, name);
  entry.isDirectory = true;
  return entry;
}

FakeFile& FakeFileSystem::file(const std::u16string& directory, const std::u16string& name) {
  for (FakeFile& entry : directories_.at(key(directory))) {
    if (entry.name == name) return entry;
  }
  throw std::out_of_range("no such fake file");
}

Status FakeFileSystem::currentDirectory(std::u16string& path) {
  if (currentDirectoryFault) return Status::Failed(currentDirectoryFault->code);
  path = workingDirectory;
  return Status::Ok();
}

Status FakeFileSystem::pathExists(const std::u16string& path) {
  if (pathExistsFault) return Status::Failed(pathExistsFault->code);
  const std::u16string whole = key(path);
  if (directories_.count(whole) != 0) return Status::Ok();
  // A file counts as existing too.
  const std::size_t cut = whole.rfind(separator_);
  const auto parent = cut == std::u16string::npos
                          ? directories_.end()
                          : directories_.find(key(whole.substr(0, cut == 0 ? 1 : cut)));
  if (parent != directories_.end()) {
    for (const FakeFile& entry : parent->second) {
      if (entry.name == whole.substr(cut + 1)) return Status::Ok();
    }
  }
  return Status::Failed(2);
}

Status FakeFileSystem::startSearch(const std::u16string& directory, DirectorySearch& search,
                                   DirectoryEntry& first) {
  events.push_back(u"start " + directory);
  if (startSearchFault) return Status::Failed(startSearchFault->code);
  const auto found = directories_.find(key(directory));
  // ERROR_DIRECTORY, as Windows reports a file searched as a directory.
  if (found == directories_.end()) return Status::Failed(267);
  const std::intptr_t handle = nextHandle_++;
  searches_[handle] = Search{found->first};
  search.adopt(*this, handle);
  ++openSearches;
  const SearchStep step = deliver(searches_[handle], first);
  if (step.kind == SearchStep::Entry) return Status::Ok();
  search.reset();
  // ERROR_NO_MORE_FILES, where the list is empty.
  return Status::Failed(step.kind == SearchStep::End ? 18 : step.code);
}

SearchStep FakeFileSystem::nextEntry(DirectorySearch& search, DirectoryEntry& entry) {
  events.push_back(u"next");
  return deliver(searches_.at(search.native()), entry);
}

SearchStep FakeFileSystem::deliver(Search& state, DirectoryEntry& entry) {
  const auto& entries = directories_.at(state.directory);
  if (entriesBeforeBreak && state.next >= *entriesBeforeBreak) {
    if (!breakFault) return {SearchStep::End};
    return {SearchStep::Failed, breakFault->code};
  }
  if (state.next >= entries.size()) return {SearchStep::End};
  entry.name = entries[state.next].name;
  entry.isDirectory = entries[state.next].isDirectory;
  ++state.next;
  return {SearchStep::Entry};
}

Status FakeFileSystem::open(const DirectorySearch& search, const std::u16string& directory,
                            const std::u16string& name, TableFile& file, FakeFile*& opened) {
  events.push_back(u"open " + directory + name);
  const std::u16string& searched = searches_.at(search.native()).directory;
  if (key(directory) != searched) throw std::logic_error("opened outside the searched directory");
  FakeFile& target = this->file(searched, name);
  if (target.openFault) return Status::Failed(target.openFault->code);
  const std::intptr_t handle = nextHandle_++;
  opens_[handle] = Open{&target};
  file.adopt(*this, handle);
  ++openFiles;
  opened = &target;
  return Status::Ok();
}

Status FakeFileSystem::openTable(const DirectorySearch& search, const std::u16string& directory,
                                 const DirectoryEntry& entry, TableFile& file) {
  FakeFile& target = this->file(searches_.at(search.native()).directory, entry.name);
  if (target.writeOpenFault) return Status::Failed(target.writeOpenFault->code);
  if (target.markOnWriteOpen && target.bytes.size() > 29)
    target.bytes[29] = *target.markOnWriteOpen;
  FakeFile* opened = nullptr;
  return open(search, directory, entry.name, file, opened);
}

Status FakeFileSystem::openForReading(const DirectorySearch& search,
                                      const std::u16string& directory, const DirectoryEntry& entry,
                                      TableFile& file, std::uint64_t& size) {
  FakeFile* opened = nullptr;
  const Status status = open(search, directory, entry.name, file, opened);
  if (status.ok()) size = opened->bytes.size();
  return status;
}

Transfer FakeFileSystem::readAt(TableFile& file, std::uint64_t offset,
                                std::span<std::uint8_t> buffer) {
  FakeFile& target = *opens_.at(file.native()).file;
  if (target.readFault && (!target.readsBeforeFault || *target.readsBeforeFault == 0)) {
    return {Status::Failed(target.readFault->code), 0};
  }
  if (target.readsBeforeFault) --*target.readsBeforeFault;
  std::size_t count = 0;
  for (; count < buffer.size() && offset + count < target.bytes.size(); ++count) {
    buffer[count] = target.bytes[offset + count];
  }
  target.bytesRead += count;
  return {Status::Ok(), count};
}

Transfer FakeFileSystem::readTable(TableFile& file, std::span<std::uint8_t> buffer) {
  Open& open = opens_.at(file.native());
  if (open.file->readFault) return {Status::Failed(open.file->readFault->code), 0};
  const Transfer read = readAt(file, open.position, buffer);
  open.position += read.count;
  return read;
}

Status FakeFileSystem::seekTable(TableFile& file, std::uint32_t offset) {
  Open& open = opens_.at(file.native());
  if (open.file->seekFault) return Status::Failed(open.file->seekFault->code);
  open.position = offset;
  return Status::Ok();
}

Transfer FakeFileSystem::writeTable(TableFile& file, std::span<const std::uint8_t> bytes) {
  Open& open = opens_.at(file.native());
  if (open.file->writeFault) return {Status::Failed(open.file->writeFault->code), 0};
  if (open.file->writeCount) return {Status::Ok(), *open.file->writeCount};
  auto& content = open.file->bytes;
  if (open.position + bytes.size() > content.size()) content.resize(open.position + bytes.size());
  std::copy(bytes.begin(), bytes.end(),
            content.begin() + static_cast<std::ptrdiff_t>(open.position));
  open.position += bytes.size();
  ++open.file->writes;
  return {Status::Ok(), bytes.size()};
}

Status FakeFileSystem::closeWrittenTable(TableFile& file) {
  const std::optional<Fault> fault = opens_.at(file.native()).file->closeFault;
  releaseTable(file.release());
  return fault ? Status::Failed(fault->code) : Status::Ok();
}

Status FakeFileSystem::readWholeFile(const std::u16string& path, std::string& bytes, bool& opened) {
  const auto found = userFiles.find(path);
  opened = found != userFiles.end();
  if (found == userFiles.end()) return Status::Failed(2);
  if (userFileReadFault) return Status::Failed(userFileReadFault->code);
  bytes = found->second;
  return Status::Ok();
}

Status FakeFileSystem::readStandardInput(std::string& bytes) {
  if (userFileReadFault) return Status::Failed(userFileReadFault->code);
  bytes = standardInput;
  return Status::Ok();
}

void FakeFileSystem::nameKey(std::u16string_view name, std::u16string& key) {
  key.assign(name);
  if (separator_ != u'\\') return;
  for (char16_t& c : key) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
}

void FakeFileSystem::releaseTable(std::intptr_t native) {
  events.push_back(u"close " + opens_.at(native).file->name);
  opens_.erase(native);
  --openFiles;
}

void FakeFileSystem::releaseSearch(std::intptr_t native) {
  events.push_back(u"end search");
  searches_.erase(native);
  --openSearches;
}

}  // namespace tablemark::testing
