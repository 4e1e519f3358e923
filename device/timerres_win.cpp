#include "timerres.h"

#include <windows.h>
#include <timeapi.h>

namespace velmora {
namespace {

// From processthreadsapi.h of the Windows 11 SDK; older SDKs (and MinGW) lack some of them.
constexpr int kProcessPowerThrottling = 4;   // PROCESS_INFORMATION_CLASS
constexpr ULONG kPowerThrottlingCurrentVersion = 1;
constexpr ULONG kPowerThrottlingIgnoreTimerResolution = 0x4;

struct PowerThrottlingState {
  ULONG Version;
  ULONG ControlMask;
  ULONG StateMask;
};

using SetProcessInformationFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);

// Windows 8 and later export it; Windows 11 knows the timer-resolution flag. Elsewhere the
// call fails and only timeBeginPeriod is left.
SetProcessInformationFn LoadSetProcessInformation() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<SetProcessInformationFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetProcessInformation")));
}

// Windows 11 ignores timeBeginPeriod for a minimised or hidden window unless the process
// asks it to honour the request: ControlMask with the flag and StateMask without it. Both
// masks 0 hand the decision back to the system.
bool HonourTimerResolution(bool honour) {
  static const SetProcessInformationFn set = LoadSetProcessInformation();
  if (!set) return false;
  PowerThrottlingState state{kPowerThrottlingCurrentVersion,
                             honour ? kPowerThrottlingIgnoreTimerResolution : 0, 0};
  return set(GetCurrentProcess(), kProcessPowerThrottling, &state, sizeof state) != FALSE;
}

}  // namespace

TimerResolutionGuard::TimerResolutionGuard()
    : raised_(timeBeginPeriod(1) == TIMERR_NOERROR), honoured_(HonourTimerResolution(true)) {}

TimerResolutionGuard::~TimerResolutionGuard() {
  if (honoured_) HonourTimerResolution(false);
  if (raised_) timeEndPeriod(1);
}

}  // namespace velmora
