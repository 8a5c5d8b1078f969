// Which files are tables: the eight extensions of table-type files, and the
// memo file that goes with each.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tablemark {

struct TableExtension {
  std::u16string_view table;  // in capitals
  std::u16string_view memo;   // the memo file's extension beside it
  std::u16string_view index;  // the structural index's
};

inline constexpr std::array<TableExtension, 8> TableExtensionList{{
    {u"DBF", u"FPT", u"CDX"},
    {u"SCX", u"SCT", u"CDX"},
    {u"VCX", u"VCT", u"CDX"},
    {u"FRX", u"FRT", u"CDX"},
    {u"LBX", u"LBT", u"CDX"},
    {u"MNX", u"MNT", u"CDX"},
    {u"DBC", u"DCT", u"DCX"},
    {u"PJX", u"PJT", u"CDX"},
}};

// Whether two names are the same with the letters a-z taken as A-Z, as
// names are compared in these files' world; no other character is folded.
bool SameIgnoringCase(std::u16string_view a, std::u16string_view b);
// Whether `a` sorts before `b` so compared.
bool BeforeIgnoringCase(std::u16string_view a, std::u16string_view b);

// True when `name` ends in a full stop and exactly three characters that,
// with a-z upper-cased, are one of the table extensions.
bool HasTableExtension(std::u16string_view name);

// True when `name`'s extension is a structural index's (CDX, DCX), in any
// letter case.
bool HasIndexExtension(std::u16string_view name);

// The structural index's name for a table's name ("a.cdx" for "a.dbf",
// "D.DCX" for "D.DBC"), in the letter case of the table's extension.
std::u16string IndexFileName(std::u16string_view tableName);

// How a table keeps its memos: in FoxPro's memo file (FPT beside a DBF, SCT
// beside an SCX, ...), or, for a dBase III table, in a DBT file.
enum class MemoFormat { FoxPro, DBase };

// True when `name`'s extension is a memo file's, in any letter case.
bool HasMemoExtension(std::u16string_view name);

// The memo file's name for a table's name ("a.fpt" for "a.dbf", "A.SCT" for
// "A.SCX", "a.dbt" for a dBase III "a.dbf"), in the letter case of the
// table's extension; empty for a name without a table extension.
std::u16string MemoFileName(std::u16string_view tableName, MemoFormat format = MemoFormat::FoxPro);

}  // namespace tablemark
