// The device operations' tests use the shared stand-ins (the device link's window, the
// clock, the temporary folder) under their own names.
#pragma once
#include <gtest/gtest.h>

#include "base/clock.h"
#include "device/devicehost.h"
#include "link_fakes.h"
#include "tests/routes/fakes.h"

namespace velmora::opstest {

// The device link's window stand-in, under the names these tests use.
using Line = testing::LoggedLine;
using OpsHost = testing::FakeHost;

// The shared clock, from 08.12.2026 10:00 and 1000 ms.
struct OpsClock : test::FakeClock {
  OpsClock() {
    now = DateTime{2026, 12, 8, 10, 0, 0, 0};
    ms = 1000;
  }
};

using TempFolder = test::TempDir;

}  // namespace velmora::opstest
