// The messages of a run: what a failure says, on standard error, in every
// layer's words alike. Texts are composed as UTF-16 and handed to the
// console, which converts them to its character set. Success is silent.
#pragma once

#include <string>
#include <string_view>

#include "platform/console.h"

namespace tablemark {

// A message being composed; each is composed anew.
using MessageBuffer = std::u16string;

// The one exception that ends a run: its text is reported on standard error
// by the top-level frame and the exit status becomes 2.
class FatalMessage {
 public:
  explicit FatalMessage(std::u16string text) : text_(std::move(text)) {}
  const std::u16string& text() const { return text_; }

 private:
  std::u16string text_;
};

inline constexpr std::u16string_view kBadCodePageText = u"Ошибка в значениее параметра <CodePage>";
inline constexpr std::u16string_view kUnexpectedErrorText = u"Неожиданная ошибка";
inline constexpr std::u16string_view kCallErrorPattern = u"В функции %s возникла ошибка %d: %s";
inline constexpr std::u16string_view kUncodedCallErrorPrefix = u"Неожиданная ошибка в функции ";
inline constexpr std::u16string_view kFileCallErrorPattern =
    u"Для файла %s, в функции %s возникла ошибка %d: %s";
inline constexpr std::u16string_view kUncodedFileCallErrorPattern =
    u"Для файла %s в функции %s возникла неожиданная ошибка";
inline constexpr std::u16string_view kNotATablePattern =
    u"Файл %s не является Visual Foxpro таблицей";
// Detection: the table's memo file is not in its directory.
inline constexpr std::u16string_view kMissingMemoPattern = u"Для файла %s не найден мемо-файл %s";

// Operation labels: the Windows function that failed, as users know it,
// on every platform.
namespace label {
inline constexpr std::u16string_view kGetCurrentDirectory = u"GetCurrentDirectory()";
inline constexpr std::u16string_view kGetFileAttributes = u"GetFileAttributes()";
inline constexpr std::u16string_view kFindFirstFile = u"FindFirstFile()";
inline constexpr std::u16string_view kFindNextFile = u"FindNextFile()";
inline constexpr std::u16string_view kCreateFile = u"CreateFile()";
inline constexpr std::u16string_view kReadFile = u"ReadFile()";
inline constexpr std::u16string_view kSetFilePointer = u"SetFilePointer()";
inline constexpr std::u16string_view kWriteFile = u"WriteFile()";
inline constexpr std::u16string_view kLoadLibrary = u"LoadLibrary()";
}  // namespace label

// Writes `text` and a line end to `stream`, then flushes it.
void ReportToConsole(Console& console, std::u16string_view text, ConsoleStream stream);

// The last-error rule for a failed call at run level: the run ends with
// "В функции %s возникла ошибка %d: %s" and the system's text for `code`,
// or "Неожиданная ошибка в функции <label>" when the system gave no code.
[[noreturn]] void ThrowCallFailure(Console& console, std::u16string_view label, ErrorCode code);

// The same rule at file level, reported on standard error at once:
// "Для файла %s, в функции %s возникла ошибка %d: %s", or
// "Для файла %s в функции %s возникла неожиданная ошибка".
void ReportFileCallFailure(Console& console, std::u16string_view fileName,
                           std::u16string_view label, ErrorCode code);

// "Для файла %s не найден мемо-файл %s", reported on standard error.
void ReportMissingMemo(Console& console, std::u16string_view fileName,
                       std::u16string_view memoName);

// "Файл %s не является Visual Foxpro таблицей", reported on standard error.
void ReportNotATable(Console& console, std::u16string_view fileName);

}  // namespace tablemark
