#include "detect/table_text.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

namespace tablemark {
namespace {

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kDescriptorSize = 32;
constexpr std::uint8_t kDescriptorEnd = 0x0D;
constexpr std::uint8_t kBinaryField = 0x04;
constexpr std::uint8_t kHasMemoFile = 0x02;
constexpr std::uint64_t kMemoHeaderSize = 512;
constexpr std::size_t kMemoBlockHeader = 8;
constexpr std::uint64_t kDBaseBlock = 512;
constexpr std::uint8_t kDBaseMemoEnd = 0x1A;
constexpr std::uint8_t kDBaseWithMemo = 0x83;

std::uint32_t Little(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = value << 8 | bytes[at + i];
  return value;
}

std::uint32_t Big(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value = value << 8 | bytes[at + i];
  return value;
}

// Visual FoxPro tables give each field's place in the record and its
// flags; older ones lay the fields one after the other, and their writers
// leave whatever they like in those descriptor bytes.
bool IsVisualFoxPro(std::uint8_t type) { return type >= 0x30 && type <= 0x32; }

// FoxPro 2.x and dBase III say they have a memo file by their type, Visual
// FoxPro by a flag.
bool SaysItHasMemoFile(std::uint8_t type, std::uint8_t flags) {
  return (flags & kHasMemoFile) != 0 || type == 0xF5 || type == kDBaseWithMemo;
}

// Whether a value is plainly not text, whatever its field says: a NUL
// before its trailing padding, control characters beyond a stray one or
// two, or the opening of a common binary format (real tables keep pictures
// and OLE objects in plain memo fields).
bool LooksBinary(std::span<const std::uint8_t> value) {
  const auto opens = [&](std::string_view signature) {
    return value.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), value.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
  };
  // A bitmap's "BM" is followed by its size and four zero bytes.
  const bool bitmap =
      opens("BM") && value.size() >= 10 &&
      std::all_of(value.begin() + 6, value.begin() + 10, [](std::uint8_t b) { return b == 0; });
  if (bitmap || opens("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") || opens("\x89PNG\r\n\x1A\n") ||
      opens("GIF8") || opens("\xFF\xD8\xFF") || opens("PK\x03\x04")) {
    return true;
  }
  std::size_t controls = 0;
  for (const std::uint8_t b : value) {
    if (b == 0) return true;
    const bool layout = b == '\t' || b == '\n' || b == '\r' || b == '\f' || b == 0x1A;
    if ((b < 0x20 && !layout) || b == 0x7F) ++controls;
  }
  return controls > 2 || controls * 16 > value.size();
}

// The block a memo field names: 4 bytes in Visual FoxPro, 10 digits in
// older tables; 0 for none.
std::uint32_t MemoBlock(std::span<const std::uint8_t> value) {
  if (value.size() == 4) return Little(value, 0, 4);
  std::uint64_t block = 0;
  for (const std::uint8_t byte : value) {
    if (byte == ' ' && block == 0) continue;
    if (byte < '0' || byte > '9') return 0;
    block = block * 10 + (byte - '0');
    if (block > 0xFFFFFFFFu) return 0;
  }
  return static_cast<std::uint32_t>(block);
}

// A varchar shorter than its field keeps its length in the last byte, the
// rest of the field empty; a full one has no such byte.
std::span<const std::uint8_t> VarcharValue(std::span<const std::uint8_t> value) {
  if (value.empty()) return value;
  const std::size_t length = value.back();
  if (length >= value.size()) return value;
  const auto rest = value.subspan(length, value.size() - 1 - length);
  const bool restEmpty =
      std::all_of(rest.begin(), rest.end(), [](std::uint8_t b) { return b == 0 || b == ' '; });
  return restEmpty ? value.first(length) : value;
}

void AppendValue(std::span<const std::uint8_t> value, std::vector<std::uint8_t>& text) {
  while (!value.empty() && (value.back() == ' ' || value.back() == 0))
    value = value.first(value.size() - 1);
  if (value.empty() || LooksBinary(value)) return;
  text.insert(text.end(), value.begin(), value.end());
  text.push_back('\n');
}

// Appends the text of one record (`record` holds recordLength bytes) and
// notes the memo blocks it names.
void AppendRecordText(std::span<const std::uint8_t> record, const TableLayout& layout,
                      TextSample& sample) {
  for (const TextField& field : layout.textFields) {
    if (field.offset + field.length > record.size()) continue;
    const auto value = record.subspan(field.offset, field.length);
    if (field.type == 'M') {
      if (const std::uint32_t block = MemoBlock(value); block != 0)
        sample.memoBlocks.push_back(block);
    } else {
      AppendValue(field.type == 'V' ? VarcharValue(value) : value, sample.text);
    }
  }
}

// How long the memo whose first bytes are `block` is, as far as they say:
// a FoxPro text memo's length, none for any other FoxPro memo; a dBase III
// memo without its end in them runs on.
std::uint64_t MemoLength(std::span<const std::uint8_t> block, MemoFormat format) {
  if (format == MemoFormat::DBase) {
    return std::find(block.begin(), block.end(), kDBaseMemoEnd) != block.end()
               ? 0
               : std::numeric_limits<std::uint64_t>::max();
  }
  return block.size() >= kMemoBlockHeader && Big(block, 0, 4) == 1 ? Big(block, 4, 4) : 0;
}

// Appends the text of one memo as read from the memo file. A FoxPro memo
// has an 8-byte block header, and anything but a text memo adds nothing; a
// dBase III memo runs to its first 0x1A.
void AppendMemoText(std::span<const std::uint8_t> block, MemoFormat format, TextSample& sample) {
  if (format == MemoFormat::DBase) {
    AppendValue(block.first(std::find(block.begin(), block.end(), kDBaseMemoEnd) - block.begin()),
                sample.text);
    return;
  }
  const std::uint64_t length = MemoLength(block, format);
  if (length == 0) return;  // not a text memo
  const auto shown =
      static_cast<std::size_t>(std::min<std::uint64_t>(length, block.size() - kMemoBlockHeader));
  AppendValue(block.subspan(kMemoBlockHeader, shown), sample.text);
}

}  // namespace

