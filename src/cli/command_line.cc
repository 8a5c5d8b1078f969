#include "cli/command_line.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <vector>

namespace tablemark {
namespace {

// First code points of the ten-digit runs accepted besides 0-9.
constexpr std::array<char16_t, 17> kDigitZeros{
    0x0660, 0x06F0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0C66, 0x0CE6,
    0x0D66, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x17E0, 0x1810, 0xFF10,
};

std::optional<std::uint32_t> DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  for (char16_t zero : kDigitZeros) {
    if (c >= zero && c < zero + 10) return c - zero;
  }
  return std::nullopt;
}

// The white space the Windows C runtime's wide conversion skips: ASCII's,
// and the Unicode spaces it also counts as such (a no-break space pasted
// from a document among them), but not U+0085 and not U+FEFF.
bool IsWhiteSpace(char16_t c) {
  if (c == u' ' || (c >= u'\t' && c <= u'\r')) return true;
  if (c < 0x00A0) return false;
  return c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
         c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace

SwitchSyntax SwitchSyntaxOf(Dialect dialect) {
  if (dialect == Dialect::Windows) return {u"-/\\", false};
  return {u"-", true};
}

std::int32_t IntegerValue(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  // Unsigned arithmetic wraps without undefined behaviour; the conversion
  // back to signed is modular in C++20.
  std::uint32_t value = 0;
  for (; i < text.size(); ++i) {
    std::optional<std::uint32_t> digit = DigitValue(text[i]);
    if (!digit) break;
    value = value * 10u + *digit;
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

namespace {

Mode Only(Mode::Kind kind) {
  Mode mode;
  mode.kind = kind;
  return mode;
}

// The grammar, the mode words aside. `codePageNamed` says whether a c
// switch or the second place gave a code page.
Mode ParseGrammar(std::span<const std::u16string> args, SwitchSyntax switches,
                  bool& codePageNamed) {
  Mode mode;
  const std::size_t count = args.size();
  if (count <= 1 || count > 5) return Only(Mode::BadUsage);
  std::size_t i = 1;
  while (i < count) {
    const std::u16string& arg = args[i];
    const bool isSwitch =
        !arg.empty() && switches.characters.find(arg[0]) != std::u16string_view::npos;
    if (isSwitch && switches.gnuWords && (arg == u"--help" || arg == u"--version")) {
      return Only(arg == u"--help" ? Mode::LongHelp : Mode::Version);
    }
    if (isSwitch) {
      const char16_t letter = arg.size() > 1 ? arg[1] : u'\0';
      switch (letter) {
        case u'?':
        case u'H':
        case u'h':
          return Only(Mode::Help);
        case u'C':
        case u'c':
        case u'D':
        case u'd': {
          std::u16string_view value = std::u16string_view(arg).substr(2);
          if (value.empty()) {
            if (i + 1 >= count) return Only(Mode::MissingValue);
            value = args[++i];
          }
          if (letter == u'C' || letter == u'c') {
            mode.codePage = IntegerValue(value);
            codePageNamed = true;
          } else {
            mode.fullPath.assign(value);
          }
          ++i;
          break;
        }
        default:
          return Only(Mode::BadUsage);
      }
    } else if (i == 1) {
      mode.fullPath = arg;
      i = 2;
    } else if (i == 2) {
      mode.codePage = IntegerValue(arg);
      codePageNamed = true;
      i = 3;
    } else {
      return Only(Mode::BadUsage);
    }
  }
  return mode;
}

}  // namespace

// A small value, copied as cheaply as a reference.
// cppcheck-suppress passedByValue
Mode ParseCommandLine(std::span<const std::u16string> args, SwitchSyntax switches) {
  // The mode words are taken out first, wherever they stand; --restore
  // takes the argument after it, whatever it is, as its FILE.
  std::vector<std::u16string> rest(args.begin(), args.begin() + (args.empty() ? 0 : 1));
  std::optional<Mode::Kind> word;
  std::u16string restoreFile;
  bool twice = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    const std::optional<Mode::Kind> named = arg == kDetectWord    ? Mode::Detect
                                            : arg == kFixWord     ? Mode::Fix
                                            : arg == kRestoreWord ? Mode::Restore
                                                                  : std::optional<Mode::Kind>();
    if (!named) {
      rest.push_back(arg);
      continue;
    }
    twice = twice || word.has_value();
    word = named;
    if (*named == Mode::Restore) {
      if (i + 1 == args.size()) return Only(Mode::BadUsage);
      restoreFile = args[++i];
    }
  }
  bool codePageNamed = false;
  if (!word) return ParseGrammar(args, switches, codePageNamed);
  if (twice) return Only(Mode::BadUsage);
  Mode mode;
  if (rest.size() > 1) mode = ParseGrammar(rest, switches, codePageNamed);
  if (mode.kind != Mode::Remark) return mode;
  // These modes take their code pages from the tables and the FILE, so a
  // code page has no use beside them.
  mode.kind = codePageNamed ? Mode::BadUsage : *word;
  mode.restoreFile = std::move(restoreFile);
  return mode;
}

}  // namespace tablemark
