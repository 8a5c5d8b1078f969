#include "table/compound_index.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

namespace tablemark {

namespace {

constexpr std::uint64_t kNodeSize = 512;
constexpr std::uint64_t kHeaderSize = 1024;  // the directory's and each tag's
constexpr std::uint32_t kNoSibling = 0xFFFFFFFF;
constexpr std::size_t kLeafEntries = 24;      // where a leaf's packed entries start
constexpr std::size_t kInteriorEntries = 12;  // and an interior node's
constexpr std::size_t kCollationAt = 494;     // in a tag's header
constexpr std::size_t kCollationSize = 8;
constexpr std::string_view kNameFill(" \0", 2);      // after a tag's name
constexpr std::string_view kCollationFill("\0", 1);  // after a collation's
// 512-byte nodes of at least two children each reach 2^32 bytes, as far as
// a 32-bit offset goes, in 23 levels.
constexpr int kMaxDepth = 32;

using Node = std::array<std::uint8_t, kNodeSize>;

std::uint32_t Little(std::span<const std::uint8_t> bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) value = value << 8 | bytes[i];
  return value;
}

std::uint32_t Big(std::span<const std::uint8_t, 4> bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | bytes[3];
}

std::string Trimmed(std::span<const std::uint8_t> bytes, std::string_view fill) {
  std::string text(bytes.begin(), bytes.end());
  text.erase(text.find_last_not_of(fill) + 1);
  return text;
}

class TagWalk {
 public:
  TagWalk(FileReader& index, std::uint64_t size) : index_(index), size_(size) {}

  IndexTags run() {
    if (!walk()) result_.tags.clear();
    return std::move(result_);
  }

 private:
  bool walk() {
    std::array<std::uint8_t, 16> directory{};
    if (!read(0, directory)) return false;
    keyLength_ = Little(std::span(directory).subspan(12, 2));
    // An interior node holds at least one key with its two numbers.
    if (keyLength_ == 0 || keyLength_ > kNodeSize - kInteriorEntries - 8) return damaged();
    std::uint64_t at = Little(std::span(directory).first(4));
    Node node{};
    for (int depth = 0;; ++depth) {
      if (depth > kMaxDepth) return damaged();
      if (!readNode(at, node)) return false;
      if (isLeaf(node)) break;
      const std::size_t keys = Little(std::span(node).subspan(2, 2));
      if (keys == 0 || kInteriorEntries + keys * (keyLength_ + 8) > kNodeSize) return damaged();
      at = Big(std::span(node).subspan(kInteriorEntries + keyLength_ + 4).first<4>());
    }
    // Leaves are walked by their right siblings. A damaged file may loop:
    // Brent's check meets a loop within twice its length and the way into
    // it, keeping one offset.
    std::uint64_t marked = at, steps = 0, span = 1;
    while (true) {
      if (!addLeafTags(node, at)) return false;
      const std::uint32_t right = Little(std::span(node).subspan(8, 4));
      if (right == kNoSibling) return true;
      if (right == marked) return damaged();
      if (++steps == span) {
        marked = right;
        span *= 2;
        steps = 0;
      }
      at = right;
      if (!readNode(at, node)) return false;
      if (!isLeaf(node)) return damaged();
    }
  }

  static bool isLeaf(const Node& node) { return (node[0] & 0x02) != 0; }

  // Reads `buffer.size()` bytes at `offset`, all inside the file.
  bool read(std::uint64_t offset, std::span<std::uint8_t> buffer) {
    if (offset > size_ || buffer.size() > size_ - offset) return damaged();
    const Transfer read = index_.readAt(offset, buffer);
    if (!read.status.ok()) {
      result_.outcome = IndexTags::Outcome::ReadFailed;
      result_.failure = read.status;
      return false;
    }
    // The file ended sooner than its size said.
    return read.count == buffer.size() || damaged();
  }

  // Nodes lie on 512-byte boundaries after the directory's header.
  bool readNode(std::uint64_t offset, Node& node) {
    if (offset < kHeaderSize || offset % kNodeSize != 0) return damaged();
    return read(offset, node);
  }

  // Decodes the leaf `node`, read at `at`, adding a tag for each entry.
  bool addLeafTags(const Node& node, std::uint64_t at) {
    const std::size_t keys = Little(std::span(node).subspan(2, 2));
    if (keys == 0) return true;  // how its entries would be packed does not matter
    const std::uint32_t recordMask = Little(std::span(node).subspan(14, 4));
    const std::uint8_t duplicateMask = node[18], trailingMask = node[19];
    const unsigned recordBits = node[20], duplicateBits = node[21], trailingBits = node[22];
    const std::size_t width = node[23];
    // The masks are 4, 1 and 1 bytes wide; the bits under them fill at most
    // the entry, which is at most the 8 bytes of a number.
    if (width == 0 || width > 8 || recordBits > 32 || duplicateBits > 8 || trailingBits > 8 ||
        recordBits + duplicateBits + trailingBits > 8 * width ||
        kLeafEntries + keys * width > kNodeSize) {
      return damaged();
    }
    const std::size_t entriesEnd = kLeafEntries + keys * width;
    std::size_t keysStart = kNodeSize;  // each key's own bytes come before the last one's
    for (std::size_t i = 0; i < keys; ++i) {
      std::uint64_t entry = 0;
      for (std::size_t b = width; b-- > 0;) entry = entry << 8 | node[kLeafEntries + i * width + b];
      const std::size_t duplicate = (entry >> recordBits) & duplicateMask;
      const std::size_t trailing = (entry >> (recordBits + duplicateBits)) & trailingMask;
      if (duplicate + trailing > keyLength_ ||
          keyLength_ - duplicate - trailing > keysStart - entriesEnd) {
        return damaged();
      }
      const std::size_t own = keyLength_ - duplicate - trailing;
      keysStart -= own;
      // The previous key's first `duplicate` bytes stay where they are.
      std::copy_n(node.begin() + keysStart, own, key_.begin() + duplicate);
      std::fill_n(key_.begin() + duplicate + own, trailing, ' ');
      if (!addTag(entry & recordMask, at)) return false;
    }
    return true;
  }

  // The tag whose name is the key just decoded and whose header is at
  // `header`, named by the leaf at `leaf`.
  bool addTag(std::uint64_t header, std::uint64_t leaf) {
    // Each tag has a header of its own: no more tags than headers fit, and
    // none inside the directory's header or the leaf naming it.
    if (header < kHeaderSize || header == leaf || header % kNodeSize != 0 ||
        header + kHeaderSize > size_ || result_.tags.size() >= size_ / kHeaderSize) {
      return damaged();
    }
    std::array<std::uint8_t, kCollationSize> collation{};
    if (!read(header + kCollationAt, collation)) return false;
    result_.tags.push_back({Trimmed(std::span(key_).first(keyLength_), kNameFill),
                            Trimmed(collation, kCollationFill)});
    return true;
  }

  bool damaged() {
    result_.outcome = IndexTags::Outcome::Damaged;
    return false;
  }

  FileReader& index_;
  const std::uint64_t size_;
  std::size_t keyLength_ = 0;
  std::array<std::uint8_t, kNodeSize> key_{};
  IndexTags result_;
};

}  // namespace

IndexTags ReadIndexTags(FileReader& index, std::uint64_t size) {
  return TagWalk(index, size).run();
}

}  // namespace tablemark
