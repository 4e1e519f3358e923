// velmora-cli routes, convert and image, and the usage rules every command shares.
#include <gtest/gtest.h>

#include <memory>

#include "base/clock.h"
#include "base/cp1251.h"
#include "cli_run.h"
#include "routes/routelistfile.h"
#include "tests/base/unreadable_files.h"
#include "tests/routes/import_writer.h"

namespace {

using clitest::ReadFile;
using clitest::RunCli;
using velmora::Cp;

std::unique_ptr<velmora::StoredRouteList> List(const std::vector<velmora::RouteTexts>& routes) {
  auto stored = std::make_unique<velmora::StoredRouteList>();
  for (const velmora::RouteTexts& texts : routes) {
    stored->records[static_cast<std::size_t>(stored->count++)].SetTexts(texts);
  }
  return stored;
}

std::string WriteList(const clitest::TempDir& dir, const std::string& name,
                      const velmora::StoredRouteList& stored) {
  const velmora::FixedDateTimeFormat format;
  const std::string path = dir / name;
  clitest::WriteFile(path, velmora::WriteRouteList(stored, format, {2009, 10, 10, 12, 0, 0, 0}));
  return path;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return lines;
}

TEST(CliRoutes, PrintsCyrillicQuotesAndControlsAsEscapedUtf8Json) {
  clitest::TempDir dir;
  const auto stored = List({{"12", Cp("Вокзал"), Cp("Парк"), ""},
                            {"7\"a", Cp("Ул. \"Мира\""), "C:\\dir", std::string("tab\there")}});
  const auto r = RunCli({"routes", WriteList(dir, "a.mrp", *stored)});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"routes\": [{\"designation\": \"12\", \"start\": \"Вокзал\", \"final\": \"Парк\", "
            "\"message\": \"\"}, {\"designation\": \"7\\\"a\", \"start\": \"Ул. \\\"Мира\\\"\", "
            "\"final\": \"C:\\\\dir\", \"message\": \"tab\\u0009here\"}]}\n");
}

TEST(CliRoutes, EmptyListAndTooManyRoutes) {
  clitest::TempDir dir;
  const auto empty = List({});
  auto r = RunCli({"routes", WriteList(dir, "empty.mrp", *empty)});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "{\"routes\": []}\n");

  // 300 route lines: the first 256 are kept and the red warning goes to standard error.
  std::string file = ReadFile(WriteList(dir, "one.mrp", *List({{"1", "A", "B", ""}})));
  const std::string line = velmora::RouteLine({"9", "X", "Y", ""});
  for (int i = 0; i < 299; ++i) file += line;
  clitest::WriteFile(dir / "many.mrp", file);
  r = RunCli({"routes", dir / "many.mrp"});
  EXPECT_EQ(r.code, 0);
  std::size_t routes = 0;
  for (std::size_t at = r.out.find("\"designation\""); at != std::string::npos;
       at = r.out.find("\"designation\"", at + 1)) {
    ++routes;
  }
  EXPECT_EQ(routes, 256u);
  EXPECT_NE(r.err.find("256"), std::string::npos) << r.err;
}

TEST(CliConvert, RoundTripKeepsEveryLineButTheDate) {
  clitest::TempDir dir;
  const auto stored = List({{"12", Cp("Вокзал"), Cp("Парк"), Cp("Через // центр; \\ конец")},
                            {"A", "", "", ""},
                            {"1234", Cp("Длинная остановка"), "x/y", std::string("a\tb")}});
  const std::string in = WriteList(dir, "in.mrp", *stored);
  const auto r = RunCli({"convert", in, dir / "out.mrp"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto before = Lines(ReadFile(in));
  const auto after = Lines(ReadFile(dir / "out.mrp"));
  ASSERT_EQ(before.size(), after.size());
  int differing = 0;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] != after[i]) {
      ++differing;
      EXPECT_LT(i, 3u) << "only a comment line carries the date";
    }
  }
  EXPECT_LE(differing, 1);
  EXPECT_EQ(RunCli({"routes", in}).out, RunCli({"routes", dir / "out.mrp"}).out);
}

