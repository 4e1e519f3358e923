// Files that change under the program, odd names and sizes at the limits, through the open
// and save commands and the group import.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/cp1251.h"
#include "base/fileio.h"
#include "import_writer.h"
#include "routes/filecommands.h"
#include "routes/routeimport.h"
#include "routes/routelistfile.h"
#include "tests/base/testutil.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::FakeClock;
using test::FakeDialogs;
using test::FakeHost;
using test::GroupFile;
using test::LineFile;
using test::TempDir;

// A file of `size` bytes without writing them: the file system keeps it sparse.
void Sized(const std::string& path, std::uintmax_t size) {
  std::ofstream(fs::u8path(path), std::ios::binary | std::ios::trunc);
  fs::resize_file(fs::u8path(path), size);
}

struct RobustFiles : ::testing::Test {
  RouteTable table;
  FakeHost host;
  FakeDialogs dialogs;
  FakeClock clock;
  FixedDateTimeFormat format;
  RouteFileCommands files{table, host, dialogs, clock, format, nullptr};
  TempDir dir;

  void Open(const std::string& path) {
    dialogs.opens.push_back(path);
    files.Open(true);
  }
  void Type(const std::string& designation, const std::string& start) {
    table.SetCursor(table.RouteCount(), 1);
    table.Add();
    table.SetCell(table.CursorRow(), 1, designation);
    table.SetCell(table.CursorRow(), 2, start);
  }
};

TEST_F(RobustFiles, ARouteListGoneBetweenTheDialogAndTheReadGivesAnEmptyList) {
  dir.Write("old.mrp", WriteRouteList(StoredRouteList{}, format, clock.Now()) + "1;A;B;\r\n");
  Open(dir / "old.mrp");
  ASSERT_EQ(table.RouteCount(), 1);

  dir.Write("gone.mrp", "7;X;Y;\r\n");
  dialogs.afterListing = [&] { fs::remove(dir / "gone.mrp"); };
  host.refreshes = 0;
  Open(dir / "gone.mrp");
  EXPECT_EQ(files.CurrentFile(), dir / "gone.mrp");
  EXPECT_EQ(host.title, "Velmora v1.05 gone.mrp");
  EXPECT_EQ(table.Stored().count, 0);
  EXPECT_EQ(table.RouteCount(), 0);
  EXPECT_EQ(table.Cell(1, 1), "");
  EXPECT_FALSE(table.Modified());
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(host.refreshes, 1);
}

TEST_F(RobustFiles, ARouteGroupGoneBetweenTheDialogAndTheReadImportsNothing) {
  dir.Write("a.mrl", LineFile("0201", "1", {{"A"}, {"B"}}));
  const std::string group = dir.Write("g.mrg", GroupFile({"a.mrl"}));
  dialogs.afterListing = [&] { fs::remove(group); };
  Open(group);
  EXPECT_EQ(files.CurrentFile(), group);
  EXPECT_EQ(table.Stored().count, 0);
  EXPECT_EQ(table.RouteCount(), 0);
  EXPECT_TRUE(table.Modified()) << "a failed import still leaves the list unsaved";
}

TEST_F(RobustFiles, CyrillicNamesWithBlanksSaveAndOpen) {
  const std::string folder = dir / "Мои маршруты";
  fs::create_directories(fs::u8path(folder));
  const std::string path = folder + "/Линия 5 А.mrp";
  Type("5", Cp("Вокзал"));
  dialogs.saves.push_back(path);
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(files.DisplayName(), "Линия 5 А.mrp");
  EXPECT_EQ(host.title, "Velmora v1.05 " + Cp("Линия 5 А.mrp"));   // titles are CP1251
  // Only the file itself is left behind: no temporary file of the save.
  EXPECT_EQ(test::FilesIn(folder), std::vector<std::string>{"Линия 5 А.mrp"});
  EXPECT_NE(test::ReadBytes(path).find("5;" + Cp("Вокзал") + ";;\r\n"), std::string::npos);

  files.Close();
  Open(path);
  EXPECT_EQ(files.CurrentFile(), path);
  ASSERT_EQ(table.RouteCount(), 1);
  EXPECT_EQ(table.Cell(1, 2), Cp("Вокзал"));

  // Saved as .mrp beside a .txt of that name.
  const std::string txt = folder + "/Старый список.txt";
  test::WriteBytes(txt, "1;2;3;\r\n");
  Open(txt);
  Type("9", "");
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(files.CurrentFile(), folder + "/Старый список.mrp");
  EXPECT_TRUE(FileExists(folder + "/Старый список.mrp"));
}

TEST(RobustImport, CyrillicNamesWithBlanksAreFoundInAnyLetterCase) {
#ifdef _WIN32
  GTEST_SKIP() << "on Windows the file system itself ignores letter case";
#endif
  TempDir dir;
  dir.Write("Группы Дорлан/линии/маршрут 7.mrl", LineFile("0201", "7", {{"A"}, {"B"}}));
  dir.Write("Группы Дорлан/Ночной 1.MRL", LineFile("0201", "1", {{"C"}, {"D"}}));
  // Dorlan lists its paths in CP1251 and in the letter case it likes.
  const std::string group = dir.Write(
      "Группы Дорлан/Группа 1.mrg",
      GroupFile({Cp("..\\Группы Дорлан\\ЛИНИИ\\Маршрут 7.MRL"), Cp("ночной 1.mrl")}));
  StoredRouteList stored;
  FakeHost sink;
  EXPECT_EQ(ImportRouteGroup(group, stored, sink), 2);
  EXPECT_EQ(stored.records[0].Texts(), (RouteTexts{"7   ", "A", "B", ""}));
  EXPECT_EQ(stored.records[1].Texts(), (RouteTexts{"1   ", "C", "D", ""}));
  EXPECT_TRUE(sink.log.empty());
}

