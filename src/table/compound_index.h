// A compound index (the CDX beside a table, the DCX beside a database
// container): the tags it holds and the collation each was built under. A
// tag's keys under any collation but MACHINE are sort weights of the table's
// code page, so a new code-page mark leaves the tag ordered for the old one.
// Every number in the file is untrusted: whatever it says, nothing is read
// outside the file or a buffer, a loop ends, and memory is a few nodes
// besides the tags, of which there are no more than headers fit in the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tablemark {

struct IndexTag {
  std::string name;       // the key's bytes, trailing NULs and spaces trimmed
  std::string collation;  // the header's bytes, trailing NULs trimmed; empty: MACHINE
};

struct IndexTags {
  enum class Outcome {
    Read,
    ReadFailed,  // a read of the index failed: `failure` says how
    Damaged,     // the file does not hold together as an index
  };
  Outcome outcome = Outcome::Read;
  Status failure = Status::Ok();
  std::vector<IndexTag> tags;  // in the directory's order; empty unless Read
};

// The tags of the index `index`, `size` bytes long, from its tag directory.
IndexTags ReadIndexTags(FileReader& index, std::uint64_t size);

}  // namespace tablemark
