// The detector where uchardet is linked in: the Windows exes.
#include <uchardet/uchardet.h>

#include "detect/charset_detector.h"

namespace tablemark {

CharsetDetector::CharsetDetector(SharedLibraries& /*libraries*/) : detector_(uchardet_new()) {}

CharsetDetector::~CharsetDetector() { uchardet_delete(static_cast<uchardet_t>(detector_)); }

std::string_view CharsetDetector::detect(std::span<const std::uint8_t> text) {
  const auto detector = static_cast<uchardet_t>(detector_);
  uchardet_reset(detector);
  if (uchardet_handle_data(detector, reinterpret_cast<const char*>(text.data()), text.size()) !=
      0) {
    return {};
  }
  uchardet_data_end(detector);
  return uchardet_get_charset(detector);
}

}  // namespace tablemark
