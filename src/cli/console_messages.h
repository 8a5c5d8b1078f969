// Every text Tablemark shows, and how it reaches the console.
//
// Texts are composed as UTF-16 and handed to the platform, which converts
// them to the console's character set. The usage text goes to standard
// output, every message to standard error; success is silent.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tablemark {

// The run's buffer for composed messages; the next message overwrites it.
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

// The usage text for the dialect, without its final line end.
std::u16string UsageText(Dialect dialect);

// Writes `text` and a line end to `stream`, then flushes it.
void ReportToConsole(Platform& platform, std::u16string_view text, ConsoleStream stream);

// The usage text on standard output.
void ShowUsage(Platform& platform);

// The usage text and what the long words do, on standard output (--help).
void ShowLongHelp(Platform& platform);

// "tablemark <version>" on standard output; the version is the build's.
void ShowVersion(Platform& platform);

// "В функции %s возникла ошибка %d: %s" with the system's text for `code`.
void FormatCallError(Platform& platform, std::u16string_view label, ErrorCode code,
                     MessageBuffer& out);

// "Для файла %s, в функции %s возникла ошибка %d: %s".
void FormatFileCallError(Platform& platform, std::u16string_view fileName,
                         std::u16string_view label, ErrorCode code, MessageBuffer& out);

// The last-error rule for a failed call at run level: the coded form when
// the system gave a code, "Неожиданная ошибка в функции <label>" when not.
void ComposeCallFailure(Platform& platform, std::u16string_view label, ErrorCode code,
                        MessageBuffer& out);

// The same rule at file level, reported on standard error at once.
void ReportFileCallFailure(Platform& platform, std::u16string_view fileName,
                           std::u16string_view label, ErrorCode code, MessageBuffer& out);

// "Для файла %s не найден мемо-файл %s", reported on standard error.
void ReportMissingMemo(Platform& platform, std::u16string_view fileName,
                       std::u16string_view memoName, MessageBuffer& out);

// "Файл %s не является Visual Foxpro таблицей", reported on standard error.
void ReportNotATable(Platform& platform, std::u16string_view fileName, MessageBuffer& out);

}  // namespace tablemark
