// The code-page mark: the byte at offset 29 of a table header that records
// which code page the table's text is in, and how a Windows code page number
// maps to it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tablemark {

struct CodePageMarkEntry {
  std::int32_t codePage;
  std::int32_t mark;  // the low byte is what is written
};

// Searched in this order; the last row (code page 0, mark 0) is a row like
// the others, not an end marker.
inline constexpr std::array<CodePageMarkEntry, 29> CodePageMarkTable{{
    {437, 0x01},   {850, 0x02},   {1252, 0x03},  {10000, 0x04}, {852, 0x64},  {866, 0x65},
    {865, 0x66},   {861, 0x67},   {895, 0x68},   {620, 0x69},   {737, 0x6A},  {857, 0x6B},
    {863, 0x6C},   {950, 0x78},   {949, 0x79},   {936, 0x7A},   {932, 0x7B},  {874, 0x7C},
    {10007, 0x96}, {10029, 0x97}, {10006, 0x98}, {1250, 0xC8},  {1251, 0xC9}, {1253, 0xCB},
    {1254, 0xCA},  {1255, 0x7D},  {1256, 0x7E},  {1257, 0xCC},  {0, 0x00},
}};

// The mark for `codePage`; throws FatalMessage with the bad code page text
// when the table has no row for it.
std::uint8_t LookupCodePageMark(std::int32_t codePage);

// The mark for `codePage`, or nothing when the table has no row for it.
std::optional<std::uint8_t> FindCodePageMark(std::int32_t codePage);

// The code page a mark stands for: the first row of the table with that
// mark; -1 for a mark no row has.
std::int32_t CodePageOfMark(std::uint8_t mark);

// The language-driver bytes other writers put in byte 29 (dBase, and the
// GIS tools that write most shapefiles), and the code page each stands for.
// Re-marking never writes them; a table that carries one is read as its
// writer meant it.
struct ForeignMark {
  std::uint8_t mark;
  std::int32_t codePage;
};
inline constexpr std::array<ForeignMark, 38> ForeignMarkTable{{
    {0x09, 437}, {0x0B, 437},  {0x0D, 437},  {0x0F, 437}, {0x11, 437}, {0x15, 437}, {0x18, 437},
    {0x19, 437}, {0x1B, 437},  {0x0A, 850},  {0x0E, 850}, {0x10, 850}, {0x12, 850}, {0x14, 850},
    {0x16, 850}, {0x1A, 850},  {0x1D, 850},  {0x25, 850}, {0x37, 850}, {0x1F, 852}, {0x22, 852},
    {0x23, 852}, {0x40, 852},  {0x87, 852},  {0x24, 860}, {0x1C, 863}, {0x08, 865}, {0x17, 865},
    {0x26, 866}, {0x86, 737},  {0x88, 857},  {0x13, 932}, {0x4D, 936}, {0x4E, 949}, {0x4F, 950},
    {0x50, 874}, {0x58, 1252}, {0x59, 1252},
}};

// The code page a mark stands for, whoever wrote it: the mark table's, else
// another writer's; 0 for mark 0, and -1 for a byte that names no code page
// (0x57, "the writer's own ANSI page", among them). A mark agrees with a
// text's code page when it stands for it.
std::int32_t CodePageMarkStandsFor(std::uint8_t mark);

}  // namespace tablemark
