// velmora-cli firmware list|decode|encode and flash against the simulated boot loader.
#include <gtest/gtest.h>

#include <random>

#include "cli_run.h"

namespace {

using clitest::ReadFile;
using clitest::RunCli;

std::string RandomBody(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string body(size, '\0');
  for (char& c : body) c = static_cast<char>(random() & 0xFF);
  return body;
}

clitest::Result Encode(const std::string& body, const std::string& out, const std::string& title,
                       const std::string& date, const std::string& scheme = "") {
  std::vector<std::string> args = {"firmware", "encode", body, "-o", out, "--title", title, "--date", date};
  if (!scheme.empty()) {
    args.push_back("--scheme");
    args.push_back(scheme);
  }
  return RunCli(args);
}

TEST(CliFirmware, EncodeListDecodeRoundTrip) {
  clitest::TempDir dir;
  const std::string body = RandomBody(300, 1);
  clitest::WriteFile(dir / "body.bin", body);
  auto r = Encode(dir / "body.bin", dir / "a.HAS", "Прошивка 1", "2009-10-10 12:00:00");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string file = ReadFile(dir / "a.HAS");
  EXPECT_EQ(file.size(), 1024u);                 // the header block and one coded block
  EXPECT_NE(file.substr(512, 300), body);        // the body is coded, not copied

  r = RunCli({"firmware", "list", dir.Path()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"files\": [{\"number\": 1, \"date\": \"10.10.2009 12:00:00\", \"size\": 300, "
            "\"title\": \"Прошивка 1\", \"file\": \"a.HAS\"}], \"newest\": 1, "
            "\"schemes\": \"built-in\"}\n");

  r = RunCli({"firmware", "decode", dir / "a.HAS", "-o", dir / "decoded.bin"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string decoded = ReadFile(dir / "decoded.bin");
  ASSERT_EQ(decoded.size(), 384u);               // FirmwareSize rounded up to 128
  EXPECT_EQ(decoded.substr(0, 300), body);
}

TEST(CliFirmware, ListOrderNewestAndRejectedFiles) {
  clitest::TempDir dir;
  clitest::WriteFile(dir / "body.bin", RandomBody(1000, 2));
  ASSERT_EQ(Encode(dir / "body.bin", dir / "march.HAS", "March", "2009-03-01 00:00:00").code, 0);
  ASSERT_EQ(Encode(dir / "body.bin", dir / "october.has", "October", "2009-10-05 08:30:00").code, 0);
  ASSERT_EQ(Encode(dir / "body.bin", dir / "scheme3.HAS", "Three", "2010-01-01 00:00:00", "3").code, 0);
  clitest::WriteFile(dir / "short.HAS", "tiny");
  std::filesystem::create_directory(dir / "folder.HAS");

  const auto r = RunCli({"firmware", "list", dir.Path()});
  EXPECT_EQ(r.code, 0) << r.err;
  const auto march = r.out.find("\"file\": \"march.HAS\"");
  const auto october = r.out.find("\"file\": \"october.has\"");
  ASSERT_NE(march, std::string::npos) << r.out;
  ASSERT_NE(october, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"date\": \"01.03.2009\""), std::string::npos) << r.out;   // midnight: date only
  EXPECT_NE(r.out.find("\"date\": \"05.10.2009 8:30:00\""), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("scheme3"), std::string::npos);
  EXPECT_EQ(r.out.find("short"), std::string::npos);
  EXPECT_EQ(r.out.find("folder"), std::string::npos);
  // Whichever order the folder lists them in, the October file is the newest.
  const std::string newest = october < march ? "1" : "2";
  EXPECT_NE(r.out.find("\"newest\": " + newest + ","), std::string::npos) << r.out;

  // A scheme the program does not write fails the format check.
  const auto d = RunCli({"firmware", "decode", dir / "scheme3.HAS", "-o", dir / "x.bin"});
  EXPECT_EQ(d.code, 1);
  EXPECT_EQ(d.err, "***Формат файла программы неверен\n");
}

TEST(CliFirmware, EmptyFolderListsNothingAndUserFolderIsListed) {
  clitest::TempDir dir;
  auto r = RunCli({"firmware", "list", dir.Path()});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "{\"files\": [], \"newest\": 0, \"schemes\": \"built-in\"}\n");

#ifndef _WIN32   // the user's firmware folder is listed on Linux and macOS only
  std::filesystem::create_directories(dir / "data/velmora/firmware");
  clitest::WriteFile(dir / "body.bin", RandomBody(64, 3));
  ASSERT_EQ(Encode(dir / "body.bin", dir / "data/velmora/firmware/user.HAS", "U",
                   "2011-05-05 10:00:00")
                .code,
            0);
  r = RunCli({"firmware", "list"}, {"XDG_DATA_HOME=" + dir / "data"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("\"file\": \"user.HAS\""), std::string::npos) << r.out;
#endif
}

TEST(CliFirmware, OversizedAndBadInputsAreRefused) {
  clitest::TempDir dir;
  clitest::WriteFile(dir / "big.bin", std::string(65025, 'x'));
  auto r = Encode(dir / "big.bin", dir / "big.HAS", "Big", "2009-10-10 12:00:00");
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "big.HAS"));

  clitest::WriteFile(dir / "max.bin", std::string(65024, 'x'));
  EXPECT_EQ(Encode(dir / "max.bin", dir / "max.HAS", "Max", "2009-10-10 12:00:00").code, 0);
  EXPECT_EQ(ReadFile(dir / "max.HAS").size(), 65536u);
  EXPECT_EQ(RunCli({"firmware", "decode", dir / "max.HAS", "-o", dir / "max.out"}).code, 0);
  EXPECT_EQ(ReadFile(dir / "max.out"), std::string(65024, 'x'));

  // A body that the header promises but the file does not hold.
  std::string cut = ReadFile(dir / "max.HAS");
  cut.resize(4096);
  clitest::WriteFile(dir / "cut.HAS", cut);
  r = RunCli({"firmware", "decode", dir / "cut.HAS", "-o", dir / "cut.out"});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "cut.out"));
}

