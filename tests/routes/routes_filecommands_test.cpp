#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "base/cp1251.h"
#include "base/fileio.h"
#include "fakes.h"
#include "routes/filecommands.h"
#include "routes/routelistfile.h"
#include "tests/base/testutil.h"
#include "tests/base/unreadable_files.h"

using namespace velmora;
using velmora::test::FakeClock;
using velmora::test::FakeDialogs;
using velmora::test::FakeHost;
using velmora::test::Logged;
using velmora::test::TempDir;

namespace {

const std::string kVersionLine =
    Cp("// Версия 01.00 ") + kMakersNotice + "07.12.2026 14:05:09\r\n";

std::string FileOf(const std::vector<std::string>& routeLines) {
  std::string f = "//\r\n" + kVersionLine + RouteCountLine(static_cast<int>(routeLines.size()));
  for (const auto& l : routeLines) f += l + "\r\n";
  return f;
}

struct Fixture : ::testing::Test {
  RouteTable table;
  FakeHost host;
  FakeDialogs dialogs;
  FakeClock clock;
  FixedDateTimeFormat format;
  RouteFileCommands files{table, host, dialogs, clock, format, nullptr};
  TempDir dir;

  void OpenByDialog(const std::string& path) {
    dialogs.opens.push_back(path);
    files.Open(true);
  }
  void AddRoute(const std::string& designation, const std::string& start = "") {
    table.SetCursor(table.RouteCount(), 1);
    table.Add();
    table.SetCell(table.CursorRow(), 1, designation);
    table.SetCell(table.CursorRow(), 2, start);
  }
};

}  // namespace

using RouteFileCommandsTest = Fixture;

TEST_F(RouteFileCommandsTest, OpenReadsTheListAndNamesTheFile) {
  const std::string path = dir / "Маршруты.mrp";
  test::WriteBytes(path, FileOf({"12;" + Cp("Вокзал;Парк;"), Cp("5А;Рынок\\;ТЦ;Аэропорт;Через")}));
  table.SetModified(true);
  OpenByDialog(path);
  EXPECT_EQ(table.RouteCount(), 2);
  EXPECT_EQ(table.Stored().count, 2);
  EXPECT_EQ(table.Cell(2, 2), Cp("Рынок;ТЦ"));
  EXPECT_FALSE(table.Modified());
  EXPECT_EQ(host.title, "Velmora v1.05 " + Cp("Маршруты.mrp"));
  EXPECT_EQ(files.CurrentFile(), path);
  EXPECT_EQ(files.DisplayName(), "Маршруты.mrp");
  EXPECT_EQ(files.OpenedExtension(), ".mrp");
  EXPECT_EQ(host.refreshes, 1);
  EXPECT_TRUE(host.log.empty());
}

TEST_F(RouteFileCommandsTest, CancelledOpenChangesNothing) {
  files.SetCurrentFile(dir / "a.mrp");
  AddRoute("1");
  dialogs.opens = {std::nullopt, std::string()};
  files.Open(true);
  files.Open(true);
  EXPECT_EQ(dialogs.openCalls, 2);
  EXPECT_EQ(dialogs.openFolder, dir.Path()) << "the dialog starts in the current file's folder";
  EXPECT_EQ(host.titles, 0);
  EXPECT_EQ(host.refreshes, 0);
  EXPECT_EQ(table.RouteCount(), 1);
  EXPECT_EQ(files.CurrentFile(), dir / "a.mrp");
}

TEST_F(RouteFileCommandsTest, CommentOnlyOrEmptyFileGivesThePlaceholderRow) {
  test::WriteBytes(dir / "e.mrp", FileOf({}));
  AddRoute("x");
  table.SetModified(false);
  OpenByDialog(dir / "e.mrp");
  EXPECT_EQ(table.RouteCount(), 0);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.Cell(1, 1), "");
  test::WriteBytes(dir / "z.mrp", "");
  OpenByDialog(dir / "z.mrp");
  EXPECT_EQ(table.RouteCount(), 0);
}

