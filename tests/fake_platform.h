// An in-memory platform for the unit tests: directories and files live in
// memory, every call can be made to fail with any code, and the console is
// recorded line by line.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tablemark::testing {

// A failure to inject: the call fails and the system gives `code`.
struct Fault {
  ErrorCode code = 0;
};

struct FakeFile {
  std::u16string name;
  bool isDirectory = false;
  std::vector<std::uint8_t> bytes;
  std::optional<Fault> openFault, readFault, seekFault, writeFault, closeFault;
  std::optional<Fault> writeOpenFault;  // only an open for writing fails
  // Another program writes this into byte 29 just before an open for writing.
  std::optional<std::uint8_t> markOnWriteOpen;
  std::optional<std::size_t> writeCount;        // bytes a write claims, when set
  std::optional<std::size_t> readsBeforeFault;  // readFault strikes after this many reads
  std::size_t bytesRead = 0;                    // by readAt
  int writes = 0;                               // successful write calls
};

struct ConsoleLine {
  ConsoleStream stream;
  std::u16string text;
  bool operator==(const ConsoleLine&) const = default;
};

// Test failures read as text: UTF-16 shown as UTF-8.
std::string Utf8(std::u16string_view text);
std::string Utf8(const std::vector<std::u16string>& texts);  // joined by spaces
void PrintTo(const ConsoleLine& line, std::ostream* out);

class FakeConsole final : public Console {
 public:
  explicit FakeConsole(Dialect dialect) : dialect_(dialect) {}
  std::vector<ConsoleLine> lines;  // as written
  // Standard output fails with this code once it took this many lines.
  std::optional<std::size_t> outputLinesBeforeFault;
  Fault outputFault;

  // What standard output does not show as itself.
  std::u32string unshown;

  Status writeLine(ConsoleStream stream, std::u16string_view text) override;
  // "system text <code>", with a Windows text's CR LF.
  void appendErrorText(ErrorCode code, std::u16string& out) override;
  bool showsExactly(char32_t c) override { return unshown.find(c) == std::u32string::npos; }
  // UTF-8, whatever `utf8` says.
  void decodeText(std::string_view bytes, bool utf8, std::u16string& out) override;

 private:
  Dialect dialect_;
};

class FakeFileSystem final : public FileSystem {
 public:
  explicit FakeFileSystem(Dialect dialect) : separator_(PathSeparator(dialect)) {}
  ~FakeFileSystem() override;

  // Set-up. Paths are given without a trailing separator.
  void addDirectory(const std::u16string& path);
  FakeFile& addFile(const std::u16string& directory, const std::u16string& name,
                    std::vector<std::uint8_t> bytes = {});
  FakeFile& addSubdirectory(const std::u16string& directory, const std::u16string& name);
  FakeFile& file(const std::u16string& directory, const std::u16string& name);

  std::u16string workingDirectory = u"/work";
  // Files named by the user (a restore FILE) by path, and standard input;
  // a path not there fails to open with code 2.
  std::map<std::u16string, std::string> userFiles;
  std::string standardInput;
  std::optional<Fault> userFileReadFault;
  std::optional<Fault> currentDirectoryFault, pathExistsFault, startSearchFault;
  // The search ends after delivering this many entries; with `breakFault`
  // it fails there instead.
  std::optional<std::size_t> entriesBeforeBreak;
  std::optional<Fault> breakFault;

  // What happened.
  std::vector<std::u16string> events;  // "open x", "close x", "next", "end search"
  int openFiles = 0;
  int openSearches = 0;

  Status currentDirectory(std::u16string& path) override;
  Status pathExists(const std::u16string& path) override;
  Status startSearch(const std::u16string& directory, DirectorySearch& search,
                     DirectoryEntry& first) override;
  SearchStep nextEntry(DirectorySearch& search, DirectoryEntry& entry) override;
  Status openTable(const DirectorySearch& search, const std::u16string& directory,
                   const DirectoryEntry& entry, TableFile& file) override;
  Status openForReading(const DirectorySearch& search, const std::u16string& directory,
                        const DirectoryEntry& entry, TableFile& file, std::uint64_t& size) override;
  Transfer readAt(TableFile& file, std::uint64_t offset, std::span<std::uint8_t> buffer) override;
  Transfer readTable(TableFile& file, std::span<std::uint8_t> buffer) override;
  Status seekTable(TableFile& file, std::uint32_t offset) override;
  Transfer writeTable(TableFile& file, std::span<const std::uint8_t> bytes) override;
  Status closeWrittenTable(TableFile& file) override;
  Status readWholeFile(const std::u16string& path, std::string& bytes, bool& opened) override;
  Status readStandardInput(std::string& bytes) override;
  // Letter case folded (A-Z only) where the dialect is Windows'.
  void nameKey(std::u16string_view name, std::u16string& key) override;

 private:
  void releaseTable(std::intptr_t native) override;
  void releaseSearch(std::intptr_t native) override;

  struct Search {
    std::u16string directory;
    std::size_t next = 0;
  };
  struct Open {
    FakeFile* file;
    std::size_t position = 0;
  };
  std::u16string key(std::u16string path) const;
  SearchStep deliver(Search& state, DirectoryEntry& entry);
  Status open(const DirectorySearch& search, const std::u16string& directory,
              const std::u16string& name, TableFile& file, FakeFile*& opened);

  char16_t separator_;
  std::map<std::u16string, std::vector<FakeFile>> directories_;
  std::map<std::intptr_t, Search> searches_;
  std::map<std::intptr_t, Open> opens_;
  std::intptr_t nextHandle_ = 1;
};

// The system's libraries, or none at all.
class FakeLibraries final : public SharedLibraries {
 public:
  bool missing = false;
  void* find(const char* library, const char* symbol) override;
};

// The three, as a run is given them.
struct FakePlatform {
  explicit FakePlatform(Dialect dialect = Dialect::Posix)
      : console(dialect), files(dialect), platform{dialect, console, files, libraries} {}
  FakeConsole console;
  FakeFileSystem files;
  FakeLibraries libraries;
  Platform platform;
};

}  // namespace tablemark::testing
