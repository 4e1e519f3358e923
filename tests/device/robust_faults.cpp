// Device faults through the whole route transfer: for each, the status, the log lines,
// the status panels, DeviceBusy clear and the handle closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "device/devicelink.h"
#include "device/simkado.h"
#include "device/transfer.h"
#include "device/transport.h"
#include "link_fakes.h"
#include "ops_fakes.h"

namespace velmora {
namespace {

using opstest::Line;
using Bytes = std::vector<uint8_t>;

const Line kWriteError{Cp("***Ошибка записи данных"), kRed};
const std::string kIoText = "Communication error with device";

Line TransportLine(const char* utf8, const std::string& detail) {
  return Line{Cp(utf8) + Cp(detail.c_str()) + "\n", LogColour{}};
}

struct Transfer {
  explicit Transfer(SimKadoOptions options) : sim(options) {
    context.device.DevicePath = sim.Path();
  }

  void Routes(const std::vector<RouteTexts>& routes) {
    stored->Clear();
    for (const RouteTexts& r : routes) stored->records[stored->count++].SetTexts(r);
  }
  Bytes Image() {
    auto w = std::make_unique<WorkBuffer>();
    const RouteImageLayout layout = BuildRouteImage(*stored, *w);
    return Bytes(w->begin(), w->begin() + layout.length);
  }
  int Run() {
    DeviceEnv env{sim, context, host, clock, format};
    return TransmitRoutes(env, *stored, *work);
  }
  std::vector<SimReport> DataBlocks() const {
    std::vector<SimReport> blocks;
    for (const SimReport& r : sim.Reports())
      if (!r.get && r.bytes[0] == 2) blocks.push_back(r);
    return blocks;
  }
  void ExpectEndedCleanly() const {
    EXPECT_FALSE(context.operation.DeviceBusy);
    EXPECT_EQ(sim.OpenHandles(), 0);
    EXPECT_GE(host.refreshes, 2);
    // Panel 0 ends with the elapsed time and BytesWritten.
    EXPECT_NE(host.status[kPanelProgress].find('='), std::string::npos);
  }

  SimKado sim;
  DeviceContext context;
  opstest::OpsHost host;
  opstest::OpsClock clock;
  FixedDateTimeFormat format;
  std::unique_ptr<StoredRouteList> stored = std::make_unique<StoredRouteList>();
  std::unique_ptr<WorkBuffer> work = std::make_unique<WorkBuffer>();
};

// Nine routes: an image of several 128-byte blocks.
std::vector<RouteTexts> NineRoutes() {
  std::vector<RouteTexts> routes;
  for (int i = 1; i <= 9; ++i)
    routes.push_back({std::to_string(i), Cp("Центральный рынок"), "B", Cp("Следующая остановка")});
  return routes;
}

struct Failure {
  const char* name;
  std::function<void(SimKadoOptions&)> configure;
  int status;
  Line transportLine;
  int blocksReached;   // data blocks the device took before the failure; -1: all but one
};

TEST(RobustTransfer, EveryFailedStepReportsAndEndsCleanly) {
  const Line paramFails = TransportLine("***Ошибка чтения параметров КАДО: ", kIoText);
  const Line blockFails = TransportLine("***Ошибка записи блока данных: ", kIoText);
  const Line tooLarge =
      TransportLine("***Ошибка записи блока данных: ", "Block size not supported by the program");
  const Line tooSmall = TransportLine("***Ошибка записи блока данных: ", "Device memory too small");
  // MemorySize shares bytes 5 and 6 with the version: version 0.0 leaves it at the
  // memory's size, a minor version of -1 makes it negative.
  const std::vector<Failure> failures = {
      {"parameter read fails", [](SimKadoOptions& o) { o.failParamRead = true; }, kStatusIoError,
       paramFails, 0},
      {"reply of 5 bytes", [](SimKadoOptions& o) { o.replyLength = 5; }, kStatusShortReply,
       TransportLine("***Не все байты сообщения переданы из КАДО (", "5 из 7)"), 0},
      {"BlockSize 129", [](SimKadoOptions& o) { o.blockSize = 129; }, kStatusBlockTooLarge,
       tooLarge, 0},
      {"BlockSize 65535", [](SimKadoOptions& o) { o.blockSize = 65535; }, kStatusBlockTooLarge,
       tooLarge, 0},
      {"MemorySize 0",
       [](SimKadoOptions& o) { o.memorySize = 0, o.versionMajor = 0, o.versionMinor = 0; },
       kStatusMemoryTooSmall, tooSmall, 0},
      {"MemorySize negative", [](SimKadoOptions& o) { o.versionMinor = -1; },
       kStatusMemoryTooSmall, tooSmall, 0},
      {"MemorySize below the image",
       [](SimKadoOptions& o) { o.memorySize = 256, o.versionMajor = 0, o.versionMinor = 0; },
       kStatusMemoryTooSmall, tooSmall, 0},
      {"first block fails", [](SimKadoOptions& o) { o.failBlock = 1; }, kStatusIoError,
       blockFails, 0},
      {"second block fails", [](SimKadoOptions& o) { o.failBlock = 2; }, kStatusIoError,
       blockFails, 1},
      {"unplugged after the first block", [](SimKadoOptions& o) { o.unplugAfterBlock = 1; },
       kStatusIoError, blockFails, 1},
  };

  for (const Failure& f : failures) {
    SCOPED_TRACE(f.name);
    SimKadoOptions options;
    f.configure(options);
    Transfer t(options);
    t.Routes(NineRoutes());
    const Bytes image = t.Image();
    ASSERT_GT(image.size(), 3u * 128);

    EXPECT_EQ(t.Run(), f.status);
    EXPECT_EQ(t.host.log, (std::vector<Line>{f.transportLine, kWriteError}));
    EXPECT_EQ(t.host.status[kPanelStatus], Cp("Ошибка записи данных"));
    EXPECT_TRUE(t.host.history[kPanelTransfers].empty());
    EXPECT_EQ(t.context.operation.TransferCount, 0);
    EXPECT_EQ(t.DataBlocks().size(), static_cast<std::size_t>(f.blocksReached));
    EXPECT_EQ(t.context.operation.BytesWritten, f.blocksReached * 128);
    EXPECT_EQ(t.host.status[kPanelProgress],
              FormatElapsed(f.blocksReached) + "=" + std::to_string(f.blocksReached * 128));
    t.ExpectEndedCleanly();
    // What reached the device is the image's beginning, nothing else.
    const Bytes& memory = t.sim.Memory();
    const std::size_t reached = std::min<std::size_t>(memory.size(), f.blocksReached * 128);
    EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + reached, image.begin()));
    EXPECT_TRUE(std::all_of(memory.begin() + reached, memory.end(), [](uint8_t b) { return b == 0xFF; }));
  }
}

