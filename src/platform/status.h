// How a call to the system ends: success, or a failure and the code the
// system gave for it. Every call of the platform that can fail says so
// with one of these values; nothing is left in a global last-error state.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tablemark {

// The system's code for a failed call; 0 means the system gave none.
// Windows codes are DWORDs, printed in signed decimal, hence 32-bit signed.
using ErrorCode = std::int32_t;

class [[nodiscard]] Status {
 public:
  static Status Ok() { return Status(); }
  static Status Failed(ErrorCode code) { return Status(code); }

  bool ok() const { return !failed_; }
  // The system's code for a failure; 0 when it gave none.
  ErrorCode code() const { return code_; }

 private:
  Status() = default;
  explicit Status(ErrorCode code) : failed_(true), code_(code) {}
  bool failed_ = false;
  ErrorCode code_ = 0;
};

// A transfer of bytes: how it ended, and how many bytes moved before that.
struct [[nodiscard]] Transfer {
  Status status = Status::Ok();
  std::size_t count = 0;
};

}  // namespace tablemark
