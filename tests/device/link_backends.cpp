// The system HID backend, the udev monitor, the enumeration poller and the simulated КАДО.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "base/cp1251.h"
#include "device/hotplug.h"
#include "device/simkado.h"
#include "link_fakes.h"
#include "ops_fakes.h"

namespace velmora {
namespace {

using testing::FakeHidBus;

[[maybe_unused]] bool AnyHidrawNode() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", error))
    if (entry.path().filename().string().rfind("hidraw", 0) == 0) return true;
  return false;
}

TEST(LinkBackends, SystemHidEnumeratesWithoutDevices) {
  auto hid = CreateSystemHidFunctions();
  ASSERT_NE(hid, nullptr);
  if (!hid->Load()) GTEST_SKIP() << "no HID library in this build";
  EXPECT_TRUE(hid->Load());   // loading twice is harmless
  const auto devices = hid->Enumerate();
  // Where hidraw exists and has no node, nothing can be listed; elsewhere (Windows, Wine with
  // its virtual HID devices) the machine may list devices, but none of them is a КАДО.
#ifdef __linux__
  if (!AnyHidrawNode()) {
    EXPECT_TRUE(devices.empty());
  }
#endif
  for (const auto& d : devices) {
    EXPECT_FALSE(d.path.empty());
    EXPECT_NE(d.vendorId, KadoVendorId) << d.path;
  }
  EXPECT_EQ(hid->Open("/dev/hidraw-that-is-not-there", false), nullptr);
}

TEST(LinkBackends, UdevMonitorOnlyWhereTheDaemonsControlSocketIsThere) {
  const opstest::TempFolder folder;
  const std::string control = folder.Path() + "/control";
  EXPECT_EQ(CreateUdevMonitor(control), nullptr);   // no daemon: the caller polls
  folder.Write("control", std::string());
  auto monitor = CreateUdevMonitor(control);
  if (!monitor) GTEST_SKIP() << "no udev in this build";
  EXPECT_GE(monitor->Fd(), 0);
  EXPECT_TRUE(monitor->ReadEvents().empty());   // does not block
}

TEST(LinkBackends, IdsFromUdevAndFromWindowsInterfacePaths) {
  struct Case {
    bool udev;
    const char* text;
    bool ok;
    uint16_t vendorId, productId;
  };
  const Case cases[] = {
      {true, "0003:000016C0:000005DF", true, KadoVendorId, KadoProductId},
      {true, "0003:000046d:0000c077", true, 0x046D, 0xC077},
      {true, "0003:000116C0:000005DF", false, 0, 0},   // beyond 16 bits
      {true, "0003: 16C0:05DF", false, 0, 0},
      {false, "\\\\?\\hid#vid_16c0&pid_05de#6&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
       true, KadoVendorId, KadoBootProductId},
      {false, "\\\\?\\HID#VID_046D&PID_C077&MI_00#7&2f&0&0000#{4d1e55b2}", true, 0x046D, 0xC077},
      {false, "\\\\?\\hid#vid_16c&pid_05df#x", false, 0, 0},
      {false, "\\\\?\\hid#{00001124-0000-1000-8000-00805f9b34fb}_vid&0002046d_pid&b01a", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    uint16_t vendorId = 0, productId = 0;
    const bool ok = c.udev ? ParseUdevHidId(c.text, vendorId, productId)
                           : IdsFromInterfacePath(c.text, vendorId, productId);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(vendorId, c.vendorId);
    EXPECT_EQ(productId, c.productId);
  }
}

// The Windows class driver counts the reply without the ID byte of an unnumbered report.
TEST(LinkBackends, FeatureReplyLengthFromTheClassDriversCount) {
  struct Case {
    uint8_t reportId;
    unsigned long returned;
    std::size_t asked, expected;
  };
  const Case cases[] = {
      {1, 132, 132, 132},   // a whole parameter reply, ID included
      {1, 6, 132, 6},       // a short one stays short
      {0, 131, 132, 132},   // unnumbered: the ID byte is added
      {0, 0, 132, 1},
      {1, 200, 132, 132},   // never more than asked
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.returned);
    EXPECT_EQ(FeatureReplyLength(c.reportId, c.returned, c.asked), c.expected);
  }
}

TEST(LinkBackends, PollerTurnsDifferencesIntoEvents) {
  FakeHidBus bus;
  bus.Add("/dev/hidraw0", 0x046D, 0xC077);
  EnumerationPoller poller(bus);
  EXPECT_TRUE(poller.Poll().empty());   // what is there at start is not an arrival
  EXPECT_TRUE(poller.Poll().empty());

  bus.Add("/dev/hidraw1", KadoVendorId, KadoProductId);
  auto events = poller.Poll();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].path, "/dev/hidraw1");
  EXPECT_TRUE(events[0].arrival);

  // The КАДО restarts into its boot loader under a new node.
  bus.entries.pop_back();
  bus.Add("/dev/hidraw2", KadoVendorId, KadoBootProductId);
  events = poller.Poll();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].path, "/dev/hidraw1");
  EXPECT_FALSE(events[0].arrival);
  EXPECT_EQ(events[1].path, "/dev/hidraw2");
  EXPECT_TRUE(events[1].arrival);

  // The same node under the other identity (a restart within one poll interval, the lowest
  // free hidraw number given out again) is a removal followed by an arrival.
  bus.entries.back().attributes.productId = KadoProductId;
  events = poller.Poll();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].path, "/dev/hidraw2");
  EXPECT_FALSE(events[0].arrival);
  EXPECT_EQ(events[0].productId, KadoBootProductId);
  EXPECT_EQ(events[1].path, "/dev/hidraw2");
  EXPECT_TRUE(events[1].arrival);
  EXPECT_EQ(events[1].productId, KadoProductId);

  bus.entries.clear();
  events = poller.Poll();
  EXPECT_EQ(events.size(), 2u);
  for (const auto& e : events) EXPECT_FALSE(e.arrival);
  EXPECT_TRUE(poller.Poll().empty());
}

