#include "detect/letter_pairs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <string_view>

#include "detect/table_bytes.h"

namespace tablemark {
namespace {

std::size_t CharsetOf(std::int32_t codePage) {
  const auto charsets = SingleByteCharsets();
  for (std::size_t c = 0; c < charsets.size(); ++c) {
    if (charsets[c].codePage == codePage) return c;
  }
  return charsets.size();
}

std::size_t LanguageOf(std::string_view code) {
  const auto models = LanguageModels();
  for (std::size_t l = 0; l < models.size(); ++l) {
    if (models[l].code == code) return l;
  }
  return models.size();
}

std::vector<std::uint64_t> Costs(ValuePairs& pairs, std::string_view text, std::size_t charset,
                                 std::size_t language) {
  pairs.read({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  std::vector<std::uint64_t> flat;
  for (const ValueCost& cost : pairs.costs(charset, language, 90)) {
    flat.insert(flat.end(), {cost.low, cost.high});
  }
  return flat;
}

// A value's cost is its own: values of ASCII alone around it change
// nothing, and neither does the text read before.
TEST(ValuePairs, EachValueCostsWhatItDoesAlone) {
  const std::string first = "\xE4\xE5\xF2\xE8 Ab1\n", ascii = "xyz-12 q\n",
                    second = "\xEF\xF0\xE8\n";
  const std::pair<std::int32_t, std::string_view> readings[] = {
      {1251, "ru"}, {866, "ru"}, {1252, "de"}};
  for (const auto& [codePage, code] : readings) {
    SCOPED_TRACE(code);
    const std::size_t charset = CharsetOf(codePage), language = LanguageOf(code);
    ASSERT_LT(charset, SingleByteCharsets().size());
    ValuePairs alone;
    const std::vector<std::uint64_t> expected = Costs(alone, first + second, charset, language);
    ASSERT_EQ(expected.size(), 4u);
    for (const std::string& text :
         {first + ascii + second, ascii + first + ascii + second + ascii}) {
      ValuePairs pairs;
      Costs(pairs, ascii + second + "\xC0\xC1\n", charset, language);  // read before
      EXPECT_EQ(Costs(pairs, text, charset, language), expected) << text;
    }
  }
}

// Readings given up on, one by one or a charset at once, are exactly those
// more than `enough` behind the best; the others cost what they do when no
// reading is given up on. Read value by value, a text costs in each reading
// what it does whole (two pages mixed are weighed so), capitals beside
// letters beyond ASCII included.
TEST(ScoreReadings, GivingUpLosesNoReadingWithinReach) {
  const std::string german =
      "Gr\xFC\xDF"
      "e aus K\xF6ln: sch\xF6ne Stra\xDF"
      "en, \xFC"
      "ber Br\xFC"
      "cken.\n";
  const std::string capitals = "K\xD6LN \xC9t\xE9\n12 ab\nM\xE9xico aB\xC7\xE7";
  const std::vector<testing::Bytes> texts{testing::Russian(true), testing::Russian(false),
                                          testing::Bytes(german.begin(), german.end()),
                                          testing::Bytes(capitals.begin(), capitals.end())};
  std::vector<std::size_t> alike(SingleByteCharsets().size());
  std::iota(alike.begin(), alike.end(), std::size_t{0});
  constexpr double kLowWeight = 0.3, kEnough = 300;
  PairFloors floors;  // kept from text to text, as a guesser keeps it
  for (std::size_t t = 0; t < texts.size(); ++t) {
    PairCounts pairs;
    pairs.count(texts[t]);
    std::size_t first = 0;
    const std::vector<ReadingCost> all =
        ScoreReadings(pairs, 90, kLowWeight, 1e18, first, SIZE_MAX, alike, floors);
    const auto weighed = [&](const ReadingCost& r) {
      return kLowWeight * static_cast<double>(r.lowCost) + static_cast<double>(r.cost - r.lowCost);
    };
    double best = HUGE_VAL;
    ValuePairs values;
    values.read(texts[t]);
    for (const ReadingCost& reading : all) {
      best = std::min(best, weighed(reading));
      std::uint64_t high = 0;
      for (const ValueCost& value : values.costs(reading.charset, reading.language, 90)) {
        high += value.high;
      }
      EXPECT_EQ(high, reading.cost - reading.lowCost)
          << "text " << t << ", reading " << reading.charset;
    }
    first = 0;
    const std::vector<ReadingCost> some =
        ScoreReadings(pairs, 90, kLowWeight, kEnough, first, SIZE_MAX, alike, floors);
    ASSERT_EQ(some.size(), all.size());
    for (std::size_t r = 0; r < all.size(); ++r) {
      const bool within = weighed(all[r]) <= best + kEnough;
      EXPECT_EQ(some[r].complete, within) << "text " << t << ", reading " << r;
      if (within) {
        EXPECT_EQ(some[r].cost, all[r].cost) << "text " << t << ", reading " << r;
      }
    }
  }
}

}  // namespace
}  // namespace tablemark