TEST_F(RouteFileCommandsTest, SaveWritesTheGridAndTheStoredList) {
  const std::string path = dir / "r.mrp";
  test::WriteBytes(path, FileOf({"1;a"}));
  OpenByDialog(path);
  AddRoute("2", "b;c\\d");
  AddRoute("3", "x//y");
  host.refreshes = 0;
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(dialogs.saveCalls, 0);
  EXPECT_EQ(test::ReadBytes(path), FileOf({"1;a;;", "2;b\\;c\\\\d;;", "3;x\\/\\/y;;"}));
  EXPECT_EQ(table.Stored().count, 3);
  EXPECT_EQ(table.Stored().records[1].Get(kStartStop), "b;c\\d");
  EXPECT_EQ(table.Stored().records[2].Get(kStartStop), "x//y");
  EXPECT_FALSE(table.Modified());
  EXPECT_EQ(host.title, "Velmora v1.05 r.mrp") << "no other program's name";
  EXPECT_EQ(host.refreshes, 1);

  // Opened again, every text is back.
  table.Clear();
  OpenByDialog(path);
  EXPECT_EQ(table.RouteCount(), 3);
  EXPECT_EQ(table.Cell(2, 2), "b;c\\d");
  EXPECT_EQ(table.Cell(3, 2), "x//y");
}

TEST_F(RouteFileCommandsTest, ListsWithTabsAndLineBreaksSurviveSaveAndOpen) {
  dialogs.saves.push_back(dir / "t.mrp");
  AddRoute("a\tb", "1\r\n2");
  table.SetCell(1, 4, "http://x;y\\z\r");
  ASSERT_TRUE(files.Save());
  table.Clear();
  OpenByDialog(dir / "t.mrp");
  ASSERT_EQ(table.RouteCount(), 1);
  EXPECT_EQ(table.Cell(1, 1), "a\tb");
  EXPECT_EQ(table.Cell(1, 2), "1\r\n2");
  EXPECT_EQ(table.Cell(1, 4), "http://x;y\\z\r");
}

TEST_F(RouteFileCommandsTest, SaveWithoutFileAsksAndACancelWritesNothing) {
  AddRoute("1");
  EXPECT_FALSE(files.Save());
  EXPECT_EQ(dialogs.saveCalls, 1);
  EXPECT_EQ(dialogs.saveFolder, "");
  EXPECT_EQ(dialogs.lastProposed, "");
  EXPECT_TRUE(test::FilesIn(dir.Path()).empty());
  EXPECT_TRUE(table.Modified());
  EXPECT_EQ(table.Stored().count, 0);
  EXPECT_EQ(host.titles, 0);

  dialogs.saves.push_back(std::string());
  EXPECT_FALSE(files.Save());
  EXPECT_TRUE(files.CurrentFile().empty());

  // Nothing was ever opened, so the name chosen gets the .mrp extension.
  dialogs.saves.push_back(dir / "new.txt");
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(files.CurrentFile(), dir / "new.mrp");
  EXPECT_EQ(test::FilesIn(dir.Path()), std::vector<std::string>{"new.mrp"});
}

TEST_F(RouteFileCommandsTest, TxtFileIsReadAsRouteListAndSavedAsMrp) {
  const std::string txt = dir / "list.txt";
  test::WriteBytes(txt, "7;a\r\n");
  OpenByDialog(txt);
  EXPECT_EQ(table.RouteCount(), 1);
  EXPECT_FALSE(table.Modified());
  EXPECT_EQ(files.OpenedExtension(), ".txt");
  table.SetCell(1, 2, "b");
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(files.CurrentFile(), dir / "list.mrp");
  EXPECT_EQ(files.DisplayName(), "list.mrp");
  EXPECT_EQ(host.title, "Velmora v1.05 list.mrp");
  EXPECT_EQ(test::ReadBytes(txt), "7;a\r\n") << "the .txt file is left alone";
  EXPECT_EQ(test::ReadBytes(dir / "list.mrp"), FileOf({"7;b;;"}));
}

