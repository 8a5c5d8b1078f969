// Makes the directories --detect is timed on: tables whose character and
// memo fields hold realistic text, each with its memo file, the same bytes
// every time. Even tables are Russian in code page 1251, odd ones German in
// 1252, each marked for its own, so a run that reads every table right
// exits 0.
//
//   make_text_tables DIR COUNT KIB        COUNT tables of about KIB KiB each
//   make_text_tables DIR MIB --sparse     one table of about MIB MiB, sparse
//
// The sparse table has a real header and a record count covering the whole
// file, which ftruncate extends. Real records lie in runs at the places the
// sampler spreads its reads over (twice as long as a read, so a small change
// of plan still lands in text); the rest is a hole, which reads as empty
// records and takes no memory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "detect/table_text.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Field {
  const char* name;
  char type;
  std::uint8_t length;
  std::uint8_t decimals;
};
constexpr std::array<Field, 5> kFields{{
    {"NAME", 'C', 32, 0},
    {"CITY", 'C', 24, 0},
    {"NOTE", 'M', 4, 0},
    {"AMOUNT", 'N', 10, 2},
    {"DAY", 'D', 8, 0},
}};
// Where field `index` starts in a record, after the deletion flag.
constexpr std::uint32_t FieldAt(std::size_t index) {
  std::uint32_t at = 1;
  for (std::size_t i = 0; i < index; ++i) at += kFields[i].length;
  return at;
}
constexpr std::uint32_t kNameAt = FieldAt(0), kCityAt = FieldAt(1), kNoteAt = FieldAt(2),
                        kAmountAt = FieldAt(3), kDayAt = FieldAt(4);
constexpr std::uint32_t kRecordLength = FieldAt(kFields.size());
// The header, the descriptors, their end mark and the database backlink.
constexpr std::uint32_t kHeaderLength = 32 + 32 * kFields.size() + 1 + 263;
constexpr std::uint32_t kBlockSize = 64;
constexpr std::uint32_t kMemoHeaderLength = 512;
constexpr std::uint64_t kMemoEvery = 4;  // one record in four has a memo

struct Language {
  std::uint8_t mark;
  bool cyrillic;
  std::array<std::vector<std::string_view>, 4> lists;  // given, family, city, memo word
};

const std::array<Language, 2> kLanguages{{
    {0xC9,
     true,
     {{{"Иван", "Пётр", "Сергей", "Алексей", "Дмитрий", "Ольга", "Наталья", "Елена", "Татьяна",
        "Михаил", "Юлия", "Андрей"},
       {"Иванов", "Смирнов", "Кузнецов", "Попов", "Васильев", "Соколов", "Михайлов", "Новиков",
        "Фёдоров", "Морозов", "Волков", "Лебедев"},
       {"Москва", "Санкт-Петербург", "Новосибирск", "Екатеринбург", "Казань", "Нижний Новгород",
        "Челябинск", "Самара", "Ростов-на-Дону", "Уфа", "Воронеж", "Пермь"},
       {"поставка",   "товара",    "на",        "склад",      "выполнена",  "в",
        "срок",       "клиент",    "просит",    "перенести",  "доставку",   "следующую",
        "неделю",     "счёт",      "оплачен",   "полностью",  "договор",    "подписан",
        "обеими",     "сторонами", "заказ",     "отменён",    "по",         "просьбе",
        "покупателя", "оплата",    "поступила", "банк",       "подтвердил", "перевод",
        "требуется",  "уточнить",  "адрес",     "получателя", "менеджер",   "свяжется",
        "с",          "вами",      "сегодня",   "документы",  "отправлены", "почтой"}}}},
    {0x03,
     false,
     {{{"Jürgen", "Käthe", "Günther", "Björn", "Sören", "Hans", "Maria", "Claudia", "Stefan",
        "Ursula", "Jörg", "Wolfgang"},
       {"Müller", "Schröder", "Schäfer", "Köhler", "Groß", "Weiß", "Schmidt", "Fischer", "Krüger",
        "Böhm", "Hoffmann", "Weber"},
       {"München", "Köln", "Düsseldorf", "Nürnberg", "Lübeck", "Würzburg", "Göttingen",
        "Saarbrücken", "Hamburg", "Frankfurt am Main", "Osnabrück", "Mönchengladbach"},
       {"die",         "Lieferung",
        "wurde",       "pünktlich",
        "zugestellt",  "der",
        "Kunde",       "möchte",
        "den",         "Termin",
        "verschieben", "Rechnung",
        "ist",         "vollständig",
        "bezahlt",     "Vertrag",
        "von",         "beiden",
        "Seiten",      "unterschrieben",
        "Bestellung",  "auf",
        "Wunsch",      "storniert",
        "Zahlung",     "eingegangen",
        "Überweisung", "bestätigt",
        "Anschrift",   "des",
        "Empfängers",  "prüfen",
        "Grüße",       "für",
        "über",        "nächste",
        "Woche",       "Unterlagen",
        "schicken",    "gemäß",
        "Straße",      "Geschäftsführer"}}}},
}};

