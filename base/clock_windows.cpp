#include "clock.h"

namespace velmora::detail {

std::tm LocalTime(std::time_t secs) {
  std::tm tm{};
  localtime_s(&tm, &secs);
  return tm;
}

}  // namespace velmora::detail