TEST_F(RouteFileCommandsTest, MrpExtensionInAnyCaseIsKept) {
  const std::string path = dir / "UP.MRP";
  test::WriteBytes(path, "1\r\n");
  OpenByDialog(path);
  table.SetCell(1, 2, "s");
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(files.CurrentFile(), path);
}

TEST_F(RouteFileCommandsTest, GroupFileInCapitalsIsImported) {
  // Bytes that would read as one route if taken for a route list.
  const std::string path = dir / "GROUP.MRG";
  test::WriteBytes(path, "1;a\r\n");
  OpenByDialog(path);
  EXPECT_EQ(KindOfRoutesFile(path), RoutesFileKind::RouteGroup);
  EXPECT_TRUE(table.Modified()) << "an imported list is in no route list file yet";
  EXPECT_NE(table.Cell(1, 2), "a");
  EXPECT_EQ(files.OpenedExtension(), ".MRG");
  EXPECT_EQ(host.title, "Velmora v1.05 GROUP.MRG");
  EXPECT_EQ(host.refreshes, 1);
  // Saved beside it as a route list.
  if (table.RouteCount() == 0) AddRoute("9");
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(files.CurrentFile(), dir / "GROUP.mrp");
  EXPECT_EQ(test::ReadBytes(path), "1;a\r\n");
}

TEST_F(RouteFileCommandsTest, KindIgnoresLetterCase) {
  EXPECT_EQ(KindOfRoutesFile("a.mrg"), RoutesFileKind::RouteGroup);
  EXPECT_EQ(KindOfRoutesFile("C:\\x\\a.MrG"), RoutesFileKind::RouteGroup);
  EXPECT_EQ(KindOfRoutesFile("a.mrp"), RoutesFileKind::RouteList);
  EXPECT_EQ(KindOfRoutesFile("a.mrg.txt"), RoutesFileKind::RouteList);
  EXPECT_EQ(KindOfRoutesFile("mrg"), RoutesFileKind::RouteList);
  EXPECT_EQ(KindOfRoutesFile("a.CSV"), RoutesFileKind::Table);
  EXPECT_EQ(KindOfRoutesFile("a.Tsv"), RoutesFileKind::Table);
  EXPECT_EQ(KindOfRoutesFile("a.XLSX"), RoutesFileKind::Table);
  EXPECT_EQ(KindOfRoutesFile("a.ods"), RoutesFileKind::Table);
  EXPECT_EQ(KindOfRoutesFile("a.csv.mrp"), RoutesFileKind::RouteList);
}

TEST_F(RouteFileCommandsTest, SaveAsProposesTheMrpNameAndACancelChangesNothing) {
  test::WriteBytes(dir / "x.txt", "1\r\n");
  OpenByDialog(dir / "x.txt");
  host.titles = 0;
  EXPECT_FALSE(files.SaveAs());
  EXPECT_EQ(dialogs.lastProposed, "x.mrp");
  EXPECT_EQ(dialogs.saveFolder, dir.Path());
  EXPECT_EQ(files.CurrentFile(), dir / "x.txt");
  EXPECT_EQ(files.DisplayName(), "x.txt");
  EXPECT_EQ(host.titles, 0);
  EXPECT_FALSE(FileExists(dir / "x.mrp"));
}

TEST_F(RouteFileCommandsTest, SaveAsWritesUnderTheChosenName) {
  test::WriteBytes(dir / "a.mrp", "1\r\n");
  OpenByDialog(dir / "a.mrp");
  dialogs.saves.push_back(dir / "b.mrp");
  ASSERT_TRUE(files.SaveAs());
  EXPECT_EQ(dialogs.lastProposed, "a.mrp");
  EXPECT_EQ(test::ReadBytes(dir / "b.mrp"), FileOf({"1;;;"}));
  EXPECT_EQ(test::ReadBytes(dir / "a.mrp"), "1\r\n");
  EXPECT_EQ(host.title, "Velmora v1.05 b.mrp");
  EXPECT_FALSE(table.Modified());
}

