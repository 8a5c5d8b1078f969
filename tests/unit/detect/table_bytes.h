// Table and memo files made in memory for the detection tests.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "bytes_reader.h"

namespace tablemark::testing {

struct Field {
  char type;
  std::uint8_t length;
  std::uint8_t flags = 0;
};

// A Visual FoxPro table: the fields, then one record per row, each row's
// values in field order (a memo field's value is its block number).
Bytes Table(std::uint8_t mark, const std::vector<Field>& fields,
            const std::vector<std::vector<Bytes>>& rows, std::uint8_t flags = 0);

Bytes Text(std::string_view text);

// A Visual FoxPro memo field's value: the block number.
Bytes Block(std::uint32_t block);

// A memo file with 64-byte blocks holding `memos` from block 8 on, one
// after another; returns each memo's block in `blocks`.
Bytes Memo(const std::vector<Bytes>& memos, std::vector<std::uint32_t>& blocks,
           std::uint32_t type = 1);

// Russian prose in code page 1251 (`windows`) or 866: long enough to be
// sure of.
Bytes Russian(bool windows);

// `prose` cut into values of `width` bytes, four times over, one a row.
std::vector<std::vector<Bytes>> Lines(const Bytes& prose, std::size_t width);

}  // namespace tablemark::testing
