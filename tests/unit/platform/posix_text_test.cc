#include <gtest/gtest.h>

#include <random>

#include "platform/posix/console_charset.h"
#include "platform/posix/utf8_escape.h"

namespace tablemark::posix {
namespace {

std::string RoundTrip(const std::string& bytes) {
  std::u16string text;
  DecodeBytes(bytes, text);
  std::string back;
  EncodeBytes(text, back);
  return back;
}

TEST(Utf8Escape, Decoding) {
  const std::vector<std::pair<std::string, std::u16string>> cases{
      {"plain.dbf", u"plain.dbf"},
      {"\xd0\xa2\xd0\xb0\xd0\xb1.dbf", u"Таб.dbf"},
      {"\xf0\x9f\x98\x80", u"\U0001F600"},
      {"\xff", u"\xDCFF"},
      {"\xc0\xaf", u"\xDCC0\xDCAF"},                      // overlong
      {"\xed\xa0\x80", u"\xDCED\xDCA0\xDC80"},            // an encoded surrogate
      {"\xf4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},  // above U+10FFFF
      {"\xd0", u"\xDCD0"},                                // cut short
      {"a\xe2\x82", u"a\xDCE2\xDC82"},
  };
  for (const auto& [bytes, text] : cases) {
    std::u16string decoded;
    DecodeBytes(bytes, decoded);
    EXPECT_EQ(decoded, text);
    EXPECT_EQ(RoundTrip(bytes), bytes);
  }
}

TEST(Utf8Escape, EveryShortByteStringSurvives) {
  std::string bytes(2, '\0');
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      bytes[0] = static_cast<char>(a);
      bytes[1] = static_cast<char>(b);
      ASSERT_EQ(RoundTrip(bytes), bytes) << a << ' ' << b;
    }
  }
  std::mt19937 random(29);
  for (int i = 0; i < 200000; ++i) {
    std::string s(1 + random() % 6, '\0');
    for (char& c : s)
      c = static_cast<char>(0x80 + random() % 0x80 - (random() % 4 == 0 ? 0x80 : 0));
    ASSERT_EQ(RoundTrip(s), s);
  }
}

TEST(ConsoleCharset, Conversions) {
  struct Case {
    const char* codeset;
    std::u16string text;
    std::string bytes;
  };
  const std::vector<Case> cases{
      {"CP866", u"Ошибка", "\x8e\xe8\xa8\xa1\xaa\xa0"},
      {"CP866", u"Файл a.dbf не является",
       "\x94\xa0\xa9\xab a.dbf \xad\xa5 \xef\xa2\xab\xef\xa5\xe2\xe1\xef"},
      {"CP866", u"x\u20ACy", "x?y"},            // the set has no euro sign
      {"CP866", u"\xDCFF\U0001F600", "\xff?"},  // an escaped byte goes out as itself
      {"UTF-8", u"Ошибка\xDCFF", "\xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0\xff"},
      {"ANSI_X3.4-1968", u"Ошибка", "\xd0\x9e\xd1\x88\xd0\xb8\xd0\xb1\xd0\xba\xd0\xb0"},
      {"KOI8-R", u"Ошибка", "\xef\xdb\xc9\xc2\xcb\xc1"},
  };
  for (const Case& c : cases) {
    ConsoleCharset charset(c.codeset);
    std::string out;
    charset.encode(c.text, out);
    EXPECT_EQ(out, c.bytes) << c.codeset;
  }
}

TEST(ConsoleCharset, LocaleNamesThatNeedNoLoading) {
  const std::vector<std::pair<std::string, bool>> cases{
      {"", true},
      {"C", true},
      {"POSIX", true},
      {"C.UTF-8", true},
      {"C.utf8", true},
      {"ru_RU.UTF-8", true},
      {"en_US.utf8@euro", true},
      {"ru_RU.KOI8-R", false},
      {"ru_RU", false},
      {"en_US.ISO-8859-1", false},
      {"de_DE@euro", false},
      {"ja_JP.eucJP", false},
      {"utf8", false},
      {"C.UTF-16", false},
  };
  for (const auto& [name, utf8] : cases) {
    EXPECT_EQ(LocaleNamesUtf8Console(name), utf8) << '"' << name << '"';
  }
}

TEST(ConsoleCharset, ControlsMaskedForATerminal) {
  // A byte passed through as itself is a C1 control where the set says so:
  // 0x9B is CSI in ISO 8859-5 and in stray UTF-8, a glyph in KOI8-R.
  const std::vector<std::tuple<const char*, std::u16string, std::u16string>> cases{
      {"UTF-8", u"a\x1b]0;x\x07\x1b[2K\r\n\x7f\x85\x9b\xa0b", u"a?]0;x??[2K?????\xa0b"},
      {"UTF-8", u"\xDC9B\xDCA0", u"?\xDCA0"},
      {"KOI8-R", u"\xDC9B\xDCD0\x9b", u"\xDC9B\xDCD0?"},
      {"ISO-8859-5", u"\xDC9B\xDCD0", u"?\xDCD0"},
  };
  for (const auto& [codeset, text, masked] : cases) {
    std::u16string shown = text;
    ConsoleCharset(codeset).maskControls(shown);
    EXPECT_EQ(shown, masked) << codeset;
  }
}

TEST(ConsoleCharset, LocaleTextsAreDecoded) {
  ConsoleCharset koi8("KOI8-R");
  std::u16string text;
  koi8.decodeLocaleText("\xef\xdb\xc9\xc2\xcb\xc1", text);
  EXPECT_EQ(text, u"Ошибка");
  ConsoleCharset utf8("UTF-8");
  utf8.decodeLocaleText("\xd0\x9e\xff", text);
  EXPECT_EQ(text, u"О\xDCFF");
}

}  // namespace
}  // namespace tablemark::posix