TEST_F(RouteFileCommandsTest, CloseEmptiesEverythingButTheOpenedExtension) {
  test::WriteBytes(dir / "x.txt", "1\r\n2\r\n");
  OpenByDialog(dir / "x.txt");
  host.refreshes = 0;
  files.Close();
  EXPECT_EQ(host.title, "Velmora v1.05 " + Cp(" - <без файла>"));
  EXPECT_EQ(host.title, TitleAfterClose());
  EXPECT_EQ(TitleWithoutFile(), "Velmora v1.05 " + Cp("- <без файла>"));
  EXPECT_TRUE(files.CurrentFile().empty());
  EXPECT_TRUE(files.DisplayName().empty());
  EXPECT_EQ(files.OpenedExtension(), ".txt");
  EXPECT_EQ(table.RouteCount(), 0);
  EXPECT_EQ(table.Stored().count, 0);
  EXPECT_FALSE(table.Modified());
  EXPECT_EQ(host.refreshes, 1);

  // The extension of the last open still decides the next save's name.
  AddRoute("1");
  dialogs.saves.push_back(dir / "y.txt");
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(files.CurrentFile(), dir / "y.mrp");
}

TEST_F(RouteFileCommandsTest, VanishedRememberedFileGivesAnEmptyListAndIsRecreated) {
  const std::string path = dir / "gone.mrp";
  AddRoute("old");
  table.SetModified(false);
  files.SetCurrentFile(path);
  files.Open(false);
  EXPECT_EQ(dialogs.openCalls, 0);
  EXPECT_EQ(host.title, "Velmora v1.05 gone.mrp");
  EXPECT_EQ(files.CurrentFile(), path);
  EXPECT_EQ(table.RouteCount(), 0) << "the grid is in step with the empty stored list";
  EXPECT_EQ(table.Cell(1, 1), "");
  EXPECT_EQ(table.Stored().count, 0);
  EXPECT_FALSE(table.Modified());
  EXPECT_EQ(host.refreshes, 1);
  EXPECT_TRUE(host.log.empty());

  AddRoute("5");
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(dialogs.saveCalls, 0);
  EXPECT_EQ(test::ReadBytes(path), FileOf({"5;;;"}));
}

TEST_F(RouteFileCommandsTest, TooLargeFileIsNotRead) {
  test::WriteBytes(dir / "a.mrp", "1\r\n");
  OpenByDialog(dir / "a.mrp");
  const std::string big = dir / "big.mrp";
  test::WriteBytes(big, std::string(kMaxRouteListFileSize + 1, '\n'));
  host.titles = host.refreshes = 0;
  OpenByDialog(big);
  EXPECT_EQ(host.status[kPanelStatus], Cp("Файл слишком велик ") + big);
  EXPECT_EQ(table.RouteCount(), 1);
  EXPECT_EQ(table.Stored().count, 1);
  EXPECT_EQ(files.CurrentFile(), dir / "a.mrp");
  EXPECT_EQ(host.titles, 0);
  EXPECT_TRUE(host.log.empty());

  // Exactly at the limit it is read.
  test::WriteBytes(big, std::string(kMaxRouteListFileSize, '\n'));
  OpenByDialog(big);
  EXPECT_EQ(files.CurrentFile(), big);
  EXPECT_EQ(table.RouteCount(), 256);
}

