// velmora-cli devices and transfer against the simulated КАДО.
#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "base/clock.h"
#include "base/cp1251.h"
#include "cli_run.h"
#include "routes/routelistfile.h"

namespace {

using clitest::ReadFile;
using clitest::RunCli;
using velmora::Cp;

std::string WriteRoutes(const clitest::TempDir& dir, int count) {
  auto stored = std::make_unique<velmora::StoredRouteList>();
  for (int i = 0; i < count; ++i) {
    stored->records[static_cast<std::size_t>(i)].SetTexts(
        {std::to_string(i + 1), Cp("Вокзал ") + std::to_string(i), Cp("Парк"), i % 2 ? Cp("Через центр") : ""});
  }
  stored->count = count;
  const velmora::FixedDateTimeFormat format;
  const std::string path = dir / "routes.mrp";
  clitest::WriteFile(path, velmora::WriteRouteList(*stored, format, {2009, 10, 10, 12, 0, 0, 0}));
  return path;
}

std::string Hex(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += ' ';
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

TEST(CliTransfer, SimulatedMemoryHoldsTheImageAndFFBeyond) {
  clitest::TempDir dir;
  const std::string routes = WriteRoutes(dir, 40);
  ASSERT_EQ(RunCli({"image", routes, "-o", dir / "image.bin"}).code, 0);
  const auto r = RunCli({"transfer", routes, "--simulate", "--device-memory", dir / "memory.bin"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("Загружаем\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Загрузка окончена\n"), std::string::npos) << r.err;

  const std::string image = ReadFile(dir / "image.bin");
  const std::string memory = ReadFile(dir / "memory.bin");
  ASSERT_EQ(memory.size(), 8192u);
  ASSERT_GT(image.size(), 32u);
  EXPECT_EQ(memory.substr(0, image.size()), image);
  EXPECT_EQ(memory.substr(image.size()), std::string(8192 - image.size(), '\xFF'));
}

TEST(CliTransfer, ReportLogListsEveryReportInHex) {
  clitest::TempDir dir;
  // One short route: a 32-byte image, one data block of 128 bytes and the closing report.
  auto stored = std::make_unique<velmora::StoredRouteList>();
  stored->records[0].SetTexts({"12", "A", "B", ""});
  stored->count = 1;
  const velmora::FixedDateTimeFormat format;
  clitest::WriteFile(dir / "one.mrp", velmora::WriteRouteList(*stored, format, {2009, 1, 1, 0, 0, 0, 0}));
  ASSERT_EQ(RunCli({"image", dir / "one.mrp", "-o", dir / "one.img"}).code, 0);
  const auto r = RunCli({"transfer", dir / "one.mrp", "--simulate", "--report-log", dir / "log.txt"});
  ASSERT_EQ(r.code, 0) << r.err;

  const std::string log = ReadFile(dir / "log.txt");
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(log.substr(at, end - at));
  }
  ASSERT_GE(lines.size(), 3u) << log;
  const std::regex shape("(get|set)( [0-9a-f]{2})+");
  for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, shape)) << line;

  const std::string block = ReadFile(dir / "one.img") + std::string(96, '\xFF');
  EXPECT_EQ(lines[lines.size() - 3].substr(0, 6), "get 01");   // the write's parameter read
  EXPECT_EQ(lines[lines.size() - 2], "set 02 00 00 00" + Hex(block));
  EXPECT_EQ(lines[lines.size() - 1], "set 01 01 00 00" + Hex(block));
}

TEST(CliTransfer, FailedBlockAndMissingDeviceExitWithOne) {
  clitest::TempDir dir;
  const std::string routes = WriteRoutes(dir, 40);
  auto r = RunCli({"transfer", routes, "--simulate=fail-block=2"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("***Ошибка записи блока данных: Communication error with device\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Ошибка записи данных\n***Ошибка записи данных\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Загрузка окончена"), std::string::npos);

  r = RunCli({"transfer", routes, "--simulate=detached"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("КАДО не подключен\n"), std::string::npos) << r.err;

  // A device smaller than the image is refused instead of being reported as written. The
  // version bytes are the upper half of MemorySize: 0.0 lets the device report 256.
  r = RunCli({"transfer", routes, "--simulate=memory=256,version=0.0"});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("Device memory too small"), std::string::npos) << r.err;
}

TEST(CliTransfer, EmptyListAndBootLoaderAreNotWritten) {
  clitest::TempDir dir;
  auto r = RunCli({"transfer", WriteRoutes(dir, 0), "--simulate"});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(r.err.empty());

  r = RunCli({"transfer", WriteRoutes(dir, 3), "--simulate=boot", "--report-log", dir / "log.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(ReadFile(dir / "log.txt").find("set"), std::string::npos);
}

TEST(CliTransfer, AKadoArrivingDuringTheWaitIsWrittenOnlyInItsNormalIdentity) {
  clitest::TempDir dir;
  const std::string routes = WriteRoutes(dir, 3);
  auto r = RunCli({"transfer", routes, "--simulate=boot,detached,attach-after=100", "--report-log",
                   dir / "log.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("T=5 add++"), std::string::npos) << r.err;   // it did arrive
  EXPECT_NE(r.err.find("КАДО не подключен\n***КАДО в режиме загрузчика: маршруты не записаны\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(dir / "log.txt").find("set"), std::string::npos);

  r = RunCli({"transfer", routes, "--simulate=detached,attach-after=100"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("Загрузка окончена\n"), std::string::npos) << r.err;

  r = RunCli({"transfer", routes, "--simulate=attach-after=100"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("attach-after needs detached"), std::string::npos) << r.err;
}

TEST(CliDevices, ListsTheSimulatedKadoInBothIdentities) {
  auto r = RunCli({"devices", "--simulate"});
  EXPECT_EQ(r.code, 0) << r.err;
  const std::regex normal(
      "\\{\"devices\": \\[\\{\"path\": \"[^\"]+\", \"mode\": \"normal\", \"manufacturer\": "
      "\"Morvan\", \"product\": \"КАДО-08\", \"version\": \" \\(v1\\.05\\)\"\\}\\]\\}\n");
  EXPECT_TRUE(std::regex_match(r.out, normal)) << r.out;

  r = RunCli({"devices", "--simulate=boot,version=12.34"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("\"mode\": \"boot\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"version\": \" (v12.34)\""), std::string::npos) << r.out;

  // A short parameter reply still lists the device, without a version.
  r = RunCli({"devices", "--simulate=short-reply"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("\"mode\": \"normal\""), std::string::npos) << r.out;

  r = RunCli({"devices", "--simulate=detached"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "{\"devices\": []}\n");
}

TEST(CliDevices, SystemBackendWithoutDevicesPrintsAnEmptyList) {
  const auto r = RunCli({"devices"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"devices\": [", 0), 0u) << r.out;
}

}  // namespace
