// The code-page mark: the byte at offset 29 of a table header that records
// which code page the table's text is in, and how a Windows code page number
// maps to it.
#pragma once

#include <array>
#include <cstdint>

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

// The code page a mark stands for: the first row of the table with that
// mark; -1 for a mark no row has.
std::int32_t CodePageOfMark(std::uint8_t mark);

}  // namespace tablemark