TEST(RobustTransfer, TheLastBlockFailing) {
  SimKadoOptions options;
  Transfer probe(options);
  probe.Routes(NineRoutes());
  const int blocks = static_cast<int>((probe.Image().size() + 127) / 128);

  options.failBlock = blocks;
  Transfer t(options);
  t.Routes(NineRoutes());
  EXPECT_EQ(t.Run(), kStatusIoError);
  EXPECT_EQ(t.host.log, (std::vector<Line>{TransportLine("***Ошибка записи блока данных: ", kIoText),
                                           kWriteError}));
  EXPECT_EQ(static_cast<int>(t.DataBlocks().size()), blocks - 1);
  // No closing report after the failed block.
  EXPECT_EQ(t.sim.Reports().back().bytes[0], 2);
  EXPECT_EQ(t.context.operation.BytesWritten, (blocks - 1) * 128);
  t.ExpectEndedCleanly();
}

// Block sizes the transport takes: the device must hold the whole image afterwards.
TEST(RobustTransfer, BlockSizesThatFitTheReportWriteTheWholeImage) {
  for (int blockSize : {1, 2, 127, 128}) {
    SCOPED_TRACE("BlockSize " + std::to_string(blockSize));
    SimKadoOptions options;
    options.blockSize = blockSize;
    Transfer t(options);
    t.Routes(NineRoutes());
    const Bytes image = t.Image();

    EXPECT_EQ(t.Run(), kStatusOk);
    EXPECT_TRUE(t.host.log.empty());
    EXPECT_EQ(t.host.status[kPanelStatus], Cp("Загрузка окончена"));
    EXPECT_EQ(t.host.status[kPanelTransfers], Cp("Загружено: 1"));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), t.sim.Memory().begin()));
    for (const SimReport& block : t.DataBlocks()) {
      EXPECT_EQ(block.bytes.size(), static_cast<std::size_t>(blockSize) + 4);
    }
    t.ExpectEndedCleanly();
  }
}

