#include "timerres.h"

namespace velmora {

// Other systems sleep with millisecond resolution already.
TimerResolutionGuard::TimerResolutionGuard() = default;
TimerResolutionGuard::~TimerResolutionGuard() = default;

}  // namespace velmora
