// The coding tables file: where it is found, what is refused, and that the update decodes
// with the tables found.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/Formatm.h"
#include "device/firmwareupdate.h"
#include "device/schemefile.h"
#include "device/simkado.h"
#include "device/transport.h"
#include "ops_fakes.h"
#include "routes/cp1251.h"

namespace velmora {
namespace {

using Bytes = std::vector<uint8_t>;

// Every table maps each bit to itself: a body coded with it is the body.
Bytes IdentityTables() {
  Bytes bytes;
  for (int g : {256, 256, 64, 32})
    for (int i = 0; i < g; ++i) bytes.push_back(static_cast<uint8_t>(i));
  return bytes;
}

enum class File { None, Good, Short, Long, Repeated, OutOfRange, Directory };

void Put(const opstest::TempFolder& root, const std::string& folder, File kind) {
  std::filesystem::create_directories(root.Fs() / folder);
  const std::string name = folder + "/" + kSchemeTablesFileName;
  Bytes bytes = IdentityTables();
  switch (kind) {
    case File::None: return;
    case File::Good: break;
    case File::Short: bytes.pop_back(); break;
    case File::Long: bytes.push_back(0); break;
    case File::Repeated: bytes[512 + 7] = 6; break;       // scheme 3 holds 6 twice
    case File::OutOfRange: bytes[576 + 31] = 32; break;   // scheme 4 has no bit 32
    case File::Directory: std::filesystem::create_directories(root.Fs() / name); return;
  }
  root.Write(name, bytes);
}

TEST(SchemeTablesFile, FoundInOrderWithTheOptionFirstAndBrokenOnesNeverPassedOver) {
  struct Case {
    File option, beside, program, user;
    const char* expected;   // folder of the file taken, "" for the built-in set
    bool broken;
  };
  const Case cases[] = {
      {File::None, File::None, File::None, File::None, "", false},
      {File::None, File::None, File::None, File::Good, "user", false},
      {File::None, File::None, File::Good, File::Good, "program", false},
      {File::None, File::Good, File::Good, File::Good, "beside", false},
      {File::Good, File::Good, File::Good, File::Good, "option", false},
      {File::None, File::Short, File::Good, File::Good, "beside", true},
      {File::None, File::None, File::Long, File::Good, "program", true},
      {File::None, File::None, File::None, File::Repeated, "user", true},
      {File::None, File::OutOfRange, File::None, File::None, "beside", true},
      {File::None, File::Directory, File::Good, File::None, "beside", true},
      {File::Directory, File::Good, File::None, File::None, "option", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "expected " << c.expected);
    const opstest::TempFolder root;
    Put(root, "option", c.option);
    Put(root, "beside", c.beside);
    Put(root, "program", c.program);
    Put(root, "user", c.user);
    const std::string option =
        c.option == File::None ? "" : root.Path() + "/option/" + kSchemeTablesFileName;
    const SchemeChoice choice = FindSchemeTables(
        option, root.Path() + "/beside", {root.Path() + "/program", root.Path() + "/user"});
    const std::string expected =
        *c.expected ? root.Path() + "/" + c.expected + "/" + kSchemeTablesFileName : "";
    EXPECT_EQ(choice.path, expected);
    EXPECT_EQ(choice.Usable(), !c.broken);
    EXPECT_EQ(choice.source == SchemeChoice::Source::BuiltIn, !*c.expected);
  }
  // A named file that is not there is as broken as one that does not read.
  EXPECT_FALSE(FindSchemeTables("/nonexistent/" + std::string(kSchemeTablesFileName), "", {}).Usable());
}

class SchemesUpdateTest : public ::testing::Test {
 protected:
  SchemesUpdateTest() {
    SimKadoOptions options;
    options.boot = true;
    sim_ = std::make_unique<SimKado>(options);
    context_.device.DevicePath = sim_->Path();
  }
  int Program(const SchemeSearch& search) {
    DeviceEnv env{*sim_, context_, host_, clock_, format_};
    const FirmwareListing listing = ListFirmwareFiles({folder_.Path() + "/fw"}, format_, 1);
    return ProgramFirmware(env, listing, listing.newestRow, search);
  }

  opstest::TempFolder folder_;
  std::unique_ptr<SimKado> sim_;
  DeviceContext context_;
  opstest::OpsHost host_;
  opstest::OpsClock clock_;
  FixedDateTimeFormat format_;
};

TEST_F(SchemesUpdateTest, TheUpdateDecodesWithTheTablesFoundAndRefusesABrokenFile) {
  SchemeTables identity;
  const Bytes tables = IdentityTables();
  ASSERT_TRUE(ParseSchemeTables(std::string(tables.begin(), tables.end()), identity));
  Bytes body(1000);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 7 + 3);
  Put(folder_, "fw", File::None);
  folder_.Write("fw/maker.HAS", EncodeFirmware(body, "maker", 0x3B4A6000, 2, identity));

  Put(folder_, "fw", File::Good);
  ASSERT_EQ(Program(SchemeSearch{}), kStatusOk);
  EXPECT_TRUE(std::equal(body.begin(), body.end(), sim_->Memory().begin()));

  // Broken beside the firmware: refused before anything reaches the device, although the
  // program's folder holds a good file.
  Put(folder_, "fw", File::Short);
  Put(folder_, "program", File::Good);
  sim_->ClearReports();
  const std::string path = folder_.Path() + "/fw/" + kSchemeTablesFileName;
  EXPECT_EQ(Program(SchemeSearch{"", {folder_.Path() + "/program"}}), kStatusSchemesBroken);
  EXPECT_TRUE(sim_->Reports().empty());
  EXPECT_EQ(sim_->OpenHandles(), 0);
  EXPECT_EQ(host_.RedLines().back().text, Cp("***Файл таблиц кодирования неверен: ") + path);
  EXPECT_EQ(host_.panel[kPanelStatus], Cp("Файл таблиц кодирования неверен: ") + path);
  EXPECT_FALSE(context_.operation.DeviceBusy);
}

}  // namespace
}  // namespace velmora
