// Start-up search, arrivals and removals: the log lines, the device state and lbProd.
#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "device/devicelink.h"
#include "device/simkado.h"
#include "device/transport.h"
#include "link_fakes.h"

namespace velmora {
namespace {

using testing::FakeClock;
using testing::FakeHidBus;
using testing::FakeHost;

const std::string kKadoLine =
    Cp("T=5 add++sim:kado -Открыли VID=16C0 PID=05DF vName=Morvan pName=КАДО-08");
const std::string kMouseLine =
    Cp("T=5 add++/dev/hidraw7 -Открыли VID=046D PID=C077 vName=Logitech pName=USB Optical Mouse");
const std::string kKadoCaption = Cp("КАДО-08") + " (v1.05)";

int LinkOpenAttempts() { return DeviceLink::kOpenAttempts; }

struct Link {
  explicit Link(HidFunctions& hid) : link(hid, context, host) {}
  DeviceState& state() { return context.device; }
  // Delivers the simulated КАДО's events as the window does.
  void Follow(SimKado& sim) {
    sim.SetEventListener([this](const HotplugEvent& e) {
      link.UpdateDevice(e);
    });
  }
  DeviceContext context;
  FakeHost host;
  FakeClock clock;
  DeviceLink link;
};

TEST(LinkDiscovery, StartUpTakesTheNormalKadoAsAnArrival) {
  SimKado sim;
  Link l(sim);
  l.link.FormActivate();

  ASSERT_EQ(l.host.log.size(), 1u);
  EXPECT_EQ(l.host.log[0].text, kKadoLine);
  EXPECT_EQ(l.host.log[0].colour, kBlue);
  EXPECT_EQ(l.host.Caption(), kKadoCaption);
  EXPECT_EQ(l.state().DevicePath, "sim:kado");
  EXPECT_EQ(l.state().DeviceAttributes.productId, KadoProductId);
  EXPECT_EQ(l.state().ProductName, Cp("КАДО-08"));
  EXPECT_EQ(l.state().VendorName, "Morvan");
  EXPECT_FALSE(l.state().BootMode());
  EXPECT_TRUE(l.state().DeviceLinkStarted);
  EXPECT_EQ(sim.OpenHandles(), 0);
  // The arrival inside the start-up step does not refresh; the step does, once.
  EXPECT_EQ(l.host.refreshes, 1);
  EXPECT_EQ(l.host.broughtToFront, 1);
  EXPECT_TRUE(l.host.status[kPanelStatus].empty());

  l.link.FormActivate();
  EXPECT_EQ(l.host.log.size(), 1u);
  EXPECT_EQ(l.host.refreshes, 1);
}

TEST(LinkDiscovery, StartUpFindsTheBootLoader) {
  SimKadoOptions o;
  o.boot = true;
  SimKado sim(o);
  Link l(sim);
  l.link.FormActivate();
  ASSERT_EQ(l.host.log.size(), 1u);
  EXPECT_EQ(l.host.log[0].text,
            Cp("T=5 add++sim:kado-boot -Открыли VID=16C0 PID=05DE vName=Morvan pName=КАДО-08"));
  EXPECT_TRUE(l.state().BootMode());
  EXPECT_EQ(l.state().DevicePath, "sim:kado-boot");
}

TEST(LinkDiscovery, StartUpPrefersTheNormalIdentity) {
  SimKadoOptions bootOptions;
  bootOptions.boot = true;
  SimKado boot(bootOptions), normal;
  FakeHidBus bus;
  bus.Add("/dev/hidraw0", 0x046D, 0xC077);
  bus.others = {&boot, &normal};   // the boot loader comes first in the enumeration
  Link l(bus);
  l.link.FormActivate();
  ASSERT_EQ(l.host.log.size(), 1u);
  EXPECT_EQ(l.host.log[0].text, kKadoLine);
  EXPECT_FALSE(l.state().BootMode());
  EXPECT_EQ(boot.OpenHandles() + normal.OpenHandles(), 0);
  EXPECT_EQ(bus.entries[0].opens, 0);   // the enumeration's IDs spare the mouse an open
}

TEST(LinkDiscovery, StartUpWithoutKadoOrWithoutLibrary) {
  {
    FakeHidBus bus;
    bus.Add("/dev/hidraw0", 0x046D, 0xC077);
    Link l(bus);
    l.link.FormActivate();
    EXPECT_TRUE(l.host.log.empty());
    EXPECT_TRUE(l.state().DevicePath.empty());
    EXPECT_TRUE(l.state().DeviceLinkStarted);
    EXPECT_EQ(l.host.refreshes, 1);
    EXPECT_TRUE(l.link.Loaded());
  }
  {
    FakeHidBus bus;
    bus.loadable = false;
    auto& kado = bus.Add("sim:other", KadoVendorId, KadoProductId);
    Link l(bus);
    l.link.FormActivate();
    EXPECT_FALSE(l.link.Loaded());
    EXPECT_TRUE(l.host.log.empty());
    EXPECT_EQ(l.host.refreshes, 1);
    EXPECT_TRUE(l.state().DeviceLinkStarted);
    // Without the library an arrival cannot be opened.
    l.link.UpdateDevice("sim:other", kDbtDeviceArrival);
    EXPECT_EQ(l.host.Lines().back(), Cp("T=5 add++sim:other -Не открыли"));
    EXPECT_EQ(kado.opens, 0);
    EXPECT_EQ(bus.loads, 1);
    EXPECT_EQ(l.host.refreshes, 2);
  }
}

TEST(LinkDiscovery, ArrivalAndRemovalLines) {
  SimKadoOptions o;
  o.detached = true;
  SimKado sim(o);
  Link l(sim);
  l.Follow(sim);
  l.link.FormActivate();
  EXPECT_TRUE(l.host.log.empty());

  sim.Attach();
  ASSERT_EQ(l.host.log.size(), 1u);
  EXPECT_EQ(l.host.log[0].text, kKadoLine);
  EXPECT_EQ(l.host.log[0].colour, kBlue);
  EXPECT_EQ(l.host.Caption(), kKadoCaption);
  EXPECT_EQ(l.state().DevicePath, "sim:kado");
  EXPECT_EQ(l.host.refreshes, 2);
  EXPECT_EQ(sim.OpenHandles(), 0);

  sim.Detach();
  ASSERT_EQ(l.host.log.size(), 2u);
  EXPECT_EQ(l.host.log[1].text, "T=5  rem--sim:kado");
  EXPECT_EQ(l.host.log[1].colour, kRed);
  EXPECT_TRUE(l.state().DevicePath.empty());
  EXPECT_EQ(l.state().DeviceAttributes.vendorId, 0);
  EXPECT_EQ(l.state().DeviceAttributes.productId, 0);
  EXPECT_EQ(l.state().DeviceAttributes.size, 12u);
  EXPECT_EQ(l.host.Caption(), "");
  EXPECT_EQ(l.state().ProductName, Cp("КАДО-08"));   // a removal leaves the names
  EXPECT_EQ(l.host.refreshes, 3);
  EXPECT_EQ(l.host.broughtToFront, 2);
  EXPECT_TRUE(l.host.status[kPanelStatus].empty());
}

TEST(LinkDiscovery, IdentitySwitchReadsAsRemovalThenArrival) {
  SimKado sim;
  Link l(sim);
  l.Follow(sim);
  l.link.FormActivate();
  sim.SetBoot(true);
  ASSERT_EQ(l.host.log.size(), 3u);
  EXPECT_EQ(l.host.log[1].text, "T=5  rem--sim:kado");
  EXPECT_EQ(l.host.log[2].text,
            Cp("T=5 add++sim:kado-boot -Открыли VID=16C0 PID=05DE vName=Morvan pName=КАДО-08"));
  EXPECT_TRUE(l.state().BootMode());
  sim.SetBoot(false);
  EXPECT_FALSE(l.state().BootMode());
  EXPECT_EQ(l.state().DevicePath, "sim:kado");
}

TEST(LinkDiscovery, BusyDeviceKeepsTheWindowWhereItIs) {
  SimKado sim;
  Link l(sim);
  l.Follow(sim);
  l.link.FormActivate();
  const int before = l.host.broughtToFront;
  l.context.operation.DeviceBusy = true;
  sim.Detach();
  sim.Attach();
  EXPECT_EQ(l.host.broughtToFront, before);
  EXPECT_EQ(l.host.log.size(), 3u);
}

TEST(LinkDiscovery, OtherHidDevicesLeaveTheKadoAlone) {
  SimKado sim;
  FakeHidBus bus;
  bus.others = {&sim};
  Link l(bus);
  l.link.FormActivate();
  const std::size_t captions = l.host.captions.size();

  auto& mouse = bus.Add("/dev/hidraw7", 0x046D, 0xC077);
  l.link.UpdateDevice("/dev/hidraw7", kDbtDeviceArrival);
  EXPECT_EQ(l.host.Lines().back(), kMouseLine);
  EXPECT_EQ(l.host.log.back().colour, kBlue);
  EXPECT_EQ(mouse.featureCalls, 0);   // the mouse is not asked for a КАДО parameter report
  l.link.UpdateDevice("/dev/hidraw7", kDbtDeviceRemoveComplete);
  EXPECT_EQ(l.host.Lines().back(), "T=5  rem--/dev/hidraw7");
  EXPECT_EQ(l.host.log.back().colour, kRed);

  auto& locked = bus.Add("/dev/hidraw8", 0x046D, 0xC31C);
  locked.failOpens = -1;
  l.link.UpdateDevice("/dev/hidraw8", kDbtDeviceArrival);
  EXPECT_EQ(l.host.Lines().back(), Cp("T=5 add++/dev/hidraw8 -Не открыли"));

  EXPECT_EQ(l.state().DevicePath, "sim:kado");
  EXPECT_EQ(l.state().DeviceAttributes.productId, KadoProductId);
  EXPECT_EQ(l.host.captions.size(), captions);
  EXPECT_EQ(l.host.log.size(), 4u);
  EXPECT_EQ(l.host.refreshes, 4);
}

TEST(LinkDiscovery, OnlyKadoCandidatesAreOpenedAndRetriedFromTheHostsTimer) {
  FakeHidBus bus;
  Link l(bus);
  l.link.FormActivate();
  const auto arrive = [&](const std::string& path, uint16_t vendorId, uint16_t productId) {
    l.link.UpdateDevice(HotplugEvent{path, true, vendorId, productId});
  };
  auto& mouse = bus.Add("/dev/hidraw3", 0x046D, 0xC077);
  arrive("/dev/hidraw3", 0x046D, 0xC077);
  EXPECT_EQ(mouse.opens, 0);
  EXPECT_TRUE(l.host.retries.empty());
  EXPECT_EQ(l.host.Lines().back(), "T=5 add++/dev/hidraw3 VID=046D PID=C077");

  auto& late = bus.Add("/dev/hidraw4", KadoVendorId, KadoProductId);
  late.failOpens = 2;   // permissions arrive after the node
  const std::size_t lines = l.host.log.size();
  arrive("/dev/hidraw4", KadoVendorId, KadoProductId);
  EXPECT_EQ(late.opens, 1);
  EXPECT_EQ(l.host.retries, std::vector<int>{50});
  EXPECT_EQ(l.host.log.size(), lines);   // the line waits for the outcome
  l.context.operation.Writing = true;    // between two blocks of a write: only asks again
  l.link.RetryOpen();
  EXPECT_EQ(late.opens, 1);
  l.context.operation.Writing = false;
  for (int i = 0; i < 10 && l.link.RetryPending(); ++i) l.link.RetryOpen();
  EXPECT_EQ(late.opens, 3);
  EXPECT_EQ(l.host.retries.size(), 3u);
  EXPECT_EQ(l.state().DevicePath, "/dev/hidraw4");
  EXPECT_EQ(l.host.Lines().back().rfind(Cp("T=5 add++/dev/hidraw4 -Открыли"), 0), 0u);
  EXPECT_TRUE(l.clock.sleeps.empty());

  auto& never = bus.Add("/dev/hidraw5", KadoVendorId, KadoBootProductId);
  never.failOpens = -1;
  arrive("/dev/hidraw5", KadoVendorId, KadoBootProductId);
  for (int i = 0; i < 10 && l.link.RetryPending(); ++i) l.link.RetryOpen();
  EXPECT_EQ(never.opens, LinkOpenAttempts());
  EXPECT_EQ(l.host.Lines().back(), Cp("T=5 add++/dev/hidraw5 -Не открыли"));
  EXPECT_EQ(l.state().DevicePath, "/dev/hidraw4");

  // A removal before the node opened ends the retries.
  arrive("/dev/hidraw5", KadoVendorId, KadoBootProductId);
  l.link.UpdateDevice("/dev/hidraw5", kDbtDeviceRemoveComplete);
  EXPECT_FALSE(l.link.RetryPending());
}

TEST(LinkDiscovery, FailedParameterReadIsLoggedBeforeTheArrivalLine) {
  SimKadoOptions o;
  o.failParamRead = true;
  SimKado sim(o);
  Link l(sim);
  l.link.FormActivate();
  ASSERT_EQ(l.host.log.size(), 2u);
  EXPECT_EQ(l.host.log[0].text,
            Cp("***Ошибка чтения параметров КАДО: Communication error with device\n"));
  EXPECT_EQ(l.host.log[0].colour, kBlue);
  EXPECT_EQ(l.host.log[1].text, kKadoLine);
  EXPECT_EQ(l.host.status[kPanelStatus], l.host.log[0].text);
  EXPECT_EQ(l.host.Caption(), Cp("КАДО-08"));
  EXPECT_EQ(l.state().DevicePath, "sim:kado");
}

TEST(LinkDiscovery, VersionNeedsBothVersionBytesInTheReply) {
  // Bytes 5 and 6 carry the version: a reply of 7 bytes is the shortest that has both.
  const struct {
    int length;
    const char* caption;
  } cases[] = {{5, "КАДО-08"}, {6, "КАДО-08"}, {7, "КАДО-08 (v1.05)"}, {8, "КАДО-08 (v1.05)"}};
  for (const auto& c : cases) {
    SimKadoOptions o;
    o.replyLength = c.length;
    SimKado sim(o);
    Link l(sim);
    l.link.FormActivate();
    EXPECT_EQ(l.host.log.size(), 1u) << c.length;
    EXPECT_EQ(l.host.Caption(), Cp(c.caption)) << c.length;
  }
}

TEST(LinkDiscovery, KadoWithoutStringsOrAttributes) {
  FakeHidBus bus;
  Link l(bus);
  l.link.FormActivate();
  auto& kado = bus.Add("/dev/hidraw5", KadoVendorId, KadoBootProductId);
  kado.hasStrings = false;
  l.link.UpdateDevice("/dev/hidraw5", kDbtDeviceArrival);
  // Its parameter read fails too (the fake answers no reports): no version either.
  EXPECT_EQ(l.host.Lines().back(), Cp("T=5 add++/dev/hidraw5 -Открыли VID=16C0 PID=05DE"));
  EXPECT_EQ(l.host.Caption(), "");
  EXPECT_TRUE(l.state().BootMode());

  auto& blind = bus.Add("/dev/hidraw6", KadoVendorId, KadoProductId);
  blind.attributesReadable = false;
  l.link.UpdateDevice("/dev/hidraw6", kDbtDeviceArrival);
  EXPECT_EQ(l.host.Lines().back(),
            Cp("T=5 add++/dev/hidraw6 -Открыли VID=0000 PID=0000 vName=Logitech "
               "pName=USB Optical Mouse"));
  EXPECT_EQ(l.state().DevicePath, "/dev/hidraw5");
}

TEST(LinkDiscovery, LongPathsAndLetterCase) {
  FakeHidBus bus;
  Link l(bus);
  l.link.FormActivate();
  const std::string longPath = "\\\\?\\hid#vid_16c0&pid_05df#" + std::string(400, 'a') + "#{4d1e55b2}";
  bus.Add(longPath, KadoVendorId, KadoProductId);
  l.link.UpdateDevice(longPath, kDbtDeviceArrival);
  EXPECT_EQ(l.state().DevicePath, longPath);
  EXPECT_NE(l.host.Lines().back().find(longPath + Cp(" -Открыли")), std::string::npos);

  // Windows notifications may spell the same interface in capitals.
  std::string upper = longPath;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  l.link.UpdateDevice(upper, kDbtDeviceRemoveComplete);
  EXPECT_EQ(l.host.Lines().back(), "T=5  rem--" + upper);
  EXPECT_TRUE(l.state().DevicePath.empty());
}

std::vector<SimReport> SetsOf(const SimKado& sim) {
  std::vector<SimReport> sets;
  for (const auto& r : sim.Reports())
    if (!r.get) sets.push_back(r);
  return sets;
}

TEST(LinkDiscovery, ArrivalDuringAWriteRunsBetweenBlocksWithoutTouchingIt) {
  SimKado sim;
  FakeHidBus bus;
  bus.others = {&sim};
  bus.Add("/dev/hidraw7", 0x046D, 0xC077);
  Link l(bus);
  l.link.FormActivate();
  l.context.operation.DeviceBusy = true;

  std::vector<uint8_t> image(640);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
  std::size_t logAtSecondBlock = 0;
  l.host.onProgress = [&](int count) {
    if (count != 256) return;
    logAtSecondBlock = l.host.log.size();
    l.link.UpdateDevice("/dev/hidraw7", kDbtDeviceArrival);
    // The КАДО again (a second handle): its parameter read must not reach the write.
    l.link.UpdateDevice("sim:kado", kDbtDeviceArrival);
  };
  auto device = sim.Open(sim.Path(), true);
  sim.ClearReports();
  ASSERT_EQ(WriteDeviceMemory(*device, image.data(), image.size(), 0, 640, l.host, l.clock),
            kStatusOk);

  ASSERT_EQ(sim.Reports().size(), 8u);   // parameter read, 2 blocks, arrival's read, 3, closing
  EXPECT_TRUE(sim.Reports()[3].get);
  const auto sets = SetsOf(sim);
  ASSERT_EQ(sets.size(), 6u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(sets[i].bytes[0], 2);
    EXPECT_EQ(sets[i].bytes[1], i);
    EXPECT_EQ(DecodeLittleEndian(&sets[i].bytes[2], 2), static_cast<uint32_t>(i * 128));
    EXPECT_TRUE(std::equal(sets[i].bytes.begin() + 4, sets[i].bytes.end(),
                           image.begin() + i * 128));
  }
  std::vector<uint8_t> closing = sets[4].bytes;
  closing[0] = 1;
  closing[1] = 5;
  EXPECT_EQ(sets[5].bytes, closing);
  EXPECT_EQ(sim.Memory()[639], 639 & 0xFF);

  ASSERT_EQ(l.host.log.size(), logAtSecondBlock + 2);
  EXPECT_EQ(l.host.log[logAtSecondBlock].text, kMouseLine);
  EXPECT_EQ(l.host.log[logAtSecondBlock + 1].text, kKadoLine);
  EXPECT_EQ(l.host.broughtToFront, 1);   // only at start-up
  EXPECT_EQ(l.state().DevicePath, "sim:kado");
  device.reset();
  EXPECT_EQ(sim.OpenHandles(), 0);
}

TEST(LinkDiscovery, UnplugDuringAWriteFailsTheNextBlock) {
  SimKadoOptions o;
  o.unplugAfterBlock = 2;
  SimKado sim(o);
  Link l(sim);
  l.Follow(sim);
  l.link.FormActivate();
  const std::size_t before = l.host.log.size();

  std::vector<uint8_t> image(1024, 0x5A);
  auto device = sim.Open(sim.Path(), true);
  EXPECT_EQ(WriteDeviceMemory(*device, image.data(), image.size(), 0, 1024, l.host, l.clock),
            kStatusIoError);
  ASSERT_EQ(l.host.log.size(), before + 2);
  EXPECT_EQ(l.host.log[before].text, "T=5  rem--sim:kado");
  EXPECT_EQ(l.host.log[before + 1].text,
            Cp("***Ошибка записи блока данных: Communication error with device\n"));
  EXPECT_TRUE(l.state().DevicePath.empty());
  EXPECT_EQ(SetsOf(sim).size(), 2u);
  EXPECT_EQ(l.host.progress, (std::vector<int>{128, 256}));
  device.reset();
  EXPECT_EQ(sim.OpenHandles(), 0);
}

}  // namespace
}  // namespace velmora
