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
// Fixing: between the read and the write, another program changed the mark.
inline constexpr std::u16string_view kChangedMeanwhilePattern =
    u"Файл %s изменён другой программой после чтения";
// A new mark and the structural index: the tags to rebuild, or to make anew
// where the new code page does not offer their collation; the index missing
// or not one.
inline constexpr std::u16string_view kReindexPattern =
    u"Для файла %s в индексе %s тег %s с сортировкой %s нужно перестроить (REINDEX)";
inline constexpr std::u16string_view kRecreatePattern =
    u"Для файла %s в индексе %s тег %s с сортировкой %s нужно создать заново с другой "
    u"сортировкой";
inline constexpr std::u16string_view kMissingIndexPattern = u"Для файла %s не найден индекс %s";
inline constexpr std::u16string_view kDamagedIndexPattern =
    u"Файл %s не является индексом Visual Foxpro";
// Restoring: a line of the FILE that is wrong, by its number; nothing is
// written while any is.
namespace restore {
inline constexpr std::u16string_view kBadForm =
    u"Строка %d файла %s: ожидается имя таблицы, табуляция и кодовая страница";
inline constexpr std::u16string_view kNotAName = u"Строка %d файла %s: %s не является именем файла";
inline constexpr std::u16string_view kNoTable = u"Строка %d файла %s: в каталоге нет таблицы %s";
inline constexpr std::u16string_view kNoMark =
    u"Строка %d файла %s: у кодовой страницы %s нет метки";
inline constexpr std::u16string_view kNamedTwice =
    u"Строка %d файла %s: таблица %s уже названа в строке %d";
}  // namespace restore

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

// Writes `text` and a line end to `stream`, then flushes it. A message
// that standard error cannot take is lost: there is nowhere to say so.
void ReportToConsole(Console& console, std::u16string_view text, ConsoleStream stream);

// Writes a line of the run's output to standard output. A line that cannot
// be written ends the run ("В функции WriteFile() возникла ошибка %d: %s"):
// a script that keeps the output must not take an empty record for success.
void WriteOutputLine(Console& console, std::u16string_view text);

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

// "Файл %s изменён другой программой после чтения", on standard error.
void ReportChangedMeanwhile(Console& console, std::u16string_view fileName);

// The stale index messages above, on standard error. `tag` and `collation`
// are shown as they are given; the file names as the console shows names.
void ReportStaleTag(Console& console, std::u16string_view tableName, std::u16string_view indexName,
                    std::u16string_view tag, std::u16string_view collation, bool offered);
void ReportMissingIndex(Console& console, std::u16string_view tableName,
                        std::u16string_view indexName);
void ReportDamagedIndex(Console& console, std::u16string_view indexName);

// A bad line of a restore FILE: `pattern` (of namespace restore) with the
// line's number, the FILE's name, the name or code page the line gives and
// the earlier line that named the same table, as the pattern asks for them.
void ReportBadRestoreLine(Console& console, std::u16string_view pattern, std::size_t line,
                          std::u16string_view file, std::u16string_view name = {},
                          std::size_t earlierLine = 0);

}  // namespace tablemark
