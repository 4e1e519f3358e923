// Windows 11 keeps a raised timer resolution for a minimised or hidden window only when
// the process asks for it; a write asks, and gives the decision back afterwards.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include "device/timerres.h"

namespace velmora {
namespace {

struct ThrottlingState { ULONG Version, ControlMask, StateMask; };
constexpr ULONG kIgnoreTimerResolution = 0x4;

// GetProcessInformation (ProcessPowerThrottling, 4), where this Windows has it.
bool ReadThrottling(ThrottlingState& state) {
  using GetFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  const auto get = reinterpret_cast<GetFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessInformation")));
  state = ThrottlingState{1, 0, 0};
  return get && get(GetCurrentProcess(), 4, &state, sizeof state);
}

TEST(TimerResolution, AWriteKeepsTheRaisedResolutionWhileHiddenAndGivesItBack) {
  ThrottlingState state;
  if (!ReadThrottling(state)) GTEST_SKIP() << "this Windows does not report its power throttling";
  {
    TimerResolutionGuard guard;
    ASSERT_TRUE(ReadThrottling(state));
    EXPECT_EQ(state.ControlMask & kIgnoreTimerResolution, kIgnoreTimerResolution);
    EXPECT_EQ(state.StateMask & kIgnoreTimerResolution, 0u);
  }
  ASSERT_TRUE(ReadThrottling(state));
  EXPECT_EQ(state.ControlMask & kIgnoreTimerResolution, 0u);
}

}  // namespace
}  // namespace velmora
#endif
