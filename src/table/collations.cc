#include "table/collations.h"

#include <algorithm>
#include <array>

namespace tablemark {

namespace {

struct CollationOffer {
  std::int32_t codePage;
  std::array<std::string_view, 8> collations;  // the rest empty
};

// The code pages that offer more than MACHINE, and what they offer.
constexpr std::array<CollationOffer, 22> kOffers{{
    {437, {"GENERAL", "DUTCH", "SPANISH", "UNIQWT", "GERMAN", "ICELAND", "NORDAN", "SWEFIN"}},
    {620, {"GENERAL", "POLISH"}},
    {737, {"GREEK"}},
    {850, {"GENERAL", "DUTCH", "SPANISH", "UNIQWT", "ICELAND", "NORDAN", "SWEFIN"}},
    {852, {"GENERAL", "CZECH", "SLOVAK", "HUNGARY", "POLISH"}},
    {857, {"GENERAL", "TURKISH"}},
    {861, {"GENERAL", "ICELAND"}},
    {865, {"GENERAL", "NORDAN", "SWEFIN"}},
    {866, {"RUSSIAN"}},
    {874, {"THAI"}},
    {895, {"GENERAL", "CZECH", "SLOVAK"}},
    {932, {"JAPANESE"}},
    {936, {"PINYIN", "STROKE"}},
    {949, {"KOREAN"}},
    {950, {"STROKE"}},
    {1250, {"GENERAL", "CZECH", "SLOVAK", "HUNGARY", "POLISH"}},
    {1251, {"RUSSIAN"}},
    {1252, {"GENERAL", "DUTCH", "SPANISH", "UNIQWT", "GERMAN", "ICELAND", "NORDAN", "SWEFIN"}},
    {1253, {"GREEK"}},
    {1254, {"GENERAL", "TURKISH"}},
    {1255, {"HEBREW"}},
    {1256, {"ARABIC"}},
}};

}  // namespace

bool CodePageOffersCollation(std::int32_t codePage, std::string_view collation) {
  // The name itself, should a writer put it in the field, means the same.
  if (collation.empty() || collation == "MACHINE") return true;
  return std::any_of(kOffers.begin(), kOffers.end(), [&](const CollationOffer& offer) {
    return offer.codePage == codePage && std::find(offer.collations.begin(), offer.collations.end(),
                                                   collation) != offer.collations.end();
  });
}

}  // namespace tablemark
