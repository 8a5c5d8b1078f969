#include "cli/console_messages.h"

#include <array>
#include <cstdint>
#include <initializer_list>

namespace tablemark {
namespace {

// Fills each %s or %d of `pattern` with the next of `args`, in order. The
// arguments are inserted as they are, so a file name holding a % sign is
// never read as a conversion. With `names`, the first `nameCount` arguments
// are file names, shown as that platform shows names.
void Compose(MessageBuffer& out, std::u16string_view pattern,
             std::initializer_list<std::u16string_view> args, Platform* names = nullptr,
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

}  // namespace

std::u16string UsageText(Dialect dialect) {
  const bool windows = dialect == Dialect::Windows;
  std::u16string text;
  text += u"\n";
  text += u"Использование: ";
  text += u"\n";
  text += windows ? u">Tablemark.exe [[{/|-}d] <\"FullPath\">] [[{/|-}c] <CodePage>] | {/|-}h"
                  : u"$ tablemark [[-d] <\"FullPath\">] [[-c] <CodePage>] | -h";
  text += u"\n\n";
  text += u"Параметры по умолчанию: ";
  text += u"\n";
  text += u"   <\"FullPath\"> - текущий каталог";
  text += u"\n";
  text += u"   <CodePage>   - 866";
  text += u"\n\n";
  text += u"Пример вызова: ";
  text += u"\n";
  text += windows ? u">Tablemark.exe /d \"C:\\Documents and Settings\\All Users\\Data\" /c 1251"
                  : u"$ tablemark -d \"/home/user/data\" -c 1251";
  return text;
}

void ReportToConsole(Platform& platform, std::u16string_view text, ConsoleStream stream) {
  platform.writeLine(stream, text);
}

void ShowUsage(Platform& platform) {
  ReportToConsole(platform, UsageText(platform.dialect()), ConsoleStream::Output);
}

void ShowLongHelp(Platform& platform) {
  std::u16string text = UsageText(platform.dialect());
  text += u"\n\n";
  text += u"Кодовая страница текста таблиц (ничего не изменяется): ";
  text += u"\n";
  text += u"$ tablemark --detect [[-d] <\"FullPath\">]";
  text += u"\n";
  text += u"   Строка на таблицу: имя, кодовая страница по метке, кодовая страница текста";
  text += u"\n";
  text += u"   (- только ASCII или нет текста, ? нет уверенности)";
  ReportToConsole(platform, text, ConsoleStream::Output);
}

void ShowVersion(Platform& platform) {
  ReportToConsole(platform, u"tablemark " TABLEMARK_VERSION, ConsoleStream::Output);
}

void FormatCallError(Platform& platform, std::u16string_view label, ErrorCode code,
                     MessageBuffer& out) {
  std::u16string systemText;
  platform.appendErrorText(code, systemText);
  Compose(out, kCallErrorPattern, {label, Decimal(code).text, systemText});
}

void FormatFileCallError(Platform& platform, std::u16string_view fileName,
                         std::u16string_view label, ErrorCode code, MessageBuffer& out) {
  std::u16string systemText;
  platform.appendErrorText(code, systemText);
  Compose(out, kFileCallErrorPattern, {fileName, label, Decimal(code).text, systemText}, &platform);
}

void ComposeCallFailure(Platform& platform, std::u16string_view label, ErrorCode code,
                        MessageBuffer& out) {
  if (code != 0) {
    FormatCallError(platform, label, code, out);
  } else {
    out.assign(kUncodedCallErrorPrefix);
    out += label;
  }
}

void ReportFileCallFailure(Platform& platform, std::u16string_view fileName,
                           std::u16string_view label, ErrorCode code, MessageBuffer& out) {
  if (code != 0) {
    FormatFileCallError(platform, fileName, label, code, out);
  } else {
    Compose(out, kUncodedFileCallErrorPattern, {fileName, label}, &platform);
  }
  ReportToConsole(platform, out, ConsoleStream::Error);
}

void ReportMissingMemo(Platform& platform, std::u16string_view fileName,
                       std::u16string_view memoName, MessageBuffer& out) {
  Compose(out, kMissingMemoPattern, {fileName, memoName}, &platform, 2);
  ReportToConsole(platform, out, ConsoleStream::Error);
}

void ReportNotATable(Platform& platform, std::u16string_view fileName, MessageBuffer& out) {
  Compose(out, kNotATablePattern, {fileName}, &platform);
  ReportToConsole(platform, out, ConsoleStream::Error);
}

}  // namespace tablemark
