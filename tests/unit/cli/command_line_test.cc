#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_platform.h"  // Utf8

namespace tablemark {

namespace {

struct GrammarCase {
  std::vector<std::u16string> args;  // after the program name
  Mode::Kind kind;
  std::u16string fullPath = u"";
  std::int32_t codePage = 866;
  std::u16string restoreFile = u"";
};

// A failing case names the modes it compared.
std::string Named(Mode::Kind kind) {
  constexpr const char* kNames[] = {"Remark",       "Detect", "Fix",      "Restore", "BadUsage",
                                    "MissingValue", "Help",   "LongHelp", "Version"};
  return kNames[kind];
}

void ExpectParsed(const GrammarCase& c, Dialect dialect) {
  std::vector<std::u16string> argv{u"tablemark"};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  const Mode mode = ParseCommandLine(argv, SwitchSyntaxOf(dialect));
  EXPECT_EQ(Named(mode.kind), Named(c.kind));
  if (c.kind <= Mode::Restore) {
    EXPECT_EQ(mode.fullPath, c.fullPath);
    EXPECT_EQ(mode.codePage, c.codePage);
    EXPECT_EQ(mode.restoreFile, c.restoreFile);
  }
}

constexpr auto kRun = Mode::Remark;
constexpr auto kDetect = Mode::Detect;
constexpr auto kFix = Mode::Fix;
constexpr auto kRestore = Mode::Restore;
constexpr auto kHelp = Mode::Help;
constexpr auto kLongHelp = Mode::LongHelp;
constexpr auto kBad = Mode::BadUsage;
constexpr auto kVersion = Mode::Version;
constexpr auto kMissing = Mode::MissingValue;

TEST(CommandLine, WindowsGrammar) {
  const std::vector<GrammarCase> cases{
      {{}, kBad},
      {{u"a", u"b", u"c", u"d", u"e"}, kBad},
      {{u"/?"}, kHelp},
      {{u"-h"}, kHelp},
      // A c or d switch, last, with nothing after its letter.
      {{u"C:\\Data", u"/c"}, kMissing},
      {{u"/d"}, kMissing},
      {{u"-C"}, kMissing},
      {{u"--detect", u"-D"}, kMissing},
      {{u"\\H"}, kHelp},
      {{u"/help"}, kHelp},
      {{u"--help"}, kBad},  // GNU's words are POSIX's alone
      {{u"--version"}, kBad},
      {{u"/?", u"/x"}, kHelp},  // later arguments are not looked at
      {{u"/x"}, kBad},
      {{u"-"}, kBad},
      {{u"/"}, kBad},
      {{u"C:\\Data", u"1251"}, kRun, u"C:\\Data", 1251},
      // --detect anywhere, the rest meaning what it means without it.
      {{u"--detect"}, kDetect, u""},
      {{u"C:\\Data", u"--detect"}, kDetect, u"C:\\Data"},
      {{u"--detect", u"/d", u"C:\\Data"}, kDetect, u"C:\\Data"},
      {{u"--detect", u"C:\\Data", u"1251"}, kBad},  // no code page beside it
      {{u"/c1251", u"--detect"}, kBad},
      {{u"--detect", u"/?"}, kHelp},
      {{u"--detect", u"a", u"b", u"c", u"d", u"e"}, kBad},
      {{u"/detect"}, kRun, u"etect", 866},  // a d switch, whose value is "etect"
      // --fix and --restore FILE likewise; at most one of the three, once.
      {{u"--fix"}, kFix},
      {{u"C:\\Data", u"--fix"}, kFix, u"C:\\Data"},
      {{u"--restore", u"-", u"/d", u"C:\\Data"}, kRestore, u"C:\\Data", 866, u"-"},
      {{u"C:\\Data", u"--restore", u"/c"}, kRestore, u"C:\\Data", 866, u"/c"},
      {{u"--restore", u"--fix"}, kRestore, u"", 866, u"--fix"},  // the FILE, whatever it is
      {{u"--restore"}, kBad},
      {{u"C:\\Data", u"--restore"}, kBad},
      {{u"--fix", u"--detect"}, kBad},
      {{u"--fix", u"C:\\Data", u"--fix"}, kBad},
      {{u"--restore", u"a", u"--restore", u"b"}, kBad},
      {{u"--fix", u"C:\\Data", u"1251"}, kBad},
      {{u"--restore", u"f", u"/c866"}, kBad},
      {{u"C:\\Data", u"/c", u"1251"}, kRun, u"C:\\Data", 1251},
      {{u"C:\\Data", u"/c1251"}, kRun, u"C:\\Data", 1251},
      {{u"C:\\Data", u"-C1251"}, kRun, u"C:\\Data", 1251},
      {{u"/c", u"1251", u"C:\\Data"}, kBad},
      {{u"/d", u"C:\\Data", u"1251"}, kBad},
      {{u"/d", u"C:\\Data", u"/c", u"1251"}, kRun, u"C:\\Data", 1251},
      {{u"/dC:\\Data", u"1251"}, kRun, u"C:\\Data", 1251},  // 1251 stands at index 2
      {{u"1251"}, kRun, u"1251", 866},
      {{u"/c", u"1251"}, kRun, u"", 1251},
      {{u"\\Data"}, kRun, u"ata", 866},
      {{u"\\\\server\\share"}, kBad},
      {{u"/dir"}, kRun, u"ir", 866},
      {{u"/c", u"abc"}, kRun, u"", 0},
      {{u"/c", u"-866"}, kRun, u"", -866},
      {{u"/c", u"4294968162"}, kRun, u"", 866},
      {{u""}, kRun, u"", 866},
      {{u"", u""}, kRun, u"", 0},
      {{u"/d", u"-c"}, kRun, u"-c", 866},        // the value is the whole next argument
      {{u"/c850", u"/c1251"}, kRun, u"", 1251},  // a later setting wins
      {{u"a", u"/db"}, kRun, u"b", 866},
  };
  for (const GrammarCase& c : cases) {
    SCOPED_TRACE("tablemark " + testing::Utf8(c.args));
    ExpectParsed(c, Dialect::Windows);
  }
}

TEST(CommandLine, PosixSwitchesAreMinusOnly) {
  const std::vector<GrammarCase> cases{
      {{u"/srv/data", u"1251"}, kRun, u"/srv/data", 1251},
      {{u"/help"}, kRun, u"/help", 866},
      {{u"\\H"}, kRun, u"\\H", 866},
      {{u"-h"}, kHelp},
      {{u"-?"}, kHelp},
      {{u"-help"}, kHelp},
      {{u"--help"}, kLongHelp},
      {{u"--detect", u"--help"}, kLongHelp},
      {{u"/srv/data", u"--detect"}, kDetect, u"/srv/data"},
      {{u"/srv/data", u"--detect", u"866"}, kBad},
      {{u"--restore", u"-", u"/srv/data"}, kRestore, u"/srv/data", 866, u"-"},
      {{u"-d", u"/srv/data", u"--fix"}, kFix, u"/srv/data"},
      {{u"/srv/data", u"--version", u"-x"}, kVersion},
      {{u"--helpx"}, kBad},  // only the whole words
      {{u"--v"}, kBad},
      {{u"-d", u"--version"}, kRun, u"--version", 866},  // a value stays a value
      {{u"-x"}, kBad},
      {{u"-"}, kBad},
      {{u"-d", u"/srv/data", u"-c", u"1251"}, kRun, u"/srv/data", 1251},
      {{u"-c", u"1251", u"/srv/data"}, kBad},
      {{u"/srv/data", u"-c1253"}, kRun, u"/srv/data", 1253},
  };
  for (const GrammarCase& c : cases) {
    SCOPED_TRACE("tablemark " + testing::Utf8(c.args));
    ExpectParsed(c, Dialect::Posix);
  }
}

TEST(CommandLine, IntegerValue) {
  const std::vector<std::pair<std::u16string, std::int32_t>> cases{
      {u"1251", 1251},
      {u"  \t1251", 1251},
      {u"\u00A01251", 1251},  // a no-break space pasted from a document
      {u"\u1680\u2000\u200A\u2028\u2029\u202F\u205F\u30001251", 1251},
      {u"\u00851251", 0},  // the runtime does not count these as white space
      {u"\uFEFF1251", 0},
      {u"\u200B1251", 0},
      {u"\u001C1251", 0},
      {u"+1251", 1251},
      {u"-866", -866},
      {u"1251x", 1251},
      {u"12 51", 12},
      {u"abc", 0},
      {u"", 0},
      {u"-", 0},
      {u"+-1", 0},
      {u" - 1", 0},
      {u"\uFF11\uFF12\uFF15\uFF11", 1251},  // full-width
      {u"\u0967\u0968\u096B\u0967", 1251},  // Devanagari
      {u"\u0661\u0662\u0665\u0661", 1251},  // Arabic-Indic
      {u"\u1811\u1818", 18},                // Mongolian
      {u"1\u0968\uFF15", 125},              // mixed runs
      {u"\u0965", 0},                       // just below a run
      {u"\uFF1A", 0},                       // just above one
      {u"4294968162", 866},
      {u"2147483647", 2147483647},
      {u"2147483648", INT32_MIN},
      {u"-2147483648", INT32_MIN},
      {u"99999999999999999999", 1661992959},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(IntegerValue(text), value) << ::testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace tablemark
