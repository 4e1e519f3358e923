// The route transfer (F9) into the simulated КАДО: every end and every text.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "base/fileio.h"
#include "device/simkado.h"
#include "device/transfer.h"
#include "device/transport.h"
#include "ops_fakes.h"

namespace velmora {
namespace {

using opstest::Line;
using Bytes = std::vector<uint8_t>;

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context_.device.DevicePath = sim_->Path();
    SetRoutes(3, "Вокзал", "");
  }

  void MakeSim(SimKadoOptions options) {
    sim_ = std::make_unique<SimKado>(options);
    env_ = std::make_unique<DeviceEnv>(DeviceEnv{*sim_, context_, host_, clock_, format_});
    context_.device.DevicePath = sim_->Path();
  }

  void SetRoutes(int count, const std::string& stop, const std::string& message) {
    stored_->Clear();
    for (int i = 0; i < count; ++i) {
      stored_->records[i].SetTexts({std::to_string(i + 1), Cp(stop.c_str()), "B", message});
    }
    stored_->count = count;
  }

  int Transmit() { return TransmitRoutes(*env_, *stored_, *work_); }

  // What BuildRouteImage lays out for the stored list, built apart from the transfer.
  Bytes ExpectedImage(RouteImageLayout* layout = nullptr) {
    auto work = std::make_unique<WorkBuffer>();
    const RouteImageLayout l = BuildRouteImage(*stored_, *work);
    if (layout) *layout = l;
    return Bytes(work->begin(), work->begin() + l.length);
  }

  int DataBlocksSent() const {
    return static_cast<int>(std::count_if(sim_->Reports().begin(), sim_->Reports().end(),
                                          [](const SimReport& r) { return !r.get && r.bytes[0] == 2; }));
  }

  std::string FinalProgress(int64_t elapsedMs, int bytes) const {
    return FormatElapsed(elapsedMs) + "=" + std::to_string(bytes);
  }

  std::unique_ptr<SimKado> sim_ = std::make_unique<SimKado>();
  DeviceContext context_;
  opstest::OpsHost host_;
  opstest::OpsClock clock_;
  FixedDateTimeFormat format_;
  std::unique_ptr<DeviceEnv> env_ =
      std::make_unique<DeviceEnv>(DeviceEnv{*sim_, context_, host_, clock_, format_});
  std::unique_ptr<StoredRouteList> stored_ = std::make_unique<StoredRouteList>();
  std::unique_ptr<WorkBuffer> work_ = std::make_unique<WorkBuffer>();
};

TEST_F(TransferTest, WritesTheImageAndCountsTheTransfer) {
  SetRoutes(9, "Центральный рынок", "Следующая остановка");
  RouteImageLayout layout;
  const Bytes image = ExpectedImage(&layout);
  ASSERT_GT(layout.length, 256);   // three blocks of 128

  bool busyDuringWrite = true;
  host_.onProgress = [&](int) { busyDuringWrite = busyDuringWrite && context_.operation.DeviceBusy; };
  const int64_t start = clock_.ms;
  EXPECT_EQ(Transmit(), kStatusOk);

  const std::vector<uint8_t>& memory = sim_->Memory();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
  EXPECT_TRUE(std::all_of(memory.begin() + layout.length, memory.end(), [](uint8_t b) { return b == 0xFF; }));
  const int blocks = (layout.length + 127) / 128;
  EXPECT_EQ(DataBlocksSent(), blocks);
  EXPECT_EQ(host_.progress.back(), blocks * 128);
  EXPECT_TRUE(busyDuringWrite);

  EXPECT_EQ(host_.history[kPanelStatus], (std::vector<std::string>{Cp("Загружаем"), Cp("Загрузка окончена")}));
  EXPECT_EQ(host_.status[kPanelTransfers], Cp("Загружено: 1"));
  EXPECT_EQ(host_.history[kPanelProgress].front(), "0");
  // One 1 ms pause per block, then 20 ms before the outcome.
  EXPECT_EQ(host_.status[kPanelProgress], FinalProgress(blocks + 20, blocks * 128));
  EXPECT_EQ(clock_.ms - start, blocks + 20);
  EXPECT_TRUE(host_.log.empty());
  EXPECT_EQ(context_.operation.TransferCount, 1);
  EXPECT_FALSE(context_.operation.DeviceBusy);
  EXPECT_EQ(sim_->OpenHandles(), 0);
  EXPECT_GE(host_.refreshes, 2);   // the window disables the device actions and enables them again

  EXPECT_EQ(Transmit(), kStatusOk);
  EXPECT_EQ(host_.status[kPanelTransfers], Cp("Загружено: 2"));
}

