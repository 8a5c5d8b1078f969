#include "report/messages.h"

#include <array>
#include <cstdint>
#include <initializer_list>

namespace tablemark {
namespace {

// Fills each %s or %d of `pattern` with the next of `args`, in order. The
// arguments are inserted as they are, so a file name holding a % sign is
// never read as a conversion. With `names`, the first `nameCount` arguments
// are file names, shown as that console shows names.
void Compose(MessageBuffer& out, std::u16string_view pattern,
             std::initializer_list<std::u16string_view> args, Console* names = nullptr,
             std::size_t nameCount = 1) {
  out.clear();
  const std::u16string_view* next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'%' && i + 1 < pattern.size() &&
        (pattern[i + 1] == u's' || pattern[i + 1] == u'd') && next != args.end()) {
      if (names != nullptr && next < args.begin() + nameCount) {
        names->appendShownName(*next++, out);
      } else {
        out += *next++;
      }
      ++i;
    } else {
      out += pattern[i];
    }
  }
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
  Compose(out, kFileCallErrorPattern, {fileName, label, Decimal(code).text, systemText}, &console);
}

}  // namespace

void ReportToConsole(Console& console, std::u16string_view text, ConsoleStream stream) {
  console.writeLine(stream, text);
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
    Compose(message, kUncodedFileCallErrorPattern, {fileName, label}, &console);
  }
  ReportToConsole(console, message, ConsoleStream::Error);
}

void ReportMissingMemo(Console& console, std::u16string_view fileName,
                       std::u16string_view memoName) {
  MessageBuffer message;
  Compose(message, kMissingMemoPattern, {fileName, memoName}, &console, 2);
  ReportToConsole(console, message, ConsoleStream::Error);
}

void ReportNotATable(Console& console, std::u16string_view fileName) {
  MessageBuffer message;
  Compose(message, kNotATablePattern, {fileName}, &console);
  ReportToConsole(console, message, ConsoleStream::Error);
}

}  // namespace tablemark