// Tables that map every bit to itself: a body coded with them stays as it is.
std::string IdentityTables() {
  std::string tables;
  for (int g : {256, 256, 64, 32})
    for (int i = 0; i < g; ++i) tables += static_cast<char>(i);
  return tables;
}

TEST(CliFirmware, CodingTablesFromTheOptionOrBesideTheFileAndBrokenOnesRefused) {
  clitest::TempDir dir;
  const std::string body = RandomBody(700, 8);
  clitest::WriteFile(dir / "body.bin", body);
  clitest::WriteFile(dir / "identity.bin", IdentityTables());
  auto r = RunCli({"firmware", "encode", dir / "body.bin", "-o", dir / "a.HAS", "--title", "A",
                   "--date", "2012-12-12 12:12:12", "--schemes", dir / "identity.bin"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "a.HAS").substr(512, 700), body);

  // Without the tables the file decodes into something else; beside it, it decodes right.
  ASSERT_EQ(RunCli({"firmware", "decode", dir / "a.HAS", "-o", dir / "builtin.bin"}).code, 0);
  EXPECT_NE(ReadFile(dir / "builtin.bin").substr(0, 700), body);
  clitest::WriteFile(dir / "kado-schemes.bin", IdentityTables());
  ASSERT_EQ(RunCli({"firmware", "decode", dir / "a.HAS", "-o", dir / "beside.bin"}).code, 0);
  EXPECT_EQ(ReadFile(dir / "beside.bin").substr(0, 700), body);
  r = RunCli({"firmware", "list", dir.Path()});
  std::string shown;   // the path as JSON writes it (Windows paths have backslashes)
  for (char c : dir / "kado-schemes.bin") shown += c == '\\' ? std::string("\\\\") : std::string(1, c);
  EXPECT_NE(r.out.find("\"schemes\": \"" + shown + "\"}"), std::string::npos) << r.out;

  // A broken file named by the option wins over the good one beside, and is refused.
  std::string broken = IdentityTables();
  broken[600] = broken[601];
  clitest::WriteFile(dir / "broken.bin", broken);
  const std::string refusal = "***Файл таблиц кодирования неверен: " + dir / "broken.bin" + "\n";
  r = RunCli({"firmware", "decode", dir / "a.HAS", "-o", dir / "out.bin", "--schemes",
              dir / "broken.bin"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, refusal);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.bin"));
  r = RunCli({"flash", dir / "a.HAS", "--schemes", dir / "broken.bin", "--simulate=boot",
              "--report-log", dir / "log.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, refusal);   // before the device is even looked for
  EXPECT_FALSE(std::filesystem::exists(dir / "log.txt"));
}

TEST(CliFlash, SimulatedBootLoaderReceivesTheDecodedBody) {
  clitest::TempDir dir;
  clitest::WriteFile(dir / "body.bin", RandomBody(5000, 4));
  ASSERT_EQ(Encode(dir / "body.bin", dir / "fw.HAS", "FW", "2012-12-12 12:12:12").code, 0);
  ASSERT_EQ(RunCli({"firmware", "decode", dir / "fw.HAS", "-o", dir / "fw.bin"}).code, 0);

  const auto r = RunCli({"flash", dir / "fw.HAS", "--simulate=boot", "--device-memory", dir / "mem.bin"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("Программа записана\n"), std::string::npos) << r.err;
  const std::string decoded = ReadFile(dir / "fw.bin");
  const std::string memory = ReadFile(dir / "mem.bin");
  ASSERT_EQ(decoded.size(), 5120u);
  ASSERT_EQ(memory.size(), 65536u);
  EXPECT_EQ(memory.substr(0, decoded.size()), decoded);
  EXPECT_EQ(memory.substr(decoded.size()), std::string(65536 - decoded.size(), '\xFF'));
}

TEST(CliFlash, OlderFileWarnsAndTheNewestIsWritten) {
  clitest::TempDir dir;
  clitest::WriteFile(dir / "old.bin", RandomBody(200, 5));
  clitest::WriteFile(dir / "new.bin", RandomBody(200, 6));
  ASSERT_EQ(Encode(dir / "old.bin", dir / "old.HAS", "Old", "2009-03-01 00:00:00").code, 0);
  ASSERT_EQ(Encode(dir / "new.bin", dir / "new.HAS", "New", "2009-10-05 00:00:00").code, 0);

  const auto r = RunCli({"flash", dir / "old.HAS", "--simulate=boot", "--device-memory", dir / "mem.bin"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("Не последняя версия программы\n***Не последняя версия программы\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(dir / "mem.bin").substr(0, 200), ReadFile(dir / "new.bin"));
}

TEST(CliFlash, NeedsTheBootLoaderAndAWorkingWrite) {
  clitest::TempDir dir;
  clitest::WriteFile(dir / "body.bin", RandomBody(1000, 7));
  ASSERT_EQ(Encode(dir / "body.bin", dir / "fw.HAS", "FW", "2012-12-12 12:12:12").code, 0);

  auto r = RunCli({"flash", dir / "fw.HAS", "--simulate", "--report-log", dir / "log.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(ReadFile(dir / "log.txt").find("set 02"), std::string::npos);   // nothing written

  r = RunCli({"flash", dir / "fw.HAS", "--simulate=boot,fail-block=3"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Ошибка записи программы\n***Ошибка записи программы\n"), std::string::npos)
      << r.err;

  r = RunCli({"flash", dir / "fw.HAS", "--simulate=boot,detached"});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(r.err.empty());

  clitest::WriteFile(dir / "notfw.HAS", std::string(600, 'z'));
  r = RunCli({"flash", dir / "notfw.HAS", "--simulate=boot"});
  EXPECT_EQ(r.code, 1);
}

}  // namespace