TEST_F(TransferTest, TheSimulatorSavesWhatTheWriteLeftInIt) {
  const opstest::TempFolder folder;
  SimKadoOptions options;
  options.saveFile = folder.Path() + "/kado.bin";
  MakeSim(options);
  EXPECT_EQ(Transmit(), kStatusOk);
  const FileRead saved = ReadWholeFile(options.saveFile, 1 << 20);
  ASSERT_EQ(saved.status, ReadStatus::Ok) << saved.error;
  EXPECT_EQ(saved.bytes, std::string(sim_->Memory().begin(), sim_->Memory().end()));
}

TEST_F(TransferTest, EveryBlockSizeCarriesTheImagesLastByte) {
  // 47 records of 170 bytes and one of 172 end exactly at 8192: the last byte is the
  // record's end byte, not fill.
  stored_->Clear();
  for (int i = 0; i < 47; ++i) {
    stored_->records[i].SetTexts({"1", std::string(15, 's'), std::string(15, 'f'), std::string(127, 'm')});
  }
  stored_->records[46].Set(kMessage, std::string(129, 'm'));
  stored_->count = 47;
  RouteImageLayout layout;
  const Bytes image = ExpectedImage(&layout);
  ASSERT_EQ(layout.length, 8192);
  ASSERT_EQ(image.back(), 0x00);
  for (int blockSize : {1, 2, 32, 64, 128}) {
    SCOPED_TRACE(blockSize);
    SimKadoOptions options;
    options.blockSize = blockSize;
    MakeSim(options);
    EXPECT_EQ(Transmit(), kStatusOk);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), sim_->Memory().begin()));
    EXPECT_EQ(DataBlocksSent(), 8192 / blockSize);
  }
}

TEST_F(TransferTest, AnOversizedListIsCutWithARedWarning) {
  stored_->Clear();
  for (int i = 0; i < 256; ++i) {
    stored_->records[i].SetTexts({"1234", std::string(15, 's'), std::string(15, 'f'), std::string(127, 'm')});
  }
  stored_->count = 256;
  const Bytes image = ExpectedImage();
  ASSERT_EQ(image.size(), 8192u);

  EXPECT_EQ(Transmit(), kStatusOk);
  EXPECT_EQ(host_.log, (std::vector<Line>{{Cp("Поместилось только 47 маршрутов"), kRed}}));
  EXPECT_EQ(host_.status[kPanelStatus], Cp("Загрузка окончена"));
  EXPECT_TRUE(std::equal(image.begin(), image.end(), sim_->Memory().begin()));
  EXPECT_EQ(DataBlocksSent(), 64);
}

TEST_F(TransferTest, NoDeviceWithinAHundredPausesEndsWithoutWriting) {
  context_.device.DevicePath.clear();
  EXPECT_EQ(Transmit(), kStatusNotFound);
  EXPECT_EQ(host_.pumps, 100);
  EXPECT_EQ(clock_.SleepsOf(40), 100);
  EXPECT_EQ(clock_.sleeps.size(), 100u);
  EXPECT_EQ(host_.history[kPanelStatus], (std::vector<std::string>{Cp("КАДО не подключен")}));
  EXPECT_TRUE(host_.history[kPanelProgress].empty());
  EXPECT_TRUE(host_.history[kPanelTransfers].empty());
  EXPECT_TRUE(host_.log.empty());
  EXPECT_TRUE(sim_->Reports().empty());
  EXPECT_FALSE(context_.operation.DeviceBusy);
}

TEST_F(TransferTest, ADeviceArrivingDuringTheWaitIsUsed) {
  context_.device.DevicePath.clear();
  bool busyWhileWaiting = false;
  host_.onPump = [&](int n) {
    busyWhileWaiting = context_.operation.DeviceBusy;
    if (n == 3) context_.device.DevicePath = sim_->Path();
  };
  EXPECT_EQ(Transmit(), kStatusOk);
  EXPECT_EQ(host_.pumps, 3);
  EXPECT_EQ(clock_.SleepsOf(40), 3);
  EXPECT_TRUE(busyWhileWaiting);
  EXPECT_EQ(host_.status[kPanelStatus], Cp("Загрузка окончена"));
  const Bytes image = ExpectedImage();
  EXPECT_TRUE(std::equal(image.begin(), image.end(), sim_->Memory().begin()));
}

TEST_F(TransferTest, ADeviceThatDoesNotOpenLeavesPanelsZeroAndOneAlone) {
  host_.ShowStatus(kPanelTransfers, Cp("Передач не было"));
  sim_->Detach();
  EXPECT_EQ(Transmit(), kStatusAccessDenied);
  EXPECT_EQ(host_.history[kPanelStatus], (std::vector<std::string>{Cp("Загружаем"), Cp("КАДО не открыто")}));
  EXPECT_EQ(host_.status[kPanelTransfers], Cp("Передач не было"));
  EXPECT_TRUE(host_.history[kPanelProgress].empty());
  EXPECT_TRUE(host_.log.empty());
  EXPECT_FALSE(context_.operation.DeviceBusy);
}

