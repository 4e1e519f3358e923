// Firmware files with odd names and sizes, and files that change after the listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "device/Formatm.h"
#include "device/firmwareupdate.h"
#include "device/simkado.h"
#include "device/transport.h"
#include "ops_fakes.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes Body(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 13 + 1);
  return b;
}

struct Update {
  Update() {
    SimKadoOptions options;
    options.boot = true;
    sim = std::make_unique<SimKado>(options);
    context.device.DevicePath = sim->Path();
  }
  void Put(const std::string& utf8Name, const Bytes& bytes) const {
    std::ofstream out(fs::u8path(folder.Path()) / fs::u8path(utf8Name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  FirmwareListing List() const { return ListFirmwareFiles({folder.Path()}, format, 1); }
  int Program(const FirmwareListing& l) {
    DeviceEnv env{*sim, context, host, clock, format};
    return ProgramFirmware(env, l, l.newestRow);
  }
  bool Untouched() const {
    return sim->Reports().empty() &&
           std::all_of(sim->Memory().begin(), sim->Memory().end(), [](uint8_t b) { return b == 0xFF; });
  }

  opstest::TempFolder folder;
  std::unique_ptr<SimKado> sim;
  DeviceContext context;
  opstest::OpsHost host;
  opstest::OpsClock clock;
  FixedDateTimeFormat format;
};

const uint32_t kDate = PackDosDateTime(DateTime{2009, 10, 5, 12, 0, 0, 0});

TEST(RobustFirmware, CyrillicNameWithBlanksIsListedAndWritten) {
  Update u;
  const Bytes body = Body(1000);
  u.Put("Прошивка КАДО 1.06.HAS", EncodeFirmware(body, "v1.06", kDate, 2));
  const FirmwareListing l = u.List();
  ASSERT_EQ(l.rows.size(), 1u);
  EXPECT_EQ(l.rows[0].fileName, "Прошивка КАДО 1.06.HAS");

  EXPECT_EQ(u.Program(l), kStatusOk);
  EXPECT_EQ(u.host.status[kPanelStatus], Cp("Программа записана"));
  EXPECT_TRUE(std::equal(body.begin(), body.end(), u.sim->Memory().begin()));
  EXPECT_TRUE(u.host.RedLines().empty());
  EXPECT_FALSE(u.context.operation.DeviceBusy);
  EXPECT_EQ(u.sim->OpenHandles(), 0);
}

TEST(RobustFirmware, EmptyFilesAreNotListed) {
  Update u;
  u.Put("empty.HAS", {});
  EXPECT_TRUE(u.List().rows.empty());
}

TEST(RobustFirmware, FilesEmptiedOrGrownPast16MiBAfterTheListingAreRefusedUnwritten) {
  for (std::uintmax_t size : {std::uintmax_t{0}, std::uintmax_t{16} * 1024 * 1024 + 1}) {
    SCOPED_TRACE(size);
    Update u;
    u.Put("kado.HAS", EncodeFirmware(Body(300), "v1", kDate, 2));
    const FirmwareListing l = u.List();
    ASSERT_EQ(l.rows.size(), 1u);
    // Another program rewrites the file between the listing and the update.
    fs::resize_file(fs::u8path(u.folder.Path()) / "kado.HAS", size);

    EXPECT_EQ(u.Program(l), kStatusFirmwareFormat);
    EXPECT_EQ(u.host.status[kPanelStatus], Cp("Формат файла программы неверен"));
    EXPECT_EQ(u.host.RedLines(),
              (std::vector<opstest::Line>{{Cp("***Формат файла программы неверен"), kRed}}));
    EXPECT_FALSE(u.context.operation.DeviceBusy);
    EXPECT_EQ(u.sim->OpenHandles(), 0);
    EXPECT_TRUE(u.Untouched());
  }
}

}  // namespace
}  // namespace velmora
