// Raises the system timer resolution to 1 ms while an object lives, so that the pause
// after each data block really lasts about 1 ms (Windows rounds sleeps to 15.6 ms; Linux
// lets them overrun by the timer slack).
#pragma once

namespace velmora {

class TimerResolutionGuard {
 public:
  TimerResolutionGuard();
  ~TimerResolutionGuard();
  TimerResolutionGuard(const TimerResolutionGuard&) = delete;
  TimerResolutionGuard& operator=(const TimerResolutionGuard&) = delete;

 private:
  [[maybe_unused]] bool raised_ = false;
  [[maybe_unused]] long saved_ = 0;       // the timer slack to restore (Linux)
  // Windows 11: the process asked to keep the raised resolution while its window is
  // minimised or hidden (SetProcessInformation, loaded at run time).
  [[maybe_unused]] bool honoured_ = false;
};

}  // namespace velmora