TEST_F(TransferTest, AFailedBlockReportsTheWriteErrorAndKeepsTheCount) {
  EXPECT_EQ(Transmit(), kStatusOk);   // one earlier success: "Загружено: 1" stays
  SetRoutes(9, "Центральный рынок", "Следующая остановка");
  sim_->Options().failBlock = 2;
  host_.log.clear();

  EXPECT_EQ(Transmit(), kStatusIoError);
  EXPECT_EQ(host_.log, (std::vector<Line>{
                           {Cp("***Ошибка записи блока данных: Communication error with device\n"), LogColour{}},
                           {Cp("***Ошибка записи данных"), kRed}}));
  EXPECT_EQ(host_.status[kPanelStatus], Cp("Ошибка записи данных"));
  EXPECT_EQ(host_.status[kPanelTransfers], Cp("Загружено: 1"));
  EXPECT_EQ(context_.operation.TransferCount, 1);
  // One block reached the device before the failed one; no 20 ms pause after a failure.
  EXPECT_EQ(host_.status[kPanelProgress], FinalProgress(1, 128));
  EXPECT_EQ(sim_->OpenHandles(), 0);
  EXPECT_FALSE(context_.operation.DeviceBusy);
}

TEST_F(TransferTest, AShortParameterReplyIsAWriteError) {
  sim_->Options().replyLength = 5;
  EXPECT_EQ(Transmit(), kStatusShortReply);
  EXPECT_EQ(host_.log.size(), 2u);
  EXPECT_EQ(host_.log.back(), (Line{Cp("***Ошибка записи данных"), kRed}));
  EXPECT_EQ(host_.status[kPanelStatus], Cp("Ошибка записи данных"));
  EXPECT_EQ(host_.status[kPanelProgress], FinalProgress(0, 0));
  EXPECT_TRUE(host_.history[kPanelTransfers].empty());
}

TEST_F(TransferTest, ADeviceMemorySmallerThanTheImageIsNoSuccess) {
  // MemorySize overlaps the version bytes: version 0.0 leaves it at the memory's size.
  SimKadoOptions options;
  options.memorySize = 128;
  options.versionMajor = 0;
  options.versionMinor = 0;
  MakeSim(options);
  SetRoutes(9, "Центральный рынок", "Следующая остановка");
  EXPECT_NE(Transmit(), kStatusOk);
  EXPECT_EQ(host_.status[kPanelStatus], Cp("Ошибка записи данных"));
  EXPECT_EQ(context_.operation.TransferCount, 0);
}

TEST_F(TransferTest, RefusesWhileAnotherOperationRuns) {
  context_.operation.DeviceBusy = true;
  EXPECT_EQ(Transmit(), kStatusInUse);
  EXPECT_TRUE(context_.operation.DeviceBusy);
  EXPECT_TRUE(sim_->Reports().empty());
  for (const auto& h : host_.history) EXPECT_TRUE(h.empty());
  EXPECT_EQ(host_.refreshes, 0);
}

TEST_F(TransferTest, ASecondTransferDuringTheWriteDoesNothing) {
  SetRoutes(9, "Центральный рынок", "Следующая остановка");
  const Bytes image = ExpectedImage();
  std::vector<int> nested;
  host_.onProgress = [&](int count) {
    if (count == 128) nested.push_back(Transmit());
  };
  EXPECT_EQ(Transmit(), kStatusOk);
  EXPECT_EQ(nested, (std::vector<int>{kStatusInUse}));
  const auto& reports = sim_->Reports();
  EXPECT_EQ(std::count_if(reports.begin(), reports.end(), [](const SimReport& r) { return r.get; }), 1);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), sim_->Memory().begin()));
  EXPECT_EQ(context_.operation.TransferCount, 1);
  EXPECT_EQ(host_.history[kPanelStatus].size(), 2u);
}

TEST_F(TransferTest, ARemovalBetweenBlocksEndsInTheWriteError) {
  SetRoutes(9, "Центральный рынок", "Следующая остановка");
  // The removal is handled inside ReportProgress, as the window's event loop does.
  host_.onProgress = [&](int count) {
    if (count != 128) return;
    sim_->Detach();
    context_.device.DevicePath.clear();
  };
  EXPECT_EQ(Transmit(), kStatusIoError);
  EXPECT_EQ(host_.status[kPanelStatus], Cp("Ошибка записи данных"));
  EXPECT_EQ(host_.log.back(), (Line{Cp("***Ошибка записи данных"), kRed}));
  EXPECT_EQ(sim_->OpenHandles(), 0);
  EXPECT_FALSE(context_.operation.DeviceBusy);
}

}  // namespace
}  // namespace velmora
