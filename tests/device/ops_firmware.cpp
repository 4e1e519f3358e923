// The firmware panel's listing and the update (Ctrl+P) into the simulated boot loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "device/Formatm.h"
#include "device/firmwarelist.h"
#include "device/firmwareupdate.h"
#include "device/simkado.h"
#include "device/transport.h"
#include "ops_fakes.h"
#include "tests/base/unreadable_files.h"

namespace velmora {
namespace {

using opstest::Line;
using opstest::TempFolder;
using Bytes = std::vector<uint8_t>;

const uint32_t kMarch2009 = PackDosDateTime({2009, 3, 1, 9, 30, 0});
const uint32_t kOctober2009 = PackDosDateTime({2009, 10, 5, 0, 0, 0});

Bytes Body(std::size_t n, uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return b;
}

Bytes Firmware(std::size_t size, uint32_t date, const std::string& title = "KADO", uint8_t seed = 1) {
  return EncodeFirmware(Body(size, seed), title, date, 2);
}

const FirmwareRow* Find(const FirmwareListing& l, const std::string& name) {
  for (const FirmwareRow& r : l.rows) {
    if (r.fileName == name) return &r;
  }
  return nullptr;
}

class ListingTest : public ::testing::Test {
 protected:
  FirmwareListing List(int previous = 1) { return ListFirmwareFiles({a_.Path(), b_.Path()}, format_, previous); }
  TempFolder a_, b_;
  FixedDateTimeFormat format_;
};

TEST_F(ListingTest, NoFilesKeepsThePreviousNewestRow) {
  a_.Write("readme.txt", Firmware(10, kMarch2009));
  const FirmwareListing l = List(4);
  EXPECT_TRUE(l.rows.empty());
  EXPECT_EQ(l.newestRow, 4);
  EXPECT_TRUE(ListFirmwareFiles({"", (a_.Fs() / "missing").u8string()}, format_, 1).rows.empty());
}

TEST_F(ListingTest, FirmwareNamesThatAllFailTheCheckStartTheNewestRowAgain) {
  Bytes wrongScheme = Firmware(10, kMarch2009);
  wrongScheme[25] = 3;
  a_.Write("old.HAS", wrongScheme);
  const FirmwareListing l = List(4);
  EXPECT_TRUE(l.rows.empty());
  EXPECT_EQ(l.newestRow, 1) << "a .HAS entry was found, so the previous row is not kept";
}

TEST_F(ListingTest, RowsCarryTheHeaderFieldsAndTheirFolder) {
  b_.Write("kado.HAS", Firmware(300, 0x3B4A6000, Cp("КАДО-08 v1.06")));
  const FirmwareListing l = List();
  ASSERT_EQ(l.rows.size(), 1u);
  const FirmwareRow& r = l.rows[0];
  EXPECT_EQ(r.folder, b_.Path());
  EXPECT_EQ(r.fileName, "kado.HAS");
  EXPECT_EQ(r.size, 300);
  EXPECT_EQ(r.date, 0x3B4A6000u);
  EXPECT_EQ(r.dateText, "10.10.2009 12:00:00");
  EXPECT_EQ(r.title, Cp("КАДО-08 v1.06"));
  EXPECT_EQ(l.newestRow, 1);
}

TEST_F(ListingTest, TitleStopsAtSixteenBytesOrTheFirstZero) {
  a_.Write("long.HAS", Firmware(1, kMarch2009, "ABCDEFGHIJKLMNOPQRST"));
  Bytes zero = Firmware(1, kMarch2009, "AB");
  zero[43] = 'X';   // after the zero at 42
  a_.Write("zero.HAS", zero);
  const FirmwareListing l = List();
  ASSERT_EQ(l.rows.size(), 2u);
  EXPECT_EQ(Find(l, "long.HAS")->title, "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(Find(l, "zero.HAS")->title, "AB");
}

TEST_F(ListingTest, MidnightShowsOnlyTheDateAndAnImpossibleDateAQuestionMark) {
  a_.Write("oct.HAS", Firmware(1, kOctober2009));
  a_.Write("bad.HAS", Firmware(1, 0xFFFFFFFF));   // month 15
  const FirmwareListing l = List();
  ASSERT_EQ(l.rows.size(), 2u);
  EXPECT_EQ(Find(l, "oct.HAS")->dateText, "05.10.2009");
  EXPECT_EQ(Find(l, "bad.HAS")->dateText, "?");
  // The impossible date still takes part in the comparison, as the greatest number.
  EXPECT_EQ(l.rows[l.newestRow - 1].fileName, "bad.HAS");
}

TEST_F(ListingTest, TheNewestDateIsSelectedWhicheverComesFirst) {
  a_.Write("march.HAS", Firmware(1, kMarch2009));
  a_.Write("october.HAS", Firmware(1, kOctober2009));
  FirmwareListing l = List();
  ASSERT_EQ(l.rows.size(), 2u);
  EXPECT_EQ(l.rows[l.newestRow - 1].fileName, "october.HAS");

  // Across folders: the first folder's files come first, whatever their dates.
  std::filesystem::rename(a_.Fs() / "october.HAS", b_.Fs() / "october.HAS");
  l = List();
  ASSERT_EQ(l.rows.size(), 2u);
  EXPECT_EQ(l.rows[0].fileName, "march.HAS");
  EXPECT_EQ(l.rows[1].fileName, "october.HAS");
  EXPECT_EQ(l.newestRow, 2);

  std::filesystem::rename(b_.Fs() / "october.HAS", a_.Fs() / "october.HAS");
  std::filesystem::rename(a_.Fs() / "march.HAS", b_.Fs() / "march.HAS");
  l = List();
  EXPECT_EQ(l.rows[0].fileName, "october.HAS");
  EXPECT_EQ(l.newestRow, 1);
}

TEST_F(ListingTest, AmongEqualDatesTheFirstListedStays) {
  a_.Write("first.HAS", Firmware(1, kOctober2009));
  b_.Write("second.HAS", Firmware(2, kOctober2009));
  b_.Write("older.HAS", Firmware(3, kMarch2009));
  const FirmwareListing l = List();
  ASSERT_EQ(l.rows.size(), 3u);
  EXPECT_EQ(l.rows[0].fileName, "first.HAS");
  EXPECT_EQ(l.newestRow, 1);
}

TEST_F(ListingTest, OnlyFirmwareFilesAreListed) {
  a_.Write("good.HAS", Firmware(10, kMarch2009));
  a_.Write("lower.has", Firmware(10, kMarch2009));
  a_.Write("mixed.HaS", Firmware(10, kMarch2009));
  a_.Write("good.HAS.bak", Firmware(10, kMarch2009));
  a_.Write("HAS", Firmware(10, kMarch2009));
  for (uint8_t scheme : {1, 3, 4}) {
    Bytes f = Firmware(10, kMarch2009);
    f[25] = scheme;
    a_.Write("scheme" + std::to_string(scheme) + ".HAS", f);
  }
  Bytes mark = Firmware(10, kMarch2009);
  mark[32] = 0x95;
  a_.Write("mark32.HAS", mark);
  mark = Firmware(10, kMarch2009);
  mark[33] = 0x07;
  a_.Write("mark33.HAS", mark);
  Bytes shortFile = Firmware(10, kMarch2009);
  shortFile.resize(63);
  a_.Write("short.HAS", shortFile);
  std::filesystem::create_directories(a_.Fs() / "x.HAS");
  // The listing reads the header only: the update refuses these later.
  Bytes truncated = Firmware(2000, kMarch2009);
  truncated.resize(64);
  a_.Write("header-only.HAS", truncated);

  const FirmwareListing l = List();
  std::vector<std::string> names;
  for (const FirmwareRow& r : l.rows) names.push_back(r.fileName);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"good.HAS", "header-only.HAS", "lower.has", "mixed.HaS"}));
}

