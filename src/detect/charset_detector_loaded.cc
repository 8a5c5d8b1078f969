// The detector on POSIX: the system's uchardet, loaded the first time a
// detector is made. Linking it would load it, and the C++ runtime it
// brings, into every run, re-marking ones included: that doubles the time
// of a run over a hundred tables. Only its header is used at build time.
#include <uchardet/uchardet.h>

#include "detect/charset_detector.h"
#include "report/messages.h"

namespace tablemark {
namespace {

struct Uchardet {
  decltype(&uchardet_new) create = nullptr;
  decltype(&uchardet_delete) destroy = nullptr;
  decltype(&uchardet_reset) reset = nullptr;
  decltype(&uchardet_handle_data) handleData = nullptr;
  decltype(&uchardet_data_end) dataEnd = nullptr;
  decltype(&uchardet_get_charset) charset = nullptr;
};

constexpr const char* kLibrary = "libuchardet.so.0";

template <typename Function>
bool Find(SharedLibraries& libraries, const char* name, Function& function) {
  function = reinterpret_cast<Function>(libraries.find(kLibrary, name));
  return function != nullptr;
}

// Found once and kept for the life of the process, as a linked library is.
const Uchardet& Library(SharedLibraries* libraries = nullptr) {
  static const Uchardet library = [libraries] {
    Uchardet found;
    if (libraries == nullptr || !Find(*libraries, "uchardet_new", found.create) ||
        !Find(*libraries, "uchardet_delete", found.destroy) ||
        !Find(*libraries, "uchardet_reset", found.reset) ||
        !Find(*libraries, "uchardet_handle_data", found.handleData) ||
        !Find(*libraries, "uchardet_data_end", found.dataEnd) ||
        !Find(*libraries, "uchardet_get_charset", found.charset)) {
      std::u16string text(kUncodedCallErrorPrefix);
      text += label::kLoadLibrary;
      throw FatalMessage(std::move(text));
    }
    return found;
  }();
  return library;
}

}  // namespace

CharsetDetector::CharsetDetector(SharedLibraries& libraries)
    : detector_(Library(&libraries).create()) {}

CharsetDetector::~CharsetDetector() { Library().destroy(static_cast<uchardet_t>(detector_)); }

std::string_view CharsetDetector::detect(std::span<const std::uint8_t> text) {
  const Uchardet& library = Library();
  const auto detector = static_cast<uchardet_t>(detector_);
  library.reset(detector);
  if (library.handleData(detector, reinterpret_cast<const char*>(text.data()), text.size()) != 0) {
    return {};
  }
  library.dataEnd(detector);
  return library.charset(detector);
}

}  // namespace tablemark