TEST_F(RobustFiles, EmptyFilesGiveEmptyLists) {
  dir.Write("empty.mrp", "");
  Open(dir / "empty.mrp");
  EXPECT_EQ(files.CurrentFile(), dir / "empty.mrp");
  EXPECT_EQ(table.RouteCount(), 0);
  EXPECT_EQ(table.RowCount(), 2);   // the header and the placeholder row
  EXPECT_FALSE(table.Modified());
  EXPECT_TRUE(host.log.empty());

  dir.Write("empty.mrg", "");
  Open(dir / "empty.mrg");
  EXPECT_EQ(table.Stored().count, 0);
  EXPECT_TRUE(table.Modified());
}

TEST(RobustImport, EmptyAndOversizedLineFilesAreSkippedWithARedLine) {
  TempDir dir;
  dir.Write("empty.mrl", "");
  Sized(dir.Path() + "/big.mrl", kMaxRouteListFileSize + 1);
  dir.Write("ok.mrl", LineFile("0201", "3", {{"S"}, {"T"}}));
  const std::string group = dir.Write("g.mrg", GroupFile({"empty.mrl", "big.mrl", "ok.mrl"}));
  StoredRouteList stored;
  FakeHost sink;
  EXPECT_EQ(ImportRouteGroup(group, stored, sink), 1);
  EXPECT_EQ(stored.records[0].Texts(), (RouteTexts{"3   ", "S", "T", ""}));
  ASSERT_EQ(sink.log.size(), 2u);
  // Windows writes the resolved path with "\" throughout.
  auto slashes = [](std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
  };
  EXPECT_EQ(slashes(sink.log[0].text),
            slashes(Cp("***Файл маршрута не прочитан: ") + dir.Path() + "/empty.mrl"));
  EXPECT_EQ(slashes(sink.log[1].text),
            slashes(Cp("***Файл маршрута не прочитан: ") + dir.Path() + "/big.mrl"));
  EXPECT_EQ(sink.log[1].colour, kRed);
}

TEST(RobustImport, AGroupFileOf16MiBAndOneByteImportsNothing) {
  TempDir dir;
  dir.Write("ok.mrl", LineFile("0201", "3", {{"S"}, {"T"}}));
  std::string bytes = GroupFile({"ok.mrl"}).Bytes();
  bytes.resize(kMaxRouteListFileSize + 1, '\0');
  const std::string group = dir.Write("g.mrg", bytes);
  StoredRouteList stored;
  FakeHost sink;
  EXPECT_EQ(ImportRouteGroup(group, stored, sink), 0);
  EXPECT_EQ(stored.count, 0);

  // One byte less and the same group is read.
  bytes.resize(kMaxRouteListFileSize);
  dir.Write("g.mrg", bytes);
  EXPECT_EQ(ImportRouteGroup(group, stored, sink), 1);
}

#ifndef _WIN32
// Linux does not lock a file that another process holds open: the save goes through and
// the other reader keeps reading what it opened.
TEST_F(RobustFiles, SavingOverAFileThatAnotherProcessHoldsOpen) {
  const std::string path = dir / "shared.mrp";
  const std::string before = WriteRouteList(StoredRouteList{}, format, clock.Now()) + "1;old;;\r\n";
  test::WriteBytes(path, before);
  Open(path);
  ASSERT_EQ(table.RouteCount(), 1);

  int ready[2], go[2], back[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(back), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open(path.c_str(), O_RDONLY);
    char c = fd >= 0 ? 'r' : 'x';
    if (write(ready[1], &c, 1) != 1 || read(go[0], &c, 1) != 1) _exit(2);
    std::string seen;
    char buffer[4096];
    ssize_t got;
    while (fd >= 0 && (got = read(fd, buffer, sizeof buffer)) > 0) seen.append(buffer, got);
    if (write(back[1], seen.data(), seen.size()) != static_cast<ssize_t>(seen.size())) _exit(3);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'r') << "the other process could not open the file";

  table.SetCell(1, 2, "new");
  EXPECT_TRUE(files.Save());
  EXPECT_FALSE(table.Modified());
  EXPECT_NE(test::ReadBytes(path).find("1;new;;\r\n"), std::string::npos);

  ASSERT_EQ(write(go[1], &c, 1), 1);
  close(back[1]);
  std::string seen;
  char buffer[4096];
  ssize_t got;
  while ((got = read(back[0], buffer, sizeof buffer)) > 0) seen.append(buffer, got);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(seen, before);
  for (int fd : {ready[0], ready[1], go[0], go[1], back[0]}) close(fd);
}
#endif

}  // namespace
}  // namespace velmora
