#include "timerres.h"

#include <sys/prctl.h>

namespace velmora {

// Linux lets a sleep run up to the thread's timer slack (50 µs by default) past its end; over
// the hundreds of 1 ms pauses of a write that adds up, so the slack is cut for the write.
TimerResolutionGuard::TimerResolutionGuard() {
  const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  if (slack > 0 && prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0) {
    saved_ = slack;
    raised_ = true;
  }
}

TimerResolutionGuard::~TimerResolutionGuard() {
  if (raised_) prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(saved_), 0, 0, 0);
}

}  // namespace velmora
