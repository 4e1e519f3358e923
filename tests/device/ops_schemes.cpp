// The coding tables file: where it is found, what is refused, and that the update decodes
// with the tables found.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "device/Formatm.h"
#include "device/firmwareupdate.h"
#include "device/schemefile.h"
#include "device/simkado.h"
#include "device/transport.h"
#include "ops_fakes.h"

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
  if (kind == File::Directory) std::filesystem::create_directories(root.Fs() / name);
  if (kind == File::None || kind == File::Directory) return;
  if (kind == File::Short) bytes.pop_back();
  if (kind == File::Long) bytes.push_back(0);
  if (kind == File::Repeated) bytes[512 + 7] = 6;      // scheme 3 holds 6 twice
  if (kind == File::OutOfRange) bytes[576 + 31] = 32;  // scheme 4 has no bit 32
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

TEST(SchemeTablesFile, TheUpdateDecodesWithTheTablesFoundAndRefusesABrokenFileUnsent) {
  const opstest::TempFolder root;
  SchemeTables identity;
  const Bytes tables = IdentityTables();
  ASSERT_TRUE(ParseSchemeTables(std::string(tables.begin(), tables.end()), identity));
  Bytes body(1000);
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 7 + 3);
  Put(root, "fw", File::Good);
  root.Write("fw/maker.HAS", EncodeFirmware(body, "maker", 0x3B4A6000, 2, identity));
  SimKadoOptions options;
  options.boot = true;
  SimKado sim(options);
  DeviceContext context;
  context.device.DevicePath = sim.Path();
  opstest::OpsHost host;
  opstest::OpsClock clock;
  FixedDateTimeFormat format;
  DeviceEnv env{sim, context, host, clock, format};
  const FirmwareListing listing = ListFirmwareFiles({root.Path() + "/fw"}, format, 1);
  ASSERT_EQ(ProgramFirmware(env, listing, 1), kStatusOk);
  EXPECT_TRUE(std::equal(body.begin(), body.end(), sim.Memory().begin()));

  // Broken beside the firmware, good in the program's folder: refused, nothing sent.
  Put(root, "fw", File::Short);
  Put(root, "program", File::Good);
  sim.ClearReports();
  EXPECT_EQ(ProgramFirmware(env, listing, 1, SchemeSearch{"", {root.Path() + "/program"}}),
            kStatusSchemesBroken);
  EXPECT_TRUE(sim.Reports().empty());
  const std::string refusal =
      Cp("Файл таблиц кодирования неверен: ") + root.Path() + "/fw/" + kSchemeTablesFileName;
  EXPECT_EQ(host.RedLines().back().text, "***" + refusal);
  EXPECT_EQ(host.status[kPanelStatus], refusal);
}

}  // namespace
}  // namespace velmora
