#include "clock.h"

namespace velmora::detail {

std::tm LocalTime(std::time_t secs) {
  std::tm tm{};
  localtime_r(&secs, &tm);
  return tm;
}

}  // namespace velmora::detail