TEST(LinkBackends, SimulatedKadoOptionsParse) {
  SimKadoOptions o;
  std::string error;
  ASSERT_TRUE(ParseSimKadoOptions(
      "boot,block=64,memory=4096,version=2.7,fail-block=3,short-reply,detached,param-fail,"
      "unplug-after=4", o, error))
      << error;
  EXPECT_TRUE(o.boot);
  EXPECT_EQ(o.blockSize, 64);
  EXPECT_EQ(o.memorySize, 4096);
  EXPECT_EQ(o.versionMajor, 2);
  EXPECT_EQ(o.versionMinor, 7);
  EXPECT_EQ(o.failBlock, 3);
  EXPECT_EQ(o.replyLength, 5);
  EXPECT_TRUE(o.detached);
  EXPECT_TRUE(o.failParamRead);
  EXPECT_EQ(o.unplugAfterBlock, 4);
  ASSERT_TRUE(ParseSimKadoOptions("reply=132,reply=0", o, error)) << error;
  EXPECT_EQ(o.replyLength, 0);
  ASSERT_TRUE(ParseSimKadoOptions("boot,save=out,1.bin", o, error)) << error;
  EXPECT_EQ(o.saveFile, "out,1.bin");   // the rest of the text, commas and all

  SimKadoOptions defaults;
  ASSERT_TRUE(ParseSimKadoOptions("", defaults, error));
  EXPECT_EQ(defaults.EffectiveMemorySize(), 8192);
  EXPECT_EQ(defaults.blockSize, 128);
  defaults.boot = true;
  EXPECT_EQ(defaults.EffectiveMemorySize(), 65536);

  for (const char* bad : {"frob", "block=", "block=x", "block=70000", "memory=-1", "version=1",
                          "version=1.x", "boot=1", "fail-block=2a", "reply=133", "reply=-1", "save="}) {
    SimKadoOptions any;
    error.clear();
    EXPECT_FALSE(ParseSimKadoOptions(bad, any, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(LinkBackends, ReadmeListsTheSimulatedKadoOptions) {
  std::ifstream in(VELMORA_TEST_DATA "/../../README.md", std::ios::binary);
  ASSERT_TRUE(in);
  const std::string readme{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_NE(readme.find(SimKadoOptionsMarkdown()), std::string::npos)
      << "README.md should list the options as:\n" << SimKadoOptionsMarkdown();
}

TEST(LinkBackends, SimulatedKadoHandlesDieWithTheDevice) {
  SimKado sim;
  std::vector<HotplugEvent> events;
  sim.SetEventListener([&](const HotplugEvent& e) { events.push_back(e); });
  ASSERT_EQ(sim.Enumerate().size(), 1u);
  EXPECT_EQ(sim.Enumerate()[0].productId, KadoProductId);
  EXPECT_EQ(sim.Open("sim:other", false), nullptr);

  auto device = sim.Open(sim.Path(), false);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(sim.OpenHandles(), 1);
  std::u32string product;
  ASSERT_TRUE(device->GetProductString(product));
  EXPECT_EQ(cp1251::Encode(product), Cp("КАДО-08"));

  sim.Detach();
  sim.Detach();   // already gone: no second event
  EXPECT_TRUE(sim.Enumerate().empty());
  EXPECT_EQ(sim.Open(sim.Path(), false), nullptr);
  uint8_t report[132] = {1};
  std::size_t length = sizeof report;
  EXPECT_FALSE(device->GetFeature(report, length));
  sim.Attach();
  EXPECT_FALSE(device->GetFeature(report, length));   // a handle from before stays dead
  auto fresh = sim.Open(sim.Path(), false);
  ASSERT_NE(fresh, nullptr);
  EXPECT_TRUE(fresh->GetFeature(report, length));
  EXPECT_EQ(length, 132u);
  device.reset();
  fresh.reset();
  EXPECT_EQ(sim.OpenHandles(), 0);

  ASSERT_EQ(events.size(), 2u);
  EXPECT_FALSE(events[0].arrival);
  EXPECT_TRUE(events[1].arrival);
  EXPECT_EQ(events[1].path, "sim:kado");
}

TEST(LinkBackends, SimulatedKadoMemoryTakesBlocksAtTheirOffsets) {
  SimKadoOptions o;
  o.memorySize = 300;
  SimKado sim(o);
  auto device = sim.Open(sim.Path(), true);
  ASSERT_EQ(sim.Memory().size(), 300u);
  EXPECT_EQ(sim.Memory()[0], 0xFF);

  std::vector<uint8_t> block(132, 0xAB);
  block[0] = 2;
  block[1] = 0;
  block[2] = 0x00;   // offset 256: the last 84 bytes fall beyond the memory
  block[3] = 0x01;
  ASSERT_TRUE(device->SetFeature(block.data(), block.size()));
  EXPECT_EQ(sim.Memory()[255], 0xFF);
  EXPECT_EQ(sim.Memory()[256], 0xAB);
  EXPECT_EQ(sim.Memory()[299], 0xAB);
  EXPECT_EQ(sim.DataBlocksReceived(), 1);
  EXPECT_FALSE(device->SetFeature(block.data(), 0));

  block[0] = 7;   // a report the КАДО does not know
  EXPECT_FALSE(device->SetFeature(block.data(), block.size()));
  ASSERT_EQ(sim.Reports().size(), 1u);
  EXPECT_EQ(sim.Reports()[0].bytes.size(), 132u);

  sim.SetBoot(true);   // the boot loader has its own memory, erased
  EXPECT_EQ(sim.Memory().size(), 300u);
  EXPECT_EQ(sim.Memory()[256], 0xFF);
}

// Read as a HID class driver reads it: the feature reports it declares, by ID, with their
// lengths in bytes behind the ID, under the vendor page. The length is what Windows hands
// out as FeatureReportByteLength (plus the ID byte) and what it holds every report to.
TEST(LinkBackends, ReportDescriptorDeclaresBothReportsOfBlockSizePlusThree) {
  for (const int blockSize : {128, 64, 8}) {
    SCOPED_TRACE(blockSize);
    const std::vector<uint8_t> d = KadoReportDescriptor(blockSize);
    std::map<unsigned, unsigned> featureBytes;
    unsigned page = 0, id = 0, size = 0, count = 0;
    for (std::size_t at = 0; at < d.size();) {
      const uint8_t prefix = d[at];
      const std::size_t length = (prefix & 3) == 3 ? 4 : prefix & 3;
      ASSERT_LE(at + 1 + length, d.size());
      unsigned value = 0;
      for (std::size_t i = 0; i < length; ++i) value |= static_cast<unsigned>(d[at + 1 + i]) << (8 * i);
      switch (prefix & 0xFC) {
        case 0x04: page = value; break;
        case 0x74: size = value; break;
        case 0x84: id = value; break;
        case 0x94: count = value; break;
        case 0xB0: featureBytes[id] += size * count / 8; break;
      }
      at += 1 + length;
    }
    EXPECT_EQ(page, 0xFF00u);
    EXPECT_EQ(featureBytes, (std::map<unsigned, unsigned>{{1, blockSize + 3u}, {2, blockSize + 3u}}));
  }
}

}  // namespace
}  // namespace velmora
