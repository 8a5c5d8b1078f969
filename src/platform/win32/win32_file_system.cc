#include "platform/win32/win32_file_system.h"

#include <windows.h>

#include <cwchar>
#include <memory>

namespace tablemark::win32 {
namespace {

// wchar_t is UTF-16 on Windows: text crosses by copying code units.
void Widen(std::u16string_view text, std::wstring& out) { out.assign(text.begin(), text.end()); }

void Narrow(const wchar_t* text, std::u16string& out) {
  out.assign(text, text + std::wcslen(text));
}

// The platform keeps its handles in an integer the core does not look into.
HANDLE AsHandle(std::intptr_t native) {
  return reinterpret_cast<HANDLE>(native);  // NOLINT(performance-no-int-to-ptr)
}

Status LastError() { return Status::Failed(static_cast<ErrorCode>(GetLastError())); }

// One directory search: the find handle and the entry data it fills.
struct Search {
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data{};
};

Search* AsSearch(std::intptr_t native) {
  return reinterpret_cast<Search*>(native);  // NOLINT(performance-no-int-to-ptr)
}

void Deliver(const WIN32_FIND_DATAW& data, DirectoryEntry& entry) {
  Narrow(data.cFileName, entry.name);
  entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

Status Win32FileSystem::currentDirectory(std::u16string& path) {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return LastError();
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(length);  // the length needed, NUL included
  }
  path.assign(buffer.begin(), buffer.end());
  return Status::Ok();
}

Status Win32FileSystem::pathExists(const std::u16string& path) {
  Widen(path, wide_);
  if (GetFileAttributesW(wide_.c_str()) == INVALID_FILE_ATTRIBUTES) return LastError();
  return Status::Ok();
}

Status Win32FileSystem::startSearch(const std::u16string& directory, DirectorySearch& search,
                                    DirectoryEntry& first) {
  Widen(directory, wide_);
  wide_ += L"*.*";
  auto state = std::make_unique<Search>();
  state->find = FindFirstFileW(wide_.c_str(), &state->data);
  if (state->find == INVALID_HANDLE_VALUE) return LastError();
  Deliver(state->data, first);
  search.adopt(*this, reinterpret_cast<std::intptr_t>(state.release()));
  return Status::Ok();
}

SearchStep Win32FileSystem::nextEntry(DirectorySearch& search, DirectoryEntry& entry) {
  Search* state = AsSearch(search.native());
  if (FindNextFileW(state->find, &state->data) == FALSE) {
    const DWORD code = GetLastError();
    if (code == ERROR_NO_MORE_FILES) return {SearchStep::End};
    return {SearchStep::Failed, static_cast<ErrorCode>(code)};
  }
  Deliver(state->data, entry);
  return {SearchStep::Entry};
}

Status Win32FileSystem::openTable(const DirectorySearch& /*search*/,
                                  const std::u16string& directory, const DirectoryEntry& entry,
                                  TableFile& file) {
  return open(directory, entry.name, GENERIC_READ | GENERIC_WRITE, 0, file);
}

Status Win32FileSystem::openForReading(const DirectorySearch& /*search*/,
                                       const std::u16string& directory, const DirectoryEntry& entry,
                                       TableFile& file, std::uint64_t& size) {
  // Shared for reading and writing: a program that has the table open goes
  // on undisturbed.
  const Status opened =
      open(directory, entry.name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, file);
  if (!opened.ok()) return opened;
  LARGE_INTEGER length{};
  if (GetFileSizeEx(AsHandle(file.native()), &length) == FALSE) {
    const Status failed = LastError();
    file.reset();
    return failed;
  }
  size = static_cast<std::uint64_t>(length.QuadPart);
  return Status::Ok();
}

Status Win32FileSystem::open(const std::u16string& directory, std::u16string_view name,
                             DWORD access, DWORD share, TableFile& file) {
  Widen(directory, wide_);
  wide_.append(name.begin(), name.end());
  HANDLE handle = CreateFileW(wide_.c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  file.adopt(*this, reinterpret_cast<std::intptr_t>(handle));
  // A device name such as CON.dbf opens the console, whose first read would
  // wait for the keyboard; a pipe would wait for a writer.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    file.reset();
    return Status::Failed(ERROR_NOT_SUPPORTED);
  }
  return Status::Ok();
}

Transfer Win32FileSystem::readAt(TableFile& file, std::uint64_t offset,
                                 std::span<std::uint8_t> buffer) {
  // The offset travels with each read; a synchronous handle's position is
  // left where that read ends, which no later call relies on.
  Transfer result;
  while (result.count < buffer.size()) {
    OVERLAPPED at{};
    const std::uint64_t where = offset + result.count;
    at.Offset = static_cast<DWORD>(where & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD got = 0;
    if (ReadFile(AsHandle(file.native()), buffer.data() + result.count,
                 static_cast<DWORD>(buffer.size() - result.count), &got, &at) == FALSE) {
      const DWORD code = GetLastError();
      if (code == ERROR_HANDLE_EOF) break;
      result.status = Status::Failed(static_cast<ErrorCode>(code));
      return result;
    }
    if (got == 0) break;
    result.count += got;
  }
  return result;
}

Transfer Win32FileSystem::readTable(TableFile& file, std::span<std::uint8_t> buffer) {
  DWORD got = 0;
  if (ReadFile(AsHandle(file.native()), buffer.data(), static_cast<DWORD>(buffer.size()), &got,
               nullptr) == FALSE) {
    return {LastError(), 0};
  }
  return {Status::Ok(), got};
}

Status Win32FileSystem::seekTable(TableFile& file, std::uint32_t offset) {
  if (SetFilePointer(AsHandle(file.native()), static_cast<LONG>(offset), nullptr, FILE_BEGIN) ==
      INVALID_SET_FILE_POINTER) {
    return LastError();
  }
  return Status::Ok();
}

Transfer Win32FileSystem::writeTable(TableFile& file, std::span<const std::uint8_t> bytes) {
  DWORD written = 0;
  if (WriteFile(AsHandle(file.native()), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                nullptr) == FALSE) {
    return {LastError(), 0};
  }
  return {Status::Ok(), written};
}

Status Win32FileSystem::closeWrittenTable(TableFile& file) {
  return CloseHandle(AsHandle(file.release())) == FALSE ? LastError() : Status::Ok();
}

namespace {

// Reads `handle` to its end; a pipe as well as a file.
Status ReadToEnd(HANDLE handle, std::string& bytes) {
  bytes.clear();
  char buffer[65536];
  while (true) {
    DWORD got = 0;
    if (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) == FALSE) {
      // A pipe whose writer is done says so this way.
      if (GetLastError() == ERROR_BROKEN_PIPE) return Status::Ok();
      return LastError();
    }
    if (got == 0) return Status::Ok();
    bytes.append(buffer, got);
  }
}

}  // namespace

Status Win32FileSystem::readWholeFile(const std::u16string& path, std::string& bytes,
                                      bool& opened) {
  Widen(path, wide_);
  HANDLE handle = CreateFileW(wide_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  opened = handle != INVALID_HANDLE_VALUE;
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  const Status read = ReadToEnd(handle, bytes);
  CloseHandle(handle);
  return read;
}

Status Win32FileSystem::readStandardInput(std::string& bytes) {
  return ReadToEnd(GetStdHandle(STD_INPUT_HANDLE), bytes);
}

void Win32FileSystem::nameKey(std::u16string_view name, std::u16string& key) {
  // The file system folds letter case by its own table of capitals; the
  // invariant locale's capitals are that table's.
  Widen(name, wide_);
  key.assign(name);
  if (wide_.empty()) return;
  std::wstring upper(wide_.size(), L'\0');
  const int size = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide_.data(),
                                 static_cast<int>(wide_.size()), upper.data(),
                                 static_cast<int>(upper.size()), nullptr, nullptr, 0);
  if (size > 0) key.assign(upper.begin(), upper.begin() + size);
}

void Win32FileSystem::releaseTable(std::intptr_t native) { CloseHandle(AsHandle(native)); }

void Win32FileSystem::releaseSearch(std::intptr_t native) {
  std::unique_ptr<Search> state(AsSearch(native));
  FindClose(state->find);
}

}  // namespace tablemark::win32
