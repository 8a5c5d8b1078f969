// The detector on POSIX: the system's uchardet, loaded the first time a
// detector is made. Linking it would load it, and the C++ runtime it
// brings, into every run, re-marking ones included: that doubles the time
// of a run over a hundred tables.
#include <dlfcn.h>
#include <uchardet/uchardet.h>

#include "cli/console_messages.h"
#include "detect/charset_detector.h"

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

template <typename Function>
bool Find(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

// Loaded once and kept for the life of the process, as a linked library is.
const Uchardet& Library() {
  static const Uchardet library = [] {
    Uchardet found;
    void* handle = dlopen("libuchardet.so.0", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr || !Find(handle, "uchardet_new", found.create) ||
        !Find(handle, "uchardet_delete", found.destroy) ||
        !Find(handle, "uchardet_reset", found.reset) ||
        !Find(handle, "uchardet_handle_data", found.handleData) ||
        !Find(handle, "uchardet_data_end", found.dataEnd) ||
        !Find(handle, "uchardet_get_charset", found.charset)) {
      std::u16string text(kUncodedCallErrorPrefix);
      text += label::kLoadLibrary;
      throw FatalMessage(std::move(text));
    }
    return found;
  }();
  return library;
}

}  // namespace

CharsetDetector::CharsetDetector() : detector_(Library().create()) {}

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
