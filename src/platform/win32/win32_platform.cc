#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <cstdio>
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

bool Fail(ErrorCode& error) {
  error = static_cast<ErrorCode>(GetLastError());
  return false;
}

Transfer LastErrorTransfer() { return Transfer{static_cast<ErrorCode>(GetLastError()), 0}; }

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

void Win32Platform::writeLine(ConsoleStream stream, std::u16string_view text) {
  FILE* out = stream == ConsoleStream::Output ? stdout : stderr;
  Widen(text, wide_);
  bytes_.clear();
  if (!wide_.empty()) {
    // The OEM code page, as CharToOemW converts; sized first, since a
    // double-byte OEM code page can need two bytes a character.
    const int length = static_cast<int>(wide_.size());
    const int size =
        WideCharToMultiByte(CP_OEMCP, 0, wide_.data(), length, nullptr, 0, nullptr, nullptr);
    bytes_.resize(static_cast<std::size_t>(size > 0 ? size : 0));
    if (size > 0) {
      WideCharToMultiByte(CP_OEMCP, 0, wide_.data(), length, bytes_.data(), size, nullptr, nullptr);
    }
  }
  bytes_ += '\n';  // the stream is in text mode: this becomes CR LF
  // A console that cannot be written to does not change the run's outcome.
  (void)std::fwrite(bytes_.data(), 1, bytes_.size(), out);
  (void)std::fflush(out);
}

void Win32Platform::appendErrorText(ErrorCode code, std::u16string& out) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                     static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length != 0 && text != nullptr) out.append(text, text + length);
  if (text != nullptr) LocalFree(text);
}

bool Win32Platform::currentDirectory(std::u16string& path, ErrorCode& error) {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return Fail(error);
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(length);  // the length needed, NUL included
  }
  path.assign(buffer.begin(), buffer.end());
  return true;
}

bool Win32Platform::pathExists(const std::u16string& path, ErrorCode& error) {
  Widen(path, wide_);
  if (GetFileAttributesW(wide_.c_str()) == INVALID_FILE_ATTRIBUTES) return Fail(error);
  return true;
}

bool Win32Platform::startSearch(const std::u16string& directory, DirectorySearch& search,
                                DirectoryEntry& first, ErrorCode& error) {
  Widen(directory, wide_);
  wide_ += L"*.*";
  auto state = std::make_unique<Search>();
  state->find = FindFirstFileW(wide_.c_str(), &state->data);
  if (state->find == INVALID_HANDLE_VALUE) return Fail(error);
  Deliver(state->data, first);
  search.adopt(*this, reinterpret_cast<std::intptr_t>(state.release()));
  return true;
}

SearchStep Win32Platform::nextEntry(DirectorySearch& search, DirectoryEntry& entry,
                                    ErrorCode& error) {
  Search* state = AsSearch(search.native());
  if (FindNextFileW(state->find, &state->data) == FALSE) {
    const DWORD code = GetLastError();
    if (code == ERROR_NO_MORE_FILES) return SearchStep::End;
    error = static_cast<ErrorCode>(code);
    return SearchStep::Failed;
  }
  Deliver(state->data, entry);
  return SearchStep::Entry;
}

bool Win32Platform::openTable(const DirectorySearch& /*search*/, const std::u16string& directory,
                              const DirectoryEntry& entry, TableFile& file, ErrorCode& error) {
  return open(directory, entry.name, GENERIC_READ | GENERIC_WRITE, 0, file, error);
}

bool Win32Platform::openForReading(const DirectorySearch& /*search*/,
                                   const std::u16string& directory, const DirectoryEntry& entry,
                                   TableFile& file, std::uint64_t& size, ErrorCode& error) {
  // Shared for reading and writing: a program that has the table open goes
  // on undisturbed.
  if (!open(directory, entry.name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, file, error)) {
    return false;
  }
  LARGE_INTEGER length{};
  if (GetFileSizeEx(AsHandle(file.native()), &length) == FALSE) {
    file.reset();
    return Fail(error);
  }
  size = static_cast<std::uint64_t>(length.QuadPart);
  return true;
}

bool Win32Platform::open(const std::u16string& directory, std::u16string_view name, DWORD access,
                         DWORD share, TableFile& file, ErrorCode& error) {
  Widen(directory, wide_);
  wide_.append(name.begin(), name.end());
  HANDLE handle = CreateFileW(wide_.c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail(error);
  file.adopt(*this, reinterpret_cast<std::intptr_t>(handle));
  // A device name such as CON.dbf opens the console, whose first read would
  // wait for the keyboard; a pipe would wait for a writer.
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    file.reset();
    error = ERROR_NOT_SUPPORTED;
    return false;
  }
  return true;
}

Transfer Win32Platform::readAt(TableFile& file, std::uint64_t offset,
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
      result.error = static_cast<ErrorCode>(code);
      return result;
    }
    if (got == 0) break;
    result.count += got;
  }
  return result;
}

Transfer Win32Platform::readTable(TableFile& file, std::span<std::uint8_t> buffer) {
  DWORD got = 0;
  if (ReadFile(AsHandle(file.native()), buffer.data(), static_cast<DWORD>(buffer.size()), &got,
               nullptr) == FALSE) {
    return LastErrorTransfer();
  }
  return Transfer{0, got};
}

bool Win32Platform::seekTable(TableFile& file, std::uint32_t offset, ErrorCode& error) {
  if (SetFilePointer(AsHandle(file.native()), static_cast<LONG>(offset), nullptr, FILE_BEGIN) ==
      INVALID_SET_FILE_POINTER) {
    return Fail(error);
  }
  return true;
}

Transfer Win32Platform::writeTable(TableFile& file, std::span<const std::uint8_t> bytes) {
  DWORD written = 0;
  if (WriteFile(AsHandle(file.native()), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                nullptr) == FALSE) {
    return LastErrorTransfer();
  }
  return Transfer{0, written};
}

bool Win32Platform::closeWrittenTable(TableFile& file, ErrorCode& error) {
  if (CloseHandle(AsHandle(file.release())) == FALSE) return Fail(error);
  return true;
}

void Win32Platform::releaseTable(std::intptr_t native) { CloseHandle(AsHandle(native)); }

void Win32Platform::releaseSearch(std::intptr_t native) {
  std::unique_ptr<Search> state(AsSearch(native));
  FindClose(state->find);
}

}  // namespace tablemark::win32
