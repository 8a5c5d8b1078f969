#include "table/table_files.h"

#include <algorithm>

namespace tablemark {
namespace {

constexpr std::u16string_view kDBaseMemo = u"DBT";

char16_t Upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// The extension after the last full stop, when it is three characters long.
std::u16string_view ExtensionOf(std::u16string_view name) {
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos || name.size() - dot - 1 != 3) return {};
  return name.substr(dot + 1);
}

const TableExtension* TableExtensionOf(std::u16string_view name) {
  const std::u16string_view extension = ExtensionOf(name);
  // Compared whole against each extension, never searched for in a list:
  // a POSIX name may hold any separator such a list could use ("F|S").
  for (const TableExtension& known : TableExtensionList) {
    if (!extension.empty() && SameIgnoringCase(extension, known.table)) return &known;
  }
  return nullptr;
}

}  // namespace

bool SameIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return Upper(x) == Upper(y); });
}

bool BeforeIgnoringCase(std::u16string_view a, std::u16string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return Upper(x) < Upper(y); });
}

bool HasTableExtension(std::u16string_view name) { return TableExtensionOf(name) != nullptr; }

bool HasMemoExtension(std::u16string_view name) {
  const std::u16string_view extension = ExtensionOf(name);
  const auto isMemo = [&](const TableExtension& known) {
    return SameIgnoringCase(extension, known.memo);
  };
  return !extension.empty() &&
         (SameIgnoringCase(extension, kDBaseMemo) ||
          std::any_of(TableExtensionList.begin(), TableExtensionList.end(), isMemo));
}

bool HasIndexExtension(std::u16string_view name) {
  const std::u16string_view extension = ExtensionOf(name);
  return !extension.empty() &&
         (SameIgnoringCase(extension, u"CDX") || SameIgnoringCase(extension, u"DCX"));
}

namespace {

// The table's name with `extension` in place of its own, in the letter
// case of its own: a.dbf goes with a.fpt, A.DBF with A.FPT.
std::u16string WithExtension(std::u16string_view tableName, std::u16string_view extension) {
  std::u16string name(tableName.substr(0, tableName.size() - 3));
  const bool lower = tableName[tableName.size() - 3] >= u'a';
  for (const char16_t c : extension) name += lower ? static_cast<char16_t>(c - u'A' + u'a') : c;
  return name;
}

}  // namespace

std::u16string MemoFileName(std::u16string_view tableName, MemoFormat format) {
  const TableExtension* known = TableExtensionOf(tableName);
  if (known == nullptr) return {};
  return WithExtension(tableName, format == MemoFormat::DBase ? kDBaseMemo : known->memo);
}

std::u16string IndexFileName(std::u16string_view tableName) {
  const TableExtension* known = TableExtensionOf(tableName);
  return known == nullptr ? std::u16string() : WithExtension(tableName, known->index);
}

}  // namespace tablemark