TableLayout ParseLayout(std::span<const std::uint8_t> start, std::uint64_t fileSize) {
  TableLayout layout;
  if (start.size() < kHeaderSize) return layout;
  const std::uint8_t type = start[0];
  layout.headerLength = Little(start, 8, 2);
  layout.recordLength = Little(start, 10, 2);
  if (layout.recordLength > 0 && layout.headerLength < fileSize) {
    const std::uint64_t fits = (fileSize - layout.headerLength) / layout.recordLength;
    layout.records = std::min<std::uint64_t>(Little(start, 4, 4), fits);
  }
  const std::size_t end = std::min<std::uint64_t>(start.size(), layout.headerLength);
  std::uint64_t next = 1;  // after the deletion flag
  bool memoText = false;
  for (std::size_t at = kHeaderSize; at + kDescriptorSize <= end && start[at] != kDescriptorEnd;
       at += kDescriptorSize) {
    const auto descriptor = start.subspan(at, kDescriptorSize);
    const char fieldType = static_cast<char>(descriptor[11]);
    const std::uint32_t length = descriptor[16];
    const bool visualFoxPro = IsVisualFoxPro(type);
    const std::uint64_t offset = visualFoxPro ? Little(descriptor, 12, 4) : next;
    next = offset + length;
    const bool text = fieldType == 'C' || fieldType == 'V' || fieldType == 'M';
    if (!text || (visualFoxPro && (descriptor[18] & kBinaryField) != 0)) continue;
    if (offset == 0 || length == 0 || offset + length > layout.recordLength) continue;
    layout.textFields.push_back({static_cast<std::uint32_t>(offset), length, fieldType});
    memoText = memoText || fieldType == 'M';
  }
  layout.readsMemoFile = memoText && SaysItHasMemoFile(type, start[28]);
  layout.memoFormat = type == kDBaseWithMemo ? MemoFormat::DBase : MemoFormat::FoxPro;
  return layout;
}

