#include "timerres.h"

#include <windows.h>
#include <timeapi.h>

namespace velmora {

TimerResolutionGuard::TimerResolutionGuard() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}

TimerResolutionGuard::~TimerResolutionGuard() {
  if (raised_) timeEndPeriod(1);
}

}  // namespace velmora
