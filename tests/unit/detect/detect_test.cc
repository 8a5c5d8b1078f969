#include "detect/detect.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "detect/code_page_guess.h"
#include "detect/detect_line.h"
#include "detect/table_bytes.h"
#include "fake_platform.h"

namespace tablemark {
namespace {

using testing::Block;
using testing::Bytes;
using testing::ConsoleLine;
using testing::FakePlatform;
using testing::Fault;
using testing::Field;
using testing::Lines;
using testing::Memo;
using testing::Russian;
using testing::Table;
using testing::Text;

TEST(DetectCodePages, OneLinePerTableAndEveryFailureReported) {
  FakePlatform fake;
  fake.files.addDirectory(u"/d");
  const std::vector<Field> text{{'C', 40}};
  fake.files.addFile(u"/d", u"right.dbf", Table(0xC9, text, Lines(Russian(true), 40)));
  fake.files.addFile(u"/d", u"dos.dbf", Table(0x65, text, Lines(Russian(false), 40)));
  fake.files.addFile(u"/d", u"ascii.dbf", Table(0x00, text, {{Text("plain")}}));
  fake.files.addFile(u"/d", u"odd\tname\\.dbf", Table(0x8C, text, {}));
  fake.files.addFile(u"/d", u"binary.dbf",
                     Table(0x03, {{'C', 4, 0x04}, {'N', 4}}, {{Bytes(4, 0xE9), Bytes(4, 0xE9)}}));
  fake.files.addFile(u"/d", u"wrong.dbf", Table(0xC9, text, Lines(Russian(false), 40)));
  // "The writer's ANSI page" names none, so it agrees with none.
  fake.files.addFile(u"/d", u"ansi.dbf", Table(0x57, text, Lines(Russian(true), 40)));
  fake.files.addFile(u"/d", u"locked.dbf", Table(0xC9, text, {})).openFault = Fault{11};
  fake.files.addFile(u"/d", u"broken.dbf", Table(0xC9, text, {})).readFault = Fault{5};
  auto& late = fake.files.addFile(u"/d", u"late.dbf", Table(0xC9, text, Lines(Russian(true), 40)));
  late.readFault = Fault{5};
  late.readsBeforeFault = 1;  // the header reads, the records do not
  fake.files.addFile(u"/d", u"short.dbf", Bytes(31, 0));
  fake.files.addFile(u"/d", u"foreign.dbf", Bytes(64, 0x8B));
  fake.files.addFile(u"/d", u"notes.txt", Text("not a table"));

  EXPECT_EQ(DetectCodePages(fake.platform, u"/d"), kSomeFailed);
  const auto out = [](const char16_t* line) { return ConsoleLine{ConsoleStream::Output, line}; };
  const auto err = [](const char16_t* line) { return ConsoleLine{ConsoleStream::Error, line}; };
  EXPECT_EQ(
      fake.console.lines,
      (std::vector<ConsoleLine>{
          out(u"right.dbf\t1251\t1251"),
          out(u"dos.dbf\t866\t866"),
          out(u"ascii.dbf\t0\t-"),
          out(u"odd\\tname\\\\.dbf\t0x8C\t-"),
          out(u"binary.dbf\t1252\t-"),
          out(u"wrong.dbf\t1251\t866"),
          out(u"ansi.dbf\t0x57\t1251"),
          err(u"Для файла locked.dbf, в функции CreateFile() возникла ошибка 11: system text 11"),
          err(u"Для файла broken.dbf, в функции ReadFile() возникла ошибка 5: system text 5"),
          err(u"Для файла late.dbf, в функции ReadFile() возникла ошибка 5: system text 5"),
          err(u"Для файла short.dbf в функции ReadFile() возникла неожиданная ошибка"),
          err(u"Файл foreign.dbf не является Visual Foxpro таблицей"),
      }));
  EXPECT_EQ(fake.files.openFiles, 0);
  EXPECT_EQ(fake.files.openSearches, 0);
  for (const char16_t* name : {u"right.dbf", u"wrong.dbf", u"ascii.dbf"}) {
    EXPECT_EQ(fake.files.file(u"/d", name).writes, 0);
  }
}

TEST(DetectCodePages, MarksThatAgreeWithTheTextExitZero) {
  FakePlatform fake;
  fake.files.addDirectory(u"/d");
  fake.files.addFile(u"/d", u"a.dbf", Table(0xC9, {{'C', 40}}, Lines(Russian(true), 40)));
  fake.files.addFile(u"/d", u"b.dbf", Table(0x00, {{'C', 40}}, {{Text("ascii only")}}));
  // dBase's language driver for 866 stands for it as the mark table's does.
  fake.files.addFile(u"/d", u"c.dbf", Table(0x26, {{'C', 40}}, Lines(Russian(false), 40)));
  // A dBase III table keeps its memos in a DBT file: 512-byte blocks, each
  // memo ending in 0x1A.
  Bytes dbt(512, 0);
  std::vector<std::vector<Bytes>> rows;
  for (int i = 0; i < 3; ++i) {
    rows.push_back({Text("x"), Text("         " + std::to_string(dbt.size() / 512))});
    const Bytes prose = Russian(true);
    dbt.insert(dbt.end(), prose.begin(), prose.end());
    dbt.resize((dbt.size() + 2 + 511) / 512 * 512, 0x1A);
  }
  Bytes dbase = Table(0xC9, {{'C', 4}, {'M', 10}}, rows);
  dbase[0] = 0x83;
  fake.files.addFile(u"/d", u"e.dbf", dbase);
  fake.files.addFile(u"/d", u"E.DBT", dbt);
  EXPECT_EQ(DetectCodePages(fake.platform, u"/d"), kAllHandled);
  const auto out = [](const char16_t* line) { return ConsoleLine{ConsoleStream::Output, line}; };
  EXPECT_EQ(fake.console.lines,
            (std::vector<ConsoleLine>{out(u"a.dbf\t1251\t1251"), out(u"b.dbf\t0\t-"),
                                      out(u"c.dbf\t0x26\t866"), out(u"e.dbf\t1251\t1251")}));
}

TEST(DetectCodePages, MemoText) {
  const Bytes prose = Russian(true);
  std::vector<std::uint32_t> blocks;
  const Bytes memo = Memo({prose, prose, prose}, blocks);
  std::vector<std::vector<Bytes>> rows;
  for (const std::uint32_t block : blocks) rows.push_back({Text("x"), Block(block)});
  const Bytes table = Table(0x65, {{'C', 4}, {'M', 4}}, rows, 0x02);
  struct Case {
    const char* what;
    std::u16string memoName;  // empty: none
    std::optional<Fault> openFault, readFault;
    std::vector<ConsoleLine> console;
  };
  const std::vector<Case> cases{
      {"memo text found, in another letter case",
       u"T.FPT",
       {},
       {},
       {{ConsoleStream::Output, u"t.dbf\t866\t1251"}}},
      {"memo file missing",
       u"",
       {},
       {},
       {{ConsoleStream::Error, u"Для файла t.dbf не найден мемо-файл t.fpt"},
        {ConsoleStream::Output, u"t.dbf\t866\t-"}}},
      {"memo file cannot be opened",
       u"t.fpt",
       Fault{13},
       {},
       {{ConsoleStream::Error,
         u"Для файла t.fpt, в функции CreateFile() возникла ошибка 13: system text 13"},
        {ConsoleStream::Output, u"t.dbf\t866\t-"}}},
      {"memo file cannot be read",
       u"t.fpt",
       {},
       Fault{5},
       {{ConsoleStream::Error,
         u"Для файла t.fpt, в функции ReadFile() возникла ошибка 5: system text 5"},
        {ConsoleStream::Output, u"t.dbf\t866\t-"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform fake;
    fake.files.addDirectory(u"/d");
    fake.files.addFile(u"/d", u"t.dbf", table);
    if (!c.memoName.empty()) {
      auto& file = fake.files.addFile(u"/d", c.memoName, memo);
      file.openFault = c.openFault;
      file.readFault = c.readFault;
    }
    EXPECT_EQ(DetectCodePages(fake.platform, u"/d"), kSomeFailed);
    EXPECT_EQ(fake.console.lines, c.console);
  }
}

TEST(DetectCodePages, Columns) {
  const std::vector<std::pair<std::uint8_t, std::u16string>> marks{
      {0x01, u"437"},  {0x00, u"0"},    {0xCB, u"1253"},
      {0xCA, u"1254"}, {0x8C, u"0x8C"}, {0x0A, u"0x0A"}};
  for (const auto& [mark, column] : marks) EXPECT_EQ(MarkColumn(mark), column) << int{mark};
  const std::vector<std::pair<std::u16string, std::u16string>> names{
      {u"a.dbf", u"a.dbf"},
      {u"a\tb.dbf", u"a\\tb.dbf"},
      {u"a\nb.dbf", u"a\\nb.dbf"},
      {u"a\\b.dbf", u"a\\\\b.dbf"},
      {u"\x1b[31m.dbf", u"\\x1B[31m.dbf"},
      {u"\x7f\u0085.dbf", u"\\x7F\\x85.dbf"},
      {u"é.dbf", u"é.dbf"}};
  for (const auto& [name, shown] : names) {
    std::u16string out;
    AppendEscaped(name, out);
    EXPECT_EQ(out, shown) << testing::Utf8(name);
  }
  const std::vector<std::pair<std::string, bool>> utf8{{"plain", false},
                                                       {"caf\xC3\xA9", true},
                                                       {"\xC3\xA9 cut \xE2\x82", true},
                                                       {"\xE2\x82\nnext", false},
                                                       {"\xC3(", false},
                                                       {"\xC0\x80", false},
                                                       {"\xED\xA0\x80", false},
                                                       {"\xF4\x90\x80\x80", false},
                                                       {"caf\xE9", false}};
  for (const auto& [text, expected] : utf8) {
    EXPECT_EQ(IsUtf8(Text(text)), expected) << ::testing::PrintToString(text);
  }
}

// The guesser starts where it found the last answer, as the tables of a
// directory are alike; a table's answer must still be its own.
TEST(CodePageGuess, AnswerDoesNotHangOnTheTextBefore) {
  const auto values = [](const std::vector<Bytes>& proses) {  // rows of 40 bytes, one a line
    Bytes text;
    for (const Bytes& prose : proses) {
      for (const auto& row : Lines(prose, 40)) {
        text.insert(text.end(), row[0].begin(), row[0].end());
        text.push_back('\n');
      }
    }
    return text;
  };
  // German in 1252 beside them: a text of another script after one.
  const Bytes german = Text(
      "M\xFCnchen und K\xF6ln sind im Fr\xFChling voller Menschen, die in den G\xE4rten "
      "sitzen, K\xE4se essen und sch\xF6n reden.");
  const std::vector<Bytes> texts{values({Russian(true)}), values({Russian(false)}),
                                 values({Russian(true), Russian(false)}), values({german})};
  const auto shares = [](const CodePageGuesser& guesser) {
    std::vector<std::pair<std::int32_t, double>> out;
    for (const AnswerShare& s : guesser.lastShares()) out.push_back({s.verdict.codePage, s.share});
    return out;
  };
  testing::FakeLibraries libraries;
  for (std::size_t t = 0; t < texts.size(); ++t) {
    CodePageGuesser alone(libraries);
    alone.guess(texts[t], -1);
    for (std::size_t b = 0; b < texts.size(); ++b) {
      CodePageGuesser guesser(libraries);
      guesser.guess(texts[b], -1);
      guesser.guess(texts[t], -1);
      EXPECT_EQ(shares(guesser), shares(alone)) << "text " << t << " after text " << b;
    }
  }
}

// Short texts that mislead. uchardet tells a double-byte encoding from a
// single-byte page long before it tells which double-byte encoding a text is
// in: on short texts it names the wrong one, or takes one for UTF-8, and
// Thai's page then reads it as letter soup. And a letter or two of a code
// page may be well-formed UTF-8. None may be named: they are unsure.
TEST(CodePageGuess, ShortMisleadingTextIsUnsure) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"1250, well-formed UTF-8",
       "Caption = \"VYSK\xDA\x8A"
       "AJ SI TO NA RIADKU\"\r\n"},
      {"GBK, uchardet's UTF-8",  // a form: the euro, witches and mages, the French franc, a scroll
       "Caption = \"\xC5\xB7\xD4\xAA\"\r\n"
       "\tMESSAGEBOX(\"\xC5\xAE\xCE\xD7, \xC5\xAE\xC4\xA7\xCA\xF5\xCA\xA6, \xB7\xA8\xCA\xA6, "
       "\xC4\xD0\xCE\xD7, \xC4\xD0\xC4\xA7\xCA\xF5\xCA\xA6\")\r\n"
       "\xB7\xA8\xB9\xFA\xB7\xA8\xC0\xC9\r\n"
       "\xBE\xED\xD6\xE1, \xBB\xAD\xBE\xED, \xD6\xBD, \xD6\xBD\xBE\xED, "
       "\xD1\xF2\xC6\xA4\xD6\xBD\r\n"},
      {"Big5, uchardet's GB18030",  // firecrackers, soap, a broom, Asia, arrows, a tally
       "\xC3z\xA6\xCB\n\xABr\xAE"
       "B\n"
       "\xAAw\xAAj, \xAC~\xBE\xFE, \xB2M\xBC\xE4, \xAA\xCE\xA8m, \xAA\xCE\xA8m\xBDL\r\n"
       "\xA7\xC5\xB1"
       "C, \xB1\xBD, \xB1\xBD\xA9\xAA, \xB2M\xBC\xE4\n"
       "\xA4k\xC3\xC0\xB3N\xAE"
       "a\n\xAE\xD1\xC5\xD2\n\xA8\xC8\xACw\xA4\xCE\xBF"
       "D\xACw\n"
       "\xA6V\xA5k\xA6\xB1\xBDu\xBD"
       "b\xC0Y\n"
       "\xB6\xC6\xBA"
       "C, \xB4\xAD\xAC\xDC\xA6R\xAE\xF0 22\xA1i\r\n"
       "\xA5\xFE\xB5\xA5, \xA6P\xBEl, \xAB\xED\xB5\xA5\r\n"}};
  testing::FakeLibraries libraries;
  for (const auto& [name, text] : cases) {
    CodePageGuesser guesser(libraries);
    const TextVerdict verdict = guesser.guess(Text(text), -1);
    EXPECT_EQ(verdict.kind, TextVerdict::Kind::Unsure)
        << name << ": named " << verdict.codePage << verdict.encoding;
  }
}

// Texts that a few bytes tell the page of. A sign that another page reads as
// a piece of a drawn frame: no frame has a piece alone among words (850's
// "§ 12", 437's "⌡ 12"; the rest reads alike in both). And a text with few
// letters beyond ASCII, each alone in a word: as a double-byte encoding's,
// each would be a character alone in a Latin word. And one that tells only
// what the page is not: 865's ¤ is 850's », but a closing guillemet that
// nothing opens is no quotation (the rest reads alike in both: unsure).
// And a letter that the other page reads as a sign between two letters,
// where no word has one (850's "Bjørn" read in 437 as "Bj¢rn"), unlike an
// apostrophe (1252's "l’homme", not Mac Roman's "líhomme").
TEST(CodePageGuess, FewBytesThatTellThePage) {
  const std::vector<std::tuple<std::string, std::int32_t, std::string>> cases{
      {"German in 850, a sign", 850,
       "Die Gr\x94\xE1"
       "e der R\x84ume richtet sich nach \xF5 12 der Verordnung: f\x81r jeden Arbeitsplatz "
       "m\x81ssen gen\x81gend Fl\x84"
       "che und Luft bleiben, und die T\x81ren \x94"
       "ffnen sich nach au\xE1"
       "en.\n"},
      {"Dutch in Mac Roman, four letters", 10000,
       "Het woord komt uit het Frans: prostitu\x8E"
       "e, zoals in de oude teksten.\n"
       "Een beeld staat op een pi\x91"
       "destal van steen.\n"
       "Zij schreven appel en app\x8Fl door elkaar.\n"
       "De boer zaait ma\x95s en tarwe.\n"},
      {"Norwegian in 865, a currency sign", 0,
       "Prisen: 8\xAF. Vi g\x86r p\x86"
       " butikken i morgen f\x9Br det blir m\x9Brkt, og kj\x9Bper mye.\n"},
      {"German in 850, a Danish name", 850,
       "Im Sommer f\x84"
       "hrt Bj\x9B"
       "rn nach D\x84"
       "nemark, wo er mit seiner Familie am Strand wohnt.\n"},
      {"French in 1252, apostrophes", 1252,
       "Il dit qu\x92il viendra, et l\x92homme d\x92"
       "affaires l\x92"
       "attend jusqu\x92"
       "au soir "
       "dans l\x92"
       "entr\xE9"
       "e de l\x92immeuble.\n"},
      {"French in 850, a Spanish word", 850,
       "Pour la f\x88te, les enfants cassent une pi\xA4"
       "ata pleine de bonbons et de jouets.\n"
       "La pi\x8A"
       "ce est grande et claire, avec une fen\x88tre sur le jardin.\n"}};
  testing::FakeLibraries libraries;
  for (const auto& [name, page, paragraph] : cases) {
    Bytes text;
    while (text.size() < 1100) text.insert(text.end(), paragraph.begin(), paragraph.end());
    CodePageGuesser guesser(libraries);
    EXPECT_EQ(guesser.guess(text, -1).codePage, page) << name << " (0: unsure)";
  }
}

}  // namespace
}  // namespace tablemark