TEST(CliConvert, FailureLeavesTheTargetAlone) {
  clitest::TempDir dir;
  const std::string in = WriteList(dir, "in.mrp", *List({{"1", "A", "B", ""}}));
  auto r = RunCli({"convert", in, dir / "no-such-folder/out.mrp"});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(r.err.empty());

  clitest::WriteFile(dir / "keep.mrp", "earlier");
  r = RunCli({"convert", dir / "missing.mrp", dir / "keep.mrp"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(ReadFile(dir / "keep.mrp"), "earlier");
}

TEST(CliImage, HexDumpOfOneRouteIsTheDocumentedImage) {
  clitest::TempDir dir;
  const auto r = RunCli({"image", WriteList(dir, "a.mrp", *List({{"12", "A", "B", ""}}))});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "0000: 73 c5 20 00 01 00 ff ff 10 00 0d 00 ff ff ff ff\n"
            "0010: 01 31 32 20 20 00 0b 41 00 0c 42 00 00 ff ff ff\n");
  EXPECT_EQ(r.err, "");
}

TEST(CliImage, OversizedListIsCutWithTheCapacityWarning) {
  clitest::TempDir dir;
  std::vector<velmora::RouteTexts> routes(
      256, {"1234", std::string(15, 's'), std::string(15, 'f'), std::string(127, 'm')});
  const std::string in = WriteList(dir, "big.mrp", *List(routes));
  const auto r = RunCli({"image", in, "-o", dir / "big.img"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Поместилось только 47 маршрутов\n");
  const std::string image = ReadFile(dir / "big.img");
  ASSERT_EQ(image.size(), 8192u);
  EXPECT_EQ(static_cast<unsigned char>(image[4]), 47);
}

TEST(CliUsage, WrongWordsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"bogus"},
      {"routes"},
      {"routes", "a.mrp", "b.mrp"},
      {"routes", "--bogus", "a.mrp"},
      {"convert", "a.mrp"},
      {"convert", "a.mrp", "b.TSV"},
      {"image", "a.mrp", "-o"},
      {"devices", "extra"},
      {"transfer", "a.mrp", "--device-memory", "m.bin"},
      {"transfer", "a.mrp", "--simulate=bogus"},
      {"transfer", "a.mrp", "--simulate=block=x"},
      {"firmware"},
      {"firmware", "bogus"},
      {"firmware", "decode", "a.HAS"},
      {"firmware", "encode", "body", "-o", "a.HAS", "--date", "2009-10-10 12:00:00"},
      {"firmware", "encode", "body", "-o", "a.HAS", "--title", "T", "--date", "2009-02-29 12:00:00"},
      {"firmware", "encode", "body", "-o", "a.HAS", "--title", "T", "--date", "10.10.2009"},
      {"firmware", "encode", "body", "-o", "a.HAS", "--title", "T", "--date", "1979-12-31 00:00:00"},
      {"firmware", "encode", "body", "-o", "a.HAS", "--title", "T", "--date", "2009-10-10 12:00:00",
       "--scheme", "5"},
      {"firmware", "encode", "body", "-o", "a.HAS", "--title", "Семнадцать знаков",
       "--date", "2009-10-10 12:00:00"},
      {"flash", "a.HAS", "b.HAS"},
      {"flash", "--report-log", "r.txt"},
  };
  for (const auto& args : cases) {
    const auto r = RunCli(args);
    std::string shown;
    for (const auto& a : args) shown += a + " ";
    EXPECT_EQ(r.code, 2) << shown << "\n" << r.err;
    EXPECT_FALSE(r.err.empty()) << shown;
    EXPECT_EQ(r.out, "") << shown;
  }
}

TEST(CliUsage, EveryCommandHasHelp) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--help"}, {"routes", "--help"}, {"convert", "--help"},
                                             {"image", "--help"}, {"devices", "--help"},
                                             {"transfer", "--help"}, {"firmware", "--help"},
                                             {"firmware", "list", "--help"},
                                             {"firmware", "encode", "--help"}, {"flash", "--help"}}) {
    const auto r = RunCli(args);
    EXPECT_EQ(r.code, 0) << args[0];
    EXPECT_EQ(r.out.rfind("Usage: velmora-cli", 0), 0u) << r.out;
  }
}

TEST(CliUsage, MissingFilesExitWithOne) {
  clitest::TempDir dir;
  const std::string missing = dir / "missing.mrp";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"routes", missing},
           {"routes", dir / "missing.MRG"},
           {"convert", missing, dir / "out.mrp"},
           {"convert", dir / "missing.json", dir / "out.mrp"},
           {"image", missing},
           {"transfer", missing, "--simulate"},
           {"firmware", "decode", dir / "missing.HAS", "-o", dir / "out.bin"},
           {"firmware", "encode", dir / "missing.bin", "-o", dir / "a.HAS", "--title", "T",
            "--date", "2009-10-10 12:00:00"},
           {"flash", dir / "missing.HAS", "--simulate=boot"}}) {
    const auto r = RunCli(args);
    EXPECT_EQ(r.code, 1) << args[0] << " " << args[1] << "\n" << r.err;
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out.mrp"));
  EXPECT_FALSE(std::filesystem::exists(dir / "out.bin"));
}

TEST(CliUsage, InputsThatCannotBeReadExitWithOneNamingTheFile) {
  clitest::TempDir dir;
  const std::string out = dir / "out.mrp", date = "2009-10-10 12:00:00";
  clitest::WriteFile(out, "old\r\n");
  for (velmora::test::Unreadable kind : velmora::test::kUnreadableKinds) {
    for (const std::string& in : {dir / "in.mrp", dir / "in.mrg", dir / "in.HAS"}) {
      if (!velmora::test::MakeUnreadable(kind, in, "1;a\r\n")) continue;
      for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
               {"routes", in},
               {"convert", in, out},
               {"image", in},
               {"transfer", in, "--simulate"},
               {"firmware", "decode", in, "-o", out},
               {"flash", in, "--simulate=boot"},
               {"firmware", "encode", in, "-o", out, "--title", "T", "--date", date}}) {
        const auto r = RunCli(args, {}, true);
        EXPECT_EQ(r.code, 1) << args[0] << " " << in << "\n" << r.err;
        EXPECT_NE(r.err.find(in + ": "), std::string::npos) << args[0] << " " << in << "\n"
                                                            << r.err;
      }
    }
  }
  EXPECT_EQ(ReadFile(out), "old\r\n") << "OUT is left untouched";
}

TEST(CliRoutes, AGroupWhoseLineFilesCannotBeReadIsAnEmptyImport) {
  clitest::TempDir dir;
  std::vector<std::string> listed;
  for (velmora::test::Unreadable kind : velmora::test::kUnreadableKinds) {
    const std::string name = std::to_string(listed.size()) + ".mrl";
    if (velmora::test::MakeUnreadable(kind, dir / name, "x")) listed.push_back(name);
  }
  clitest::WriteFile(dir / "g.mrg", velmora::test::GroupFile(listed).Bytes());
  const auto r = RunCli({"routes", dir / "g.mrg"}, {}, true);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "{\"routes\": []}\n");
  for (const std::string& name : listed) {
    EXPECT_NE(r.err.find("***Файл маршрута не прочитан: " + dir.Path() + velmora::test::kSep +
                         name + " "),
              std::string::npos);
  }
}

}  // namespace
