#include "hid.h"

#include <algorithm>

namespace velmora {

std::size_t FeatureReplyLength(uint8_t reportId, unsigned long returned, std::size_t asked) {
  const std::size_t withId = static_cast<std::size_t>(returned) + (reportId == 0 ? 1 : 0);
  return std::min(withId, asked);
}

}  // namespace velmora