class UpdateTest : public ::testing::Test {
 protected:
  UpdateTest() {
    SimKadoOptions options;
    options.boot = true;
    sim_ = std::make_unique<SimKado>(options);
    env_ = std::make_unique<DeviceEnv>(DeviceEnv{*sim_, context_, host_, clock_, format_});
    context_.device.DevicePath = sim_->Path();
  }

  FirmwareListing List() { return ListFirmwareFiles({folder_.Path()}, format_, 1); }
  int Program(const FirmwareListing& l, int row) { return ProgramFirmware(*env_, l, row); }
  int Program(int row = 0) {
    const FirmwareListing l = List();
    return Program(l, row ? row : l.newestRow);
  }

  Bytes Decoded(const Bytes& file) {
    const Bytes d = DecodeFirmware(file.data(), file.size());
    return Bytes(d.begin() + 512, d.end());
  }

  int DataBlocksSent() const {
    return static_cast<int>(std::count_if(sim_->Reports().begin(), sim_->Reports().end(),
                                          [](const SimReport& r) { return !r.get && r.bytes[0] == 2; }));
  }
  bool Untouched() const {
    return sim_->Reports().empty() && sim_->OpenHandles() == 0 &&
           std::all_of(sim_->Memory().begin(), sim_->Memory().end(), [](uint8_t b) { return b == 0xFF; });
  }
  void ExpectFailure(const char* utf8) {
    EXPECT_EQ(host_.status[kPanelStatus], Cp(utf8));
    EXPECT_EQ(host_.RedLines(), (std::vector<Line>{{"***" + Cp(utf8), kRed}}));
    EXPECT_FALSE(context_.operation.DeviceBusy);
  }