Transfer SampleRecords(FileReader& table, const TableLayout& layout, TextSample& sample) {
  if (layout.textFields.empty() || layout.records == 0) return {};
  // A place is a run of whole records, at least one however long.
  const std::uint64_t perPlace =
      std::clamp<std::uint64_t>(kChunkBytes / layout.recordLength, 1, layout.records);
  const std::uint64_t places =
      std::min<std::uint64_t>(kRecordChunks, (layout.records + perPlace - 1) / perPlace);
  // The places are spread evenly from the first record to the last.
  const std::uint64_t span = layout.records - perPlace;
  Transfer total;
  for (std::uint64_t place = 0; place < places && sample.text.size() < kRecordTextBytes; ++place) {
    const std::uint64_t first = places == 1 ? 0 : place * span / (places - 1);
    sample.buffer.resize(perPlace * layout.recordLength);
    const Transfer read =
        table.readAt(layout.headerLength + first * layout.recordLength, sample.buffer);
    if (!read.status.ok()) return read;
    total.count += read.count;
    for (std::size_t at = 0; at + layout.recordLength <= read.count; at += layout.recordLength) {
      AppendRecordText(std::span(sample.buffer).subspan(at, layout.recordLength), layout, sample);
    }
  }
  return total;
}

Transfer SampleMemos(FileReader& memo, std::uint64_t memoSize, MemoFormat format,
                     TextSample& sample) {
  if (sample.memoBlocks.empty()) return {};
  Transfer read;
  std::uint64_t blockSize = kDBaseBlock;
  if (format == MemoFormat::FoxPro) {
    std::array<std::uint8_t, kMemoBlockHeader> header{};
    read = memo.readAt(0, header);
    if (!read.status.ok()) return read;
    blockSize = read.count == header.size() ? Big(header, 6, 2) : 0;
    if (blockSize == 0) return read;  // no memo can be found in it
  }
  // The blocks the records named, spread over all of them when too many.
  // Fewer memos share the bound among them, so that the long memos of a
  // small table are read whole: the rest of a memo takes a second read.
  const std::vector<std::uint32_t>& blocks = sample.memoBlocks;
  const std::size_t count = std::min(blocks.size(), kMemos);
  const std::size_t share = std::max(kMemoBytes, kMemos * kMemoBytes / count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t offset = blocks[i * blocks.size() / count] * blockSize;
    if (offset < kMemoHeaderSize || offset >= memoSize) continue;
    const std::uint64_t left = memoSize - offset;
    sample.buffer.resize(std::min<std::uint64_t>(kMemoBlockHeader + kMemoBytes, left));
    read = memo.readAt(offset, sample.buffer);
    if (!read.status.ok()) return read;
    const std::uint64_t wanted = std::min<std::uint64_t>(
        kMemoBlockHeader +
            std::min<std::uint64_t>(MemoLength(std::span(sample.buffer).first(read.count), format),
                                    share),
        left);
    if (read.count == sample.buffer.size() && wanted > read.count) {
      sample.buffer.resize(wanted);
      const Transfer rest =
          memo.readAt(offset + read.count, std::span(sample.buffer).subspan(read.count));
      if (!rest.status.ok()) return rest;
      read.count += rest.count;
    }
    AppendMemoText(std::span(sample.buffer).first(read.count), format, sample);
  }
  return read;
}

TableSampler::Outcome TableSampler::readTable(FileReader& table, std::uint64_t size) {
  const auto failed = [&](Status status) {
    failure_ = status;
    return Outcome::Failed;
  };
  start_.resize(kHeaderReadBytes);
  Transfer read = table.readAt(0, start_);
  if (!read.status.ok() || read.count < TableHeader::kSize) return failed(read.status);
  std::copy_n(start_.begin(), TableHeader::kSize, header_.bytes.begin());
  if (!header_.isAcceptedTable()) return Outcome::NotATable;
  // A header longer than the first read takes a second.
  const std::uint64_t wanted = std::min<std::uint64_t>(Little(header_.bytes, 8, 2), size);
  if (wanted > read.count && read.count == start_.size()) {
    start_.resize(wanted);
    const Transfer more = table.readAt(read.count, std::span(start_).subspan(read.count));
    if (!more.status.ok()) return failed(more.status);
    read.count += more.count;
  }
  layout_ = ParseLayout(std::span(start_).first(read.count), size);
  sample_.clear();
  read = SampleRecords(table, layout_, sample_);
  if (!read.status.ok()) return failed(read.status);
  return Outcome::Read;
}

}  // namespace tablemark