TEST_F(RouteFileCommandsTest, AFileThatIsThereButCannotBeReadIsNeverOpened) {
  test::WriteBytes(dir / "a.mrp", "1\r\n");
  OpenByDialog(dir / "a.mrp");
  for (test::Unreadable kind : test::kUnreadableKinds) {
    for (const std::string& path : {dir / "b.mrp", dir / "b.MRG"}) {
      if (!test::MakeUnreadable(kind, path, "7;x\r\n")) continue;
      host = FakeHost();
      dialogs.opens.push_back(path);
      test::AsUnprivileged([&] { EXPECT_FALSE(files.Open(true)); });
      const std::string line =
          Cp("***Файл не прочитан: ") + path + " " + test::UnreadableReason(kind);
      EXPECT_EQ(host.status[kPanelStatus], line);
      EXPECT_EQ(host.log, (std::vector<Logged>{{line, kRed}}));
      // Title, current file, list and flag stay: a later F5 cannot write over the file.
      EXPECT_EQ(host.titles, 0);
      EXPECT_EQ(files.CurrentFile(), dir / "a.mrp");
      EXPECT_EQ(table.Cell(1, 1), "1");
      EXPECT_FALSE(table.Modified());
    }
  }
}

TEST_F(RouteFileCommandsTest, MoreThan256RoutesKeepsTheFirstAndWarnsInRed) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 300; ++i) lines.push_back(std::to_string(i));
  test::WriteBytes(dir / "many.mrp", FileOf(lines));
  OpenByDialog(dir / "many.mrp");
  EXPECT_EQ(table.RouteCount(), 256);
  EXPECT_EQ(table.Cell(256, 1), "256");
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_EQ(host.log[0].text, Cp("***В файле больше 256 маршрутов, прочитаны первые 256"));
  EXPECT_EQ(host.log[0].colour, kRed);
}

TEST_F(RouteFileCommandsTest, FailedSaveKeepsFileListAndFlag) {
  const std::string path = dir / "keep.mrp";
  const std::string earlier = FileOf({"1;a"});
  test::WriteBytes(path, earlier);
  OpenByDialog(path);
  AddRoute("2", "b");
  host.titles = host.refreshes = 0;
  // A folder that is a plain file: the temporary file cannot be created.
  test::WriteBytes(dir / "plain", "");
  dialogs.saves.push_back(dir / "plain/x.mrp");
  EXPECT_FALSE(files.SaveAs());
  // POSIX says "Not a directory"; Windows reports the path as not found.
  const std::string shown = host.status[kPanelStatus];
  EXPECT_TRUE(
      shown == cp1251::FromUtf8(std::error_code(ENOTDIR, std::generic_category()).message()) ||
      shown == cp1251::FromUtf8(std::error_code(ENOENT, std::generic_category()).message()))
      << shown;
  ASSERT_EQ(host.log.size(), 1u);
  EXPECT_EQ(host.log[0], (Logged{"***" + shown, kRed}));
  EXPECT_TRUE(table.Modified());
  EXPECT_EQ(table.Stored().count, 1);
  EXPECT_TRUE(table.Stored().records[1].IsEmpty());
  EXPECT_EQ(host.refreshes, 0);
  // The chosen name is not taken: title, current file and what is remembered stay.
  EXPECT_EQ(host.titles, 0);
  EXPECT_EQ(files.CurrentFile(), path);
  EXPECT_EQ(test::ReadBytes(path), earlier);
}

TEST_F(RouteFileCommandsTest, SaveIntoReadOnlyFolderKeepsTheEarlierFile) {
  TempDir ro;
  test::TinyTmpfs tmpfs(ro.Path(), "size=64k");
  const std::string path = ro / "r.mrp";
  const std::string earlier = FileOf({"1;a", "2;b"});
  test::WriteBytes(path, earlier);
  // Root writes into a folder without write permission, so there a read-only mount is used.
  if (!tmpfs.MakeReadOnly()) {
    std::filesystem::permissions(ro.Path(), std::filesystem::perms::owner_read |
                                                std::filesystem::perms::owner_exec);
    test::WriteBytes(ro / "probe", "p");
    if (FileExists(ro / "probe")) GTEST_SKIP() << "cannot make a folder read-only here";
  }
  OpenByDialog(path);
  ASSERT_EQ(table.RouteCount(), 2);
  table.SetCell(1, 2, "changed");
  EXPECT_FALSE(files.Save());
  EXPECT_FALSE(host.status[kPanelStatus].empty());
  EXPECT_TRUE(table.Modified());
  EXPECT_EQ(table.Stored().records[0].Get(kStartStop), "a");
  EXPECT_EQ(test::ReadBytes(path), earlier);
  EXPECT_EQ(test::FilesIn(ro.Path()), std::vector<std::string>{"r.mrp"});
}

