// The open step of both device operations: only the identity the data is meant for is
// written, and a device another program holds is left alone.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "device/Formatm.h"
#include "device/devicelock.h"
#include "device/firmwareupdate.h"
#include "device/transfer.h"
#include "device/transport.h"
#include "link_fakes.h"
#include "ops_fakes.h"

namespace velmora {
namespace {

enum class Op { Transfer, Firmware };

struct Bench {
  explicit Bench(const std::string& path) {
    context.device.DevicePath = path;
    stored->records[0].SetTexts({"1", "A", "B", ""});
    stored->count = 1;
    folder.Write("kado.HAS", EncodeFirmware(std::vector<uint8_t>(300, 0x5A), "v1", 0x3B4A6000, 2));
  }
  int Run(Op op) {
    DeviceEnv env{bus, context, host, clock, format};
    if (op == Op::Transfer) return TransmitRoutes(env, *stored, *work);
    const FirmwareListing listing = ListFirmwareFiles({folder.Path()}, format, 1);
    return ProgramFirmware(env, listing, listing.newestRow);
  }
  std::vector<std::string> RedLines() const {
    std::vector<std::string> lines;
    for (const auto& l : host.RedLines()) lines.push_back(l.text);
    return lines;
  }

  opstest::TempFolder folder;
  testing::FakeHidBus bus;
  DeviceContext context;
  opstest::OpsHost host;
  opstest::OpsClock clock;
  FixedDateTimeFormat format;
  std::unique_ptr<StoredRouteList> stored = std::make_unique<StoredRouteList>();
  std::unique_ptr<WorkBuffer> work = std::make_unique<WorkBuffer>();
};

TEST(OperationOpen, OnlyTheIdentityTheDataIsForIsWritten) {
  struct Case {
    Op op;
    uint16_t vendorId, productId;
    bool readable;
    const char* status;   // status panel 2 at the end
    const char* red;      // the identity's red line; nullptr when the write went ahead
  };
  // The fake bus fails every feature report, so a write that goes ahead ends in its write error.
  const Case cases[] = {
      {Op::Transfer, KadoVendorId, KadoProductId, true, "Ошибка записи данных", nullptr},
      {Op::Transfer, KadoVendorId, KadoBootProductId, true, "КАДО не подключен",
       "***КАДО в режиме загрузчика: маршруты не записаны"},
      {Op::Transfer, 0x046D, KadoProductId, true, "КАДО не подключен", "***Устройство не является КАДО"},
      {Op::Transfer, KadoVendorId, KadoProductId, false, "КАДО не подключен",
       "***Устройство не является КАДО"},
      {Op::Firmware, KadoVendorId, KadoBootProductId, true, "Ошибка записи программы", nullptr},
      {Op::Firmware, KadoVendorId, KadoProductId, true, "КАДО не открыто",
       "***КАДО не в режиме загрузчика: программа не записана"},
      {Op::Firmware, 0x046D, 0xC077, true, "КАДО не открыто",
       "***КАДО не в режиме загрузчика: программа не записана"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.status) + " " + std::to_string(c.productId));
    Bench b("/dev/hidraw3");
    testing::FakeHidEntry& entry = b.bus.Add("/dev/hidraw3", c.vendorId, c.productId);
    entry.attributesReadable = c.readable;
    const int status = b.Run(c.op);
    EXPECT_EQ(b.host.status[kPanelStatus], Cp(c.status));
    EXPECT_FALSE(b.context.operation.DeviceBusy);
    if (c.red) {
      EXPECT_EQ(status, kStatusWrongIdentity);
      EXPECT_EQ(entry.featureCalls, 0);
      EXPECT_EQ(b.RedLines(), std::vector<std::string>{Cp(c.red)});
    } else {
      EXPECT_EQ(status, kStatusIoError);
      EXPECT_GT(entry.featureCalls, 0);
    }
  }
}

TEST(OperationOpen, ASecondProgramHoldingTheNodeGetsStatus16AndSendsNothing) {
  if (!DeviceLock::Available()) GTEST_SKIP() << "the share mode refuses the second open here";
  for (const Op op : {Op::Transfer, Op::Firmware}) {
    opstest::TempFolder nodeFolder;
    nodeFolder.Write("hidraw0", std::string(1, 0));
    const std::string node = nodeFolder.Path() + "/hidraw0";
    Bench b(node);
    testing::FakeHidEntry& entry =
        b.bus.Add(node, KadoVendorId, op == Op::Transfer ? KadoProductId : KadoBootProductId);

    DeviceLock other;   // the other program's descriptor on the same node
    ASSERT_EQ(other.Acquire(node), kStatusOk);
    EXPECT_EQ(b.Run(op), kStatusInUse);
    EXPECT_EQ(entry.opens + entry.featureCalls, 0);
    EXPECT_EQ(b.host.log.size(), 2u);
    EXPECT_EQ(b.host.log[0].text, Cp("***Ошибка чтения параметров КАДО: ") +
                                      "The device is used by another application\n");
    EXPECT_EQ(b.RedLines(), std::vector<std::string>{Cp(op == Op::Transfer ? "***Ошибка записи данных"
                                                                           : "***Ошибка записи программы")});
    // Released by the other program, the node is ours, and is let go after the operation.
    other.Release();
    EXPECT_EQ(b.Run(op), kStatusIoError);
    EXPECT_EQ(other.Acquire(node), kStatusOk);
  }
}

}  // namespace
}  // namespace velmora
