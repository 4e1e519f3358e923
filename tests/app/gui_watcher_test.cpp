// Hot-plug without window messages: the enumeration poll turns a device that appears or
// goes into an arrival or a removal for UpdateDevice.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
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

// Windows hears of HID devices through WM_DEVICECHANGE alone: the enumeration poll and
// udev are the hot-plug sources of Linux.
#ifdef _WIN32
#define SKIP_WITHOUT_LINUX_HOTPLUG() GTEST_SKIP() << "Linux hot-plug (poll, udev); Windows has WM_DEVICECHANGE"
#else
#define SKIP_WITHOUT_LINUX_HOTPLUG() (void)0
#endif

TEST(DeviceWatcher, PollTurnsChangesIntoArrivalsAndRemovals) {
  SKIP_WITHOUT_LINUX_HOTPLUG();
  EnsureApp();
  velmora::SimKado sim;   // attached from the start: no arrival for it
  QWidget window;
  std::vector<Event> events;
  DeviceWatcher watcher(sim, &window, [&](const velmora::HotplugEvent& e) {
    events.emplace_back(e.path, e.arrival ? velmora::kDbtDeviceArrival : velmora::kDbtDeviceRemoveComplete);
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

TEST(DeviceWatcher, UsesUdevOnlyWhereItsDaemonRunsAndPollsElsewhere) {
  SKIP_WITHOUT_LINUX_HOTPLUG();
  EnsureApp();
  velmora::SimKado sim;
  QWidget window;
  QTemporaryDir folder;
  const std::string control = (folder.path() + QStringLiteral("/control")).toStdString();
  {
    DeviceWatcher watcher(sim, &window, [](const velmora::HotplugEvent&) {});
    watcher.SetUdevControlSocket(control);
    EXPECT_EQ(watcher.Start(), DeviceWatcher::Source::Poll);
    EXPECT_EQ(watcher.ActiveSource(), DeviceWatcher::Source::Poll);
  }
  QFile(QString::fromStdString(control)).open(QIODevice::WriteOnly);
  const bool udevBuilt = velmora::CreateUdevMonitor(control) != nullptr;
  DeviceWatcher watcher(sim, &window, [](const velmora::HotplugEvent&) {});
  watcher.SetUdevControlSocket(control);
  EXPECT_EQ(watcher.Start(), udevBuilt ? DeviceWatcher::Source::Udev : DeviceWatcher::Source::Poll);
}

}  // namespace