TEST_F(RouteFileCommandsTest, SaveOntoAFullDeviceKeepsTheEarlierFile) {
  TempDir full;
  test::TinyTmpfs tmpfs(full.Path(), "size=16k");
  if (!tmpfs.Mounted()) GTEST_SKIP() << "needs root to mount a 16 KiB tmpfs";
  const std::string path = full / "r.mrp";
  const std::string earlier = FileOf({"1;a"});
  test::WriteBytes(path, earlier);
  OpenByDialog(path);
  for (int i = 0; i < 200; ++i) {
    AddRoute(std::to_string(i), "start");
    table.SetCell(table.CursorRow(), 4, std::string(250, 'm'));
  }
  EXPECT_FALSE(files.Save());
  EXPECT_EQ(host.status[kPanelStatus],
            cp1251::FromUtf8(std::error_code(ENOSPC, std::generic_category()).message()));
  EXPECT_TRUE(table.Modified());
  EXPECT_EQ(table.Stored().count, 1);
  EXPECT_EQ(test::ReadBytes(path), earlier);
  EXPECT_EQ(test::FilesIn(full.Path()), std::vector<std::string>{"r.mrp"});
}

TEST_F(RouteFileCommandsTest, SaveUsesTheClockAndTheFormat) {
  clock.now = DateTime{2027, 1, 2, 0, 0, 0, 0};
  dialogs.saves.push_back(dir / "d.mrp");
  AddRoute("1");
  ASSERT_TRUE(files.Save());
  EXPECT_EQ(test::ReadBytes(dir / "d.mrp"),
            "//\r\n" + Cp("// Версия 01.00 ") + kMakersNotice + "02.01.2027\r\n" +
                RouteCountLine(1) + "1;;;\r\n");
}

TEST(LoadRoutesFile, ReadsAsTheOpenCommandDoes) {
  TempDir dir;
  FakeHost sink;
  StoredRouteList stored;
  stored.count = 1;
  stored.records[0].Set(kDesignation, "old");
  EXPECT_EQ(LoadRoutesFile(dir / "none.mrp", stored, sink, nullptr).status, LoadStatus::Missing);
  EXPECT_EQ(stored.count, 0);

  test::WriteBytes(dir / "a.mrp", "1;a\r\n2;b\r\n3");
  EXPECT_EQ(LoadRoutesFile(dir / "a.mrp", stored, sink, nullptr).status, LoadStatus::Ok);
  EXPECT_EQ(stored.count, 2);

  test::WriteBytes(dir / "big.mrp", std::string(kMaxRouteListFileSize + 1, ';'));
  EXPECT_EQ(LoadRoutesFile(dir / "big.mrp", stored, sink, nullptr).status, LoadStatus::TooLarge);
  EXPECT_EQ(stored.count, 2) << "a refused file leaves the list";

  std::string many;
  for (int i = 0; i < 257; ++i) many += "x\n";
  test::WriteBytes(dir / "many.mrp", many);
  EXPECT_EQ(LoadRoutesFile(dir / "many.mrp", stored, sink, nullptr).status, LoadStatus::Ok);
  EXPECT_EQ(stored.count, 256);
  ASSERT_EQ(sink.log.size(), 1u);
  EXPECT_EQ(sink.log[0].colour, kRed);
}
