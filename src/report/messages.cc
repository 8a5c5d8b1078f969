#include "report/messages.h"

#include <array>
#include <cstdint>
#include <initializer_list>

namespace tablemark {
namespace {

// Fills each %s or %d of `pattern` with the next of `args`, in order. The
// arguments are inserted as they are, so a file name holding a % sign is
// never read as a conversion. The arguments whose bits are set in `names`
// are file names, shown as `console` shows names.
void Compose(MessageBuffer& out, std::u16string_view pattern,
             std::initializer_list<std::u16string_view> args, Console* console = nullptr,
             unsigned names = 0) {
  out.clear();
  std::size_t next = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'%' && i + 1 < pattern.size() &&
        (pattern[i + 1] == u's' || pattern[i + 1] == u'd') && next < args.size()) {
      const std::u16string_view arg = args.begin()[next];
      if (console != nullptr && (names >> next & 1) != 0) {
        console->appendShownName(arg, out);
      } else {
        out += arg;
      }
      ++next;
      ++i;
    } else {
      out += pattern[i];
    }
  }
}

// Composes a message of `pattern` and reports it on standard error.
void Report(Console& console, std::u16string_view pattern,
            std::initializer_list<std::u16string_view> args, unsigned names) {
  MessageBuffer message;
  Compose(message, pattern, args, &console, names);
  ReportToConsole(console, message, ConsoleStream::Error);
}

// Signed decimal, as %d prints it.
struct Decimal {
  explicit Decimal(ErrorCode value) {
    std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    std::size_t start = digits.size();
    do {
      digits[--start] = static_cast<char16_t>(u'0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[--start] = u'-';
    text = std::u16string_view(digits.data() + start, digits.size() - start);
  }
  Decimal(const Decimal&) = delete;  // `text` points into `digits`
  Decimal& operator=(const Decimal&) = delete;
  std::array<char16_t, 12> digits{};
  std::u16string_view text;
};

// "В функции %s возникла ошибка %d: %s" with the system's text for `code`.
void FormatCallError(Console& console, std::u16string_view label, ErrorCode code,
                     MessageBuffer& out) {
  std::u16string systemText;
  console.appendErrorText(code, systemText);
  Compose(out, kCallErrorPattern, {label, Decimal(code).text, systemText});
}

// "Для файла %s, в функции %s возникла ошибка %d: %s".
void FormatFileCallError(Console& console, std::u16string_view fileName, std::u16string_view label,
                         ErrorCode code, MessageBuffer& out) {
  std::u16string systemText;
  console.appendErrorText(code, systemText);
  Compose(out, kFileCallErrorPattern, {fileName, label, Decimal(code).text, systemText}, &console,
          0b1);
}

}  // namespace

void ReportToConsole(Console& console, std::u16string_view text, ConsoleStream stream) {
  (void)console.writeLine(stream, text);
}

void WriteOutputLine(Console& console, std::u16string_view text) {
  const Status written = console.writeLine(ConsoleStream::Output, text);
  if (!written.ok()) ThrowCallFailure(console, label::kWriteFile, written.code());
}

void ThrowCallFailure(Console& console, std::u16string_view label, ErrorCode code) {
  MessageBuffer message;
  if (code != 0) {
    FormatCallError(console, label, code, message);
  } else {
    message.assign(kUncodedCallErrorPrefix);
    message += label;
  }
  throw FatalMessage(std::move(message));
}

void ReportFileCallFailure(Console& console, std::u16string_view fileName,
                           std::u16string_view label, ErrorCode code) {
  MessageBuffer message;
  if (code != 0) {
    FormatFileCallError(console, fileName, label, code, message);
  } else {
    Compose(message, kUncodedFileCallErrorPattern, {fileName, label}, &console, 0b1);
  }
  ReportToConsole(console, message, ConsoleStream::Error);
}

void ReportMissingMemo(Console& console, std::u16string_view fileName,
                       std::u16string_view memoName) {
  Report(console, kMissingMemoPattern, {fileName, memoName}, 0b11);
}

void ReportNotATable(Console& console, std::u16string_view fileName) {
  Report(console, kNotATablePattern, {fileName}, 0b1);
}

void ReportChangedMeanwhile(Console& console, std::u16string_view fileName) {
  Report(console, kChangedMeanwhilePattern, {fileName}, 0b1);
}

void ReportStaleTag(Console& console, std::u16string_view tableName, std::u16string_view indexName,
                    std::u16string_view tag, std::u16string_view collation, bool offered) {
  Report(console, offered ? kReindexPattern : kRecreatePattern,
         {tableName, indexName, tag, collation}, 0b11);
}

void ReportMissingIndex(Console& console, std::u16string_view tableName,
                        std::u16string_view indexName) {
  Report(console, kMissingIndexPattern, {tableName, indexName}, 0b11);
}

void ReportDamagedIndex(Console& console, std::u16string_view indexName) {
  Report(console, kDamagedIndexPattern, {indexName}, 0b1);
}

void ReportBadRestoreLine(Console& console, std::u16string_view pattern, std::size_t line,
                          std::u16string_view file, std::u16string_view name,
                          std::size_t earlierLine) {
  const std::string number = std::to_string(line), earlier = std::to_string(earlierLine);
  Report(console, pattern,
         {std::u16string(number.begin(), number.end()), file, name,
          std::u16string(earlier.begin(), earlier.end())},
         0b110);
}

}  // namespace tablemark