// The code page's bytes for UTF-8 text: Cyrillic letters as 1251 has them,
// Latin-1 letters as 1252 has them.
std::string Encode(std::string_view utf8, bool cyrillic) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<std::uint8_t>(utf8[i]);
    std::uint32_t code = lead;
    if (lead >= 0xC0) {
      code = (lead & 0x1F) << 6 | (static_cast<std::uint8_t>(utf8[i + 1]) & 0x3F);
      i += 2;
    } else {
      ++i;
    }
    if (cyrillic && code >= 0x410 && code <= 0x44F) code = 0xC0 + (code - 0x410);
    if (cyrillic && code == 0x401) code = 0xA8;
    if (cyrillic && code == 0x451) code = 0xB8;
    if (code > 0xFF) std::abort();
    out += static_cast<char>(code);
  }
  return out;
}

// The lists in the code pages, made once.
std::array<std::array<std::vector<std::string>, 4>, 2> EncodedLists() {
  std::array<std::array<std::vector<std::string>, 4>, 2> lists;
  for (std::size_t l = 0; l < kLanguages.size(); ++l) {
    for (std::size_t k = 0; k < 4; ++k) {
      for (const std::string_view word : kLanguages[l].lists[k]) {
        lists[l][k].push_back(Encode(word, kLanguages[l].cyrillic));
      }
    }
  }
  return lists;
}

// splitmix64: a record's bytes follow from its table and its number alone,
// so a sparse table's runs hold what a full table would hold there.
struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  const std::string& pick(const std::vector<std::string>& list) {
    return list[next() % list.size()];
  }
};

void PutLittle(std::uint8_t* at, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
void PutBig(std::uint8_t* at, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
}

void PutText(std::uint8_t* field, std::size_t length, const std::string& text) {
  std::copy_n(text.data(), std::min(length, text.size()), field);
}

Bytes Header(std::uint8_t mark, std::uint64_t records) {
  Bytes header(kHeaderLength, 0);
  header[0] = 0x30;
  header[1] = 124, header[2] = 5, header[3] = 17;
  PutLittle(&header[4], records, 4);
  PutLittle(&header[8], kHeaderLength, 2);
  PutLittle(&header[10], kRecordLength, 2);
  header[28] = 0x02;  // has a memo file
  header[29] = mark;
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    std::uint8_t* descriptor = &header[32 + 32 * i];
    std::memcpy(descriptor, kFields[i].name, std::strlen(kFields[i].name));
    descriptor[11] = static_cast<std::uint8_t>(kFields[i].type);
    PutLittle(descriptor + 12, FieldAt(i), 4);
    descriptor[16] = kFields[i].length;
    descriptor[17] = kFields[i].decimals;
  }
  header[32 + 32 * kFields.size()] = 0x0D;
  return header;
}

// One record at `record`; a memo, when it has one, goes to the end of `memo`.
void MakeRecord(const std::array<std::vector<std::string>, 4>& lists, std::uint64_t seed,
                std::uint64_t number, std::uint8_t* record, Bytes& memo) {
  Random random{seed ^ number * 0xD1B54A32D192ED03u};
  std::memset(record, ' ', kRecordLength);
  PutText(record + kNameAt, kFields[0].length, random.pick(lists[1]) + " " + random.pick(lists[0]));
  PutText(record + kCityAt, kFields[1].length, random.pick(lists[2]));
  char digits[16];
  (void)std::snprintf(digits, sizeof digits, "%10.2f",
                      static_cast<double>(random.next() % 10000000) / 100);
  std::memcpy(record + kAmountAt, digits, 10);
  (void)std::snprintf(digits, sizeof digits, "2024%02d%02d",
                      static_cast<int>(random.next() % 12 + 1),
                      static_cast<int>(random.next() % 28 + 1));
  std::memcpy(record + kDayAt, digits, 8);
  std::memset(record + kNoteAt, 0, 4);
  if (number % kMemoEvery != 0) return;
  std::string text;
  for (std::uint64_t words = 8 + random.next() % 24; words > 0; --words) {
    text += random.pick(lists[3]);
    text += words % 9 == 1 ? ". " : " ";
  }
  const std::size_t at = memo.size();
  PutLittle(record + kNoteAt, at / kBlockSize, 4);
  memo.resize(at + (8 + text.size() + kBlockSize - 1) / kBlockSize * kBlockSize, 0);
  PutBig(&memo[at], 1, 4);  // a text memo
  PutBig(&memo[at + 4], text.size(), 4);
  std::memcpy(&memo[at + 8], text.data(), text.size());
}

