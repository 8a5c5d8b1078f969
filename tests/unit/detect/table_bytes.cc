#include "detect/table_bytes.h"

#include <algorithm>

namespace tablemark::testing {

namespace {

void Put(Bytes& bytes, std::size_t at, std::uint32_t value, int width, bool big = false) {
  for (int i = 0; i < width; ++i) {
    bytes[at + (big ? width - 1 - i : i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

}  // namespace

// A Visual FoxPro table: the fields, then one record per row, each row's
// values in field order (a memo field's value is its block number).
Bytes Table(std::uint8_t mark, const std::vector<Field>& fields,
            const std::vector<std::vector<Bytes>>& rows, std::uint8_t flags) {
  std::uint32_t recordLength = 1;
  for (const Field& f : fields) recordLength += f.length;
  const std::uint32_t headerLength = 32 + 32 * fields.size() + 1 + 263;
  Bytes bytes(headerLength, 0);
  bytes[0] = 0x30;
  Put(bytes, 4, rows.size(), 4);
  Put(bytes, 8, headerLength, 2);
  Put(bytes, 10, recordLength, 2);
  bytes[28] = flags;
  bytes[29] = mark;
  std::uint32_t offset = 1;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t at = 32 + 32 * i;
    bytes[at] = static_cast<std::uint8_t>('A' + i);
    bytes[at + 11] = static_cast<std::uint8_t>(fields[i].type);
    Put(bytes, at + 12, offset, 4);
    bytes[at + 16] = fields[i].length;
    bytes[at + 18] = fields[i].flags;
    offset += fields[i].length;
  }
  bytes[32 + 32 * fields.size()] = 0x0D;
  for (const auto& row : rows) {
    bytes.push_back(' ');
    for (std::size_t i = 0; i < fields.size(); ++i) {
      Bytes value = row[i];
      value.resize(fields[i].length, fields[i].type == 'M' ? 0 : ' ');
      bytes.insert(bytes.end(), value.begin(), value.end());
    }
  }
  return bytes;
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Block(std::uint32_t block) {
  Bytes bytes(4, 0);
  Put(bytes, 0, block, 4);
  return bytes;
}

// A memo file with 64-byte blocks holding `memos` from block 8 on, one
// after another; returns each memo's block in `blocks`.
Bytes Memo(const std::vector<Bytes>& memos, std::vector<std::uint32_t>& blocks,
           std::uint32_t type) {
  Bytes bytes(512, 0);
  Put(bytes, 6, 64, 2, true);
  for (const Bytes& memo : memos) {
    blocks.push_back(static_cast<std::uint32_t>(bytes.size() / 64));
    const std::size_t at = bytes.size();
    bytes.resize(at + 8 + memo.size());
    Put(bytes, at, type, 4, true);
    Put(bytes, at + 4, memo.size(), 4, true);
    std::copy(memo.begin(), memo.end(), bytes.begin() + at + 8);
    bytes.resize((bytes.size() + 63) / 64 * 64);
  }
  return bytes;
}

// Russian prose in code page 866 and 1251: long enough to be sure of.
Bytes Russian(bool windows) {
  // "Съешь же ещё этих мягких французских булок да выпей чаю" and more.
  const char16_t* text =
      u"Съешь же ещё этих мягких французских булок, да выпей чаю. Широкая электрификация южных "
      u"губерний даст мощный толчок подъёму сельского хозяйства. В чащах юга жил бы цитрус? Да, "
      u"но фальшивый экземпляр! Эх, жирафы честно в цепи вошли, да щёки побледнели.";
  Bytes bytes;
  for (const char16_t* c = text; *c != 0; ++c) {
    const char16_t ch = *c;
    if (ch < 0x80) {
      bytes.push_back(static_cast<std::uint8_t>(ch));
    } else if (ch == u'ё') {
      bytes.push_back(windows ? 0xB8 : 0xF1);
    } else if (ch >= u'А' && ch <= u'я') {
      const int i = ch - u'А';  // 0..63
      bytes.push_back(
          static_cast<std::uint8_t>(windows ? 0xC0 + i : (i < 48 ? 0x80 + i : 0xE0 + i - 48)));
    }
  }
  return bytes;
}

std::vector<std::vector<Bytes>> Lines(const Bytes& prose, std::size_t width) {
  std::vector<std::vector<Bytes>> rows;
  for (int repeat = 0; repeat < 4; ++repeat) {
    for (std::size_t at = 0; at < prose.size(); at += width) {
      rows.push_back(
          {Bytes(prose.begin() + at, prose.begin() + std::min(at + width, prose.size()))});
    }
  }
  return rows;
}

}  // namespace tablemark::testing