  TempFolder folder_;
  std::unique_ptr<SimKado> sim_;
  DeviceContext context_;
  opstest::OpsHost host_;
  opstest::OpsClock clock_;
  FixedDateTimeFormat format_;
  std::unique_ptr<DeviceEnv> env_;
};

TEST_F(UpdateTest, WritesTheDecodedBodyIntoTheBootLoader) {
  const Bytes file = Firmware(40000, kOctober2009, "v1.06", 9);
  folder_.Write("kado.HAS", file);
  const Bytes body = Decoded(file);
  bool busyDuringWrite = true;
  host_.onProgress = [&](int) { busyDuringWrite = busyDuringWrite && context_.operation.DeviceBusy; };

  EXPECT_EQ(Program(), kStatusOk);
  const int end = (40000 + 127) & ~127;
  const std::vector<uint8_t>& memory = sim_->Memory();
  EXPECT_TRUE(std::equal(body.begin(), body.begin() + end, memory.begin()));
  const Bytes plain = Body(40000, 9);
  EXPECT_TRUE(std::equal(plain.begin(), plain.end(), memory.begin()));
  EXPECT_TRUE(std::all_of(memory.begin() + end, memory.end(), [](uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(DataBlocksSent(), end / 128);
  EXPECT_TRUE(busyDuringWrite);

  EXPECT_EQ(host_.history[kPanelStatus],
            (std::vector<std::string>{" ", Cp("Загружаем"), Cp("Программа записана")}));
  EXPECT_EQ(host_.status[kPanelProgress], FormatElapsed(end / 128 + 20) + "=" + std::to_string(end));
  EXPECT_TRUE(host_.log.empty());
  EXPECT_FALSE(context_.operation.DeviceBusy);
  EXPECT_EQ(sim_->OpenHandles(), 0);
  EXPECT_GE(host_.refreshes, 2);
}

TEST_F(UpdateTest, SizeOf300WritesThreeBlocksUpTo384) {
  folder_.Write("kado.HAS", Firmware(300, kOctober2009));
  EXPECT_EQ(Program(), kStatusOk);
  EXPECT_EQ(DataBlocksSent(), 3);
  EXPECT_EQ(host_.progress, (std::vector<int>{128, 256, 384}));
  EXPECT_EQ(sim_->Memory()[383], 0xFF);   // the padding past the body, as coded
  EXPECT_EQ(sim_->Memory()[299], Body(300, 1)[299]);
  EXPECT_EQ(host_.status[kPanelStatus], Cp("Программа записана"));
}

TEST_F(UpdateTest, SizeZeroSendsOnlyTheClosingReport) {
  folder_.Write("empty.HAS", Firmware(0, kOctober2009));
  EXPECT_EQ(Program(), kStatusOk);
  EXPECT_EQ(DataBlocksSent(), 0);
  ASSERT_EQ(sim_->Reports().size(), 2u);   // the parameter read and the closing report
  EXPECT_TRUE(sim_->Reports()[0].get);
  EXPECT_EQ(sim_->Reports()[1].bytes[0], 1);
  EXPECT_EQ(sim_->Reports()[1].bytes[1], 0);
  EXPECT_EQ(host_.status[kPanelStatus], Cp("Программа записана"));
  EXPECT_EQ(host_.status[kPanelProgress], FormatElapsed(20) + "=0");
}

TEST_F(UpdateTest, AnOlderSelectedRowWarnsAndWritesTheNewest) {
  folder_.Write("a.HAS", Firmware(600, kMarch2009, "old", 1));
  folder_.Write("b.HAS", Firmware(600, kOctober2009, "new", 2));
  const FirmwareListing l = List();
  ASSERT_EQ(l.rows.size(), 2u);
  const int older = l.newestRow == 1 ? 2 : 1;
  EXPECT_EQ(Program(l, older), kStatusOk);
  EXPECT_EQ(host_.history[kPanelStatus],
            (std::vector<std::string>{" ", Cp("Не последняя версия программы"), Cp("Загружаем"),
                                      Cp("Программа записана")}));
  EXPECT_EQ(host_.RedLines(), (std::vector<Line>{{Cp("***Не последняя версия программы"), kRed}}));
  const Bytes newest = Body(600, 2);
  EXPECT_TRUE(std::equal(newest.begin(), newest.end(), sim_->Memory().begin()));
}

TEST_F(UpdateTest, AFileGoneSinceTheListingIsNotOpened) {
  folder_.Write("kado.HAS", Firmware(300, kOctober2009));
  const FirmwareListing l = List();
  std::filesystem::remove(folder_.Fs() / "kado.HAS");
  EXPECT_EQ(Program(l, 1), kStatusFirmwareNotOpened);
  ExpectFailure("Файл программы не открыт");
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(Program(FirmwareListing{}, 1), kStatusFirmwareNotOpened);   // nothing listed at all
}

TEST_F(UpdateTest, AFileThatCannotBeReadAnyMoreIsNeitherListedNorOpened) {
  const Bytes firmware = Firmware(300, kOctober2009);
  const std::string path = (folder_.Fs() / "kado.HAS").u8string();
  for (test::Unreadable kind : test::kUnreadableKinds) {
    folder_.Write("kado.HAS", firmware);
    const FirmwareListing listed = List();
    ASSERT_EQ(listed.rows.size(), 1u);
    if (!test::MakeUnreadable(kind, path, std::string(firmware.begin(), firmware.end()))) continue;
    host_ = opstest::OpsHost();
    FirmwareListing now;
    int status = 0;
    test::AsUnprivileged([&] {
      now = List();  // a FIFO would block a plain read of its header
      status = Program(listed, 1);
    });
    EXPECT_TRUE(now.rows.empty()) << test::KindName(kind);
    EXPECT_EQ(status, kStatusFirmwareNotOpened) << test::KindName(kind);
    ExpectFailure("Файл программы не открыт");
    EXPECT_TRUE(Untouched());
    std::filesystem::remove_all(path);
  }
}

TEST_F(UpdateTest, FilesThatFailTheCheckAreNeitherDecodedNorWritten) {
  struct Case {
    const char* name;
    Bytes file;
  };
  std::vector<Case> cases;
  Bytes f = Firmware(1000, kOctober2009);
  f.resize(1500);   // the second block is cut short
  cases.push_back({"cut", f});
  f = Firmware(1000, kOctober2009);
  f[0] = f[1] = f[2] = f[3] = 0xFF;   // FirmwareSize -1
  cases.push_back({"negative", f});
  f = Firmware(kMaxFirmwareBody, kOctober2009);
  f.push_back(0);   // 65,537 bytes
  cases.push_back({"large", f});
  f = Firmware(10, kOctober2009);
  f.resize(63);
  cases.push_back({"short", f});
  f = Firmware(10, kOctober2009);
  f[25] = 3;
  cases.push_back({"scheme", f});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host_ = opstest::OpsHost{};
    folder_.Write("kado.HAS", Firmware(10, kOctober2009));
    const FirmwareListing l = List();
    folder_.Write("kado.HAS", c.file);   // changed after the listing
    EXPECT_EQ(Program(l, 1), kStatusFirmwareFormat);
    EXPECT_EQ(host_.history[kPanelStatus],
              (std::vector<std::string>{" ", Cp("Формат файла программы неверен")}));
    EXPECT_EQ(host_.log, (std::vector<Line>{{Cp("***Формат файла программы неверен"), kRed}}));
    EXPECT_FALSE(context_.operation.DeviceBusy);
    EXPECT_EQ(host_.refreshes, 0);   // DeviceBusy was never set
    EXPECT_TRUE(Untouched());
  }
}

TEST_F(UpdateTest, ADeviceThatDoesNotOpenEndsQuietly) {
  folder_.Write("kado.HAS", Firmware(300, kOctober2009));
  sim_->Detach();
  EXPECT_EQ(Program(), kStatusAccessDenied);
  EXPECT_EQ(host_.history[kPanelStatus], (std::vector<std::string>{" ", Cp("КАДО не открыто")}));
  EXPECT_TRUE(host_.log.empty());
  EXPECT_TRUE(host_.history[kPanelProgress].empty());
  EXPECT_FALSE(context_.operation.DeviceBusy);

  sim_->Attach();
  context_.device.DevicePath.clear();
  host_ = opstest::OpsHost{};
  EXPECT_EQ(Program(), kStatusAccessDenied);
  EXPECT_EQ(host_.status[kPanelStatus], Cp("КАДО не открыто"));
  EXPECT_TRUE(Untouched());
}

TEST_F(UpdateTest, AFailedBlockReportsTheProgramWriteError) {
  folder_.Write("kado.HAS", Firmware(1000, kOctober2009));
  sim_->Options().failBlock = 3;
  EXPECT_EQ(Program(), kStatusIoError);
  EXPECT_EQ(host_.status[kPanelStatus], Cp("Ошибка записи программы"));
  EXPECT_EQ(host_.log, (std::vector<Line>{
                           {Cp("***Ошибка записи блока данных: Communication error with device\n"), LogColour{}},
                           {Cp("***Ошибка записи программы"), kRed}}));
  EXPECT_EQ(host_.status[kPanelProgress], FormatElapsed(2) + "=256");
  EXPECT_EQ(sim_->OpenHandles(), 0);
  EXPECT_FALSE(context_.operation.DeviceBusy);
}

TEST_F(UpdateTest, RefusesWhileAnotherOperationRunsAndDuringItsOwnWrite) {
  folder_.Write("kado.HAS", Firmware(1000, kOctober2009));
  context_.operation.DeviceBusy = true;
  EXPECT_EQ(Program(), kStatusInUse);
  EXPECT_TRUE(sim_->Reports().empty());
  for (const auto& h : host_.history) EXPECT_TRUE(h.empty());
  context_.operation.DeviceBusy = false;

  const FirmwareListing l = List();
  std::vector<int> nested;
  host_.onProgress = [&](int count) {
    if (count == 128) nested.push_back(Program(l, 1));
  };
  EXPECT_EQ(Program(l, 1), kStatusOk);
  EXPECT_EQ(nested, (std::vector<int>{kStatusInUse}));
  EXPECT_EQ(DataBlocksSent(), 8);
}

}  // namespace
}  // namespace velmora