bool WriteAll(int fd, const Bytes& bytes, off_t at) {
  return pwrite(fd, bytes.data(), bytes.size(), at) == static_cast<ssize_t>(bytes.size());
}

// Writes PATH.dbf of `records` records and PATH.fpt, in the language the
// seed picks; `sparse` writes the records of the sampled runs only.
bool MakeTable(const std::string& path, std::uint64_t seed, std::uint64_t records, bool sparse) {
  static const auto lists = EncodedLists();
  const std::size_t language = seed % 2;
  const Language& lang = kLanguages[language];
  std::vector<std::pair<std::uint64_t, std::uint64_t>> runs;  // first record, count
  if (sparse) {
    const std::uint64_t perRun =
        std::max<std::uint64_t>(1, 2 * tablemark::kChunkBytes / kRecordLength);
    const std::uint64_t places = tablemark::kRecordChunks;
    for (std::uint64_t place = 0; place < places; ++place) {
      runs.emplace_back(place * (records - perRun) / (places - 1), perRun);
    }
  } else {
    runs.emplace_back(0, records);
  }
  Bytes memo(kMemoHeaderLength, 0);
  PutBig(&memo[6], kBlockSize, 2);
  const int table = open((path + ".dbf").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (table < 0 || !WriteAll(table, Header(lang.mark, records), 0)) return false;
  const off_t end = kHeaderLength + static_cast<off_t>(records * kRecordLength);
  if (sparse && ftruncate(table, end) != 0) return false;
  Bytes part;
  for (const auto& [first, count] : runs) {
    part.resize(count * kRecordLength);
    for (std::uint64_t i = 0; i < count; ++i) {
      MakeRecord(lists[language], seed, first + i, &part[i * kRecordLength], memo);
    }
    if (!WriteAll(table, part, kHeaderLength + static_cast<off_t>(first * kRecordLength))) {
      return false;
    }
  }
  if (!WriteAll(table, Bytes{0x1A}, end) || close(table) != 0) return false;
  PutBig(&memo[0], memo.size() / kBlockSize, 4);  // the next free block
  const int memoFile = open((path + ".fpt").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  return memoFile >= 0 && WriteAll(memoFile, memo, 0) && close(memoFile) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool sparse = argc == 4 && std::strcmp(argv[3], "--sparse") == 0;
  const long first = argc == 4 ? std::strtol(argv[2], nullptr, 10) : 0;
  const long second = argc == 4 && !sparse ? std::strtol(argv[3], nullptr, 10) : 1;
  if (first <= 0 || second <= 0) {
    (void)std::fprintf(stderr, "usage: make_text_tables DIR COUNT KIB | DIR MIB --sparse\n");
    return 2;
  }
  const long count = sparse ? 1 : first;
  const std::uint64_t bytes = static_cast<std::uint64_t>(sparse ? first : second)
                              << (sparse ? 20 : 10);
  const std::uint64_t records =
      (std::max<std::uint64_t>(bytes, std::uint64_t{2} * kHeaderLength) - kHeaderLength) /
      kRecordLength;
  if (records > 0xFFFFFFFFu) {
    (void)std::fprintf(stderr, "make_text_tables: more records than a table counts\n");
    return 2;
  }
  const std::string dir = argv[1];
  if (mkdir(dir.c_str(), 0755) != 0) {
    std::perror(dir.c_str());
    return 1;
  }
  char name[32];
  for (long i = 0; i < count; ++i) {
    (void)std::snprintf(name, sizeof name, "/t%06ld", i);
    if (!MakeTable(dir + name, static_cast<std::uint64_t>(i), records, sparse)) {
      std::perror((dir + name).c_str());
      return 1;
    }
  }
  return 0;
}