TEST(RobustTransfer, BlockSizeZeroSendsOnlyAShortClosingReport) {
  SimKadoOptions options;
  options.blockSize = 0;
  Transfer t(options);
  t.Routes(NineRoutes());
  // Both offsets align to 0: nothing to write, as the protocol has it.
  EXPECT_EQ(t.Run(), kStatusOk);
  EXPECT_TRUE(t.DataBlocks().empty());
  ASSERT_EQ(t.sim.Reports().size(), 2u);
  EXPECT_EQ(t.sim.Reports()[1].bytes.size(), 4u);
  EXPECT_EQ(t.sim.Reports()[1].bytes[1], 0);
  EXPECT_EQ(t.context.operation.BytesWritten, 0);
  t.ExpectEndedCleanly();
}

// The window's device events, delivered into the transfer's pauses as the event loop does.
struct LinkedTransfer : Transfer {
  LinkedTransfer() : Transfer(SimKadoOptions{}), link(bus, context, host) {
    bus.others = {&sim};
    sim.SetEventListener([this](const HotplugEvent& e) {
      link.UpdateDevice(e);
    });
  }
  testing::FakeHidBus bus;
  DeviceLink link;
};

TEST(RobustTransfer, AnotherKadoArrivingDuringTheWriteLeavesTheWriteAlone) {
  LinkedTransfer t;
  t.link.FormActivate();
  ASSERT_EQ(t.context.device.DevicePath, t.sim.Path());
  t.bus.Add("/dev/hidraw9", KadoVendorId, KadoProductId);
  t.Routes(NineRoutes());
  const Bytes image = t.Image();
  t.host.log.clear();
  t.sim.ClearReports();
  t.host.onProgress = [&](int count) {
    if (count == 128) t.link.UpdateDevice("/dev/hidraw9", kDbtDeviceArrival);
  };

  EXPECT_EQ(t.Run(), kStatusOk);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), t.sim.Memory().begin()));
  EXPECT_EQ(t.DataBlocks().size(), (image.size() + 127) / 128);
  EXPECT_EQ(t.host.status[kPanelStatus], Cp("Загрузка окончена"));
  EXPECT_EQ(t.context.operation.TransferCount, 1);
  // The newcomer is the device of the next operation; this one only read its parameters.
  EXPECT_EQ(t.context.device.DevicePath, "/dev/hidraw9");
  EXPECT_EQ(t.bus.Find("/dev/hidraw9")->featureCalls, 1);
  ASSERT_FALSE(t.host.log.empty());
  EXPECT_EQ(t.host.log.back().text.rfind(Cp("T=5 add++/dev/hidraw9 -Открыли"), 0), 0u);
  t.ExpectEndedCleanly();
}

TEST(RobustTransfer, AMouseArrivingDuringTheWriteChangesNothing) {
  LinkedTransfer t;
  t.bus.Add("/dev/hidraw7", 0x046D, 0xC077);
  t.link.FormActivate();
  t.Routes(NineRoutes());
  const Bytes image = t.Image();
  t.host.onProgress = [&](int count) {
    if (count == 256) t.link.UpdateDevice("/dev/hidraw7", kDbtDeviceArrival);
    if (count == 384) t.link.UpdateDevice("/dev/hidraw7", kDbtDeviceRemoveComplete);
  };
  EXPECT_EQ(t.Run(), kStatusOk);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), t.sim.Memory().begin()));
  EXPECT_EQ(t.context.device.DevicePath, t.sim.Path());
  EXPECT_EQ(t.context.device.DeviceAttributes.productId, KadoProductId);
  EXPECT_EQ(t.bus.Find("/dev/hidraw7")->featureCalls, 0);
  t.ExpectEndedCleanly();
}

TEST(RobustTransfer, AKadoRemovedDuringTheWaitIsNotWaitedFor) {
  LinkedTransfer t;
  t.link.FormActivate();
  t.Routes(NineRoutes());
  t.sim.Detach();
  ASSERT_TRUE(t.context.device.DevicePath.empty());
  // It comes back at the third pause and is pulled again at the fourth, before the
  // transfer looks: the wait goes on until a device stays.
  t.host.onPump = [&](int pump) {
    if (pump == 3) t.sim.Attach();
    if (pump == 3) t.sim.Detach();
  };
  EXPECT_EQ(t.Run(), kStatusNotFound);
  EXPECT_EQ(t.host.pumps, 100);
  EXPECT_EQ(t.host.status[kPanelStatus], Cp("КАДО не подключен"));
  EXPECT_TRUE(t.DataBlocks().empty());
  EXPECT_FALSE(t.context.operation.DeviceBusy);
  EXPECT_EQ(t.sim.OpenHandles(), 0);
}

}  // namespace
}  // namespace velmora
