// Hot-plug without window messages: the enumeration poll turns a device that appears or
// goes into an arrival or a removal for UpdateDevice.
#include <gtest/gtest.h>

#include <QWidget>
#include <utility>
#include <vector>

#include "device/devicelink.h"
#include "device/simkado.h"
#include "devicewatcher.h"
#include "gui_support.h"

using namespace guitest;

namespace {

using Event = std::pair<std::string, uint32_t>;

bool WaitFor(const std::vector<Event>& events, std::size_t count) {
  for (int i = 0; i < 200 && events.size() < count; ++i) QTest::qWait(5);
  return events.size() >= count;
}

TEST(DeviceWatcher, PollTurnsChangesIntoArrivalsAndRemovals) {
  EnsureApp();
  velmora::SimKado sim;   // attached from the start: no arrival for it
  QWidget window;
  std::vector<Event> events;
  DeviceWatcher watcher(sim, &window, [&](const std::string& path, uint32_t code) {
    events.emplace_back(path, code);
  });
  ASSERT_EQ(watcher.StartPolling(10), DeviceWatcher::Source::Poll);
  QTest::qWait(40);
  EXPECT_TRUE(events.empty());

  sim.Detach();
  ASSERT_TRUE(WaitFor(events, 1));
  EXPECT_EQ(events[0], Event(sim.Path(), velmora::kDbtDeviceRemoveComplete));
  sim.Attach();
  ASSERT_TRUE(WaitFor(events, 2));
  EXPECT_EQ(events[1], Event(sim.Path(), velmora::kDbtDeviceArrival));
  // A second start keeps the source it has.
  EXPECT_EQ(watcher.Start(), DeviceWatcher::Source::Poll);
}

TEST(DeviceWatcher, StartFindsASourceOnThisSystem) {
  EnsureApp();
  velmora::SimKado sim;
  QWidget window;
  DeviceWatcher watcher(sim, &window, [](const std::string&, uint32_t) {});
  const DeviceWatcher::Source source = watcher.Start();
  EXPECT_NE(source, DeviceWatcher::Source::None);
  EXPECT_EQ(watcher.ActiveSource(), source);
}

}  // namespace
