// The settings file: values keep their types across runs; a broken or unreachable file
// gives defaults and never stops the program.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/Sub.h"
#include "tests/base/fakes.h"
#include "tests/base/unreadable_files.h"

namespace velmora {
namespace {
namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
 protected:
  std::string FilePath() const { return folder_ + "/" + kSettingsFileName; }
  void WriteFile(const std::string& text) {
    fs::create_directories(fs::u8path(folder_));
    test::WriteBytes(FilePath(), text);
  }
  std::string ReadFile() const { return test::ReadBytes(FilePath()); }
  SettingsValues Read() {
    SettingsValues v;
    v.lastFile = "not read";
    ReadSettings(*CreateFileSettingsBackend(folder_), v);
    return v;
  }

  test::TempDir dir;
  std::string folder_ = dir / "config/Velmora";
};

TEST_F(SettingsFile, FirstRunThenRoundTrip) {
  SettingsValues v = Read();
  EXPECT_EQ(v.lastFile, "");
  EXPECT_EQ(v.autoSend, 0u);
  EXPECT_FALSE(fs::exists(folder_));

  // A name that needs escapes comes back as it went in.
  v.lastFile = "/home/u/Мои маршруты/a\\b\nc=d:e.mrp";
  const DateTime closing{2026, 12, 8, 2, 15, 42, 0};
  ASSERT_TRUE(WriteSettings(*CreateFileSettingsBackend(folder_), v, closing));
  EXPECT_TRUE(fs::exists(FilePath()));
  EXPECT_NE(ReadFile().find("AutoSend=dword:0\n"), std::string::npos);
  EXPECT_NE(ReadFile().find("LastFileBrel=string:/home/u/Мои маршруты/a\\\\b\\nc=d:e.mrp\n"),
            std::string::npos);

  const SettingsValues back = Read();
  EXPECT_EQ(back.lastFile, v.lastFile);
  EXPECT_EQ(back.lastDateTime, ToOleDate(closing));
  EXPECT_EQ(back.autoSend, 0u);
}

TEST_F(SettingsFile, HandSetAutoSendKeptOverRuns) {
  // 40000.5 as a little-endian double.
  WriteFile("AutoSend=dword:5\nLastDateTime=binary:000000001088e340\nLastFileBrel=string:/r.mrp\n");
  for (int run = 0; run < 3; ++run) {
    SettingsValues v = Read();
    EXPECT_EQ(v.autoSend, 5u);
    EXPECT_EQ(v.lastFile, "/r.mrp");
    if (run == 0) {
      EXPECT_EQ(v.lastDateTime, 40000.5);
    }
    ASSERT_TRUE(WriteSettings(*CreateFileSettingsBackend(folder_), v,
                              DateTime{2026, 5, 10 + run, 9, 0, 0, 0}));
  }
  EXPECT_EQ(Read().lastDateTime, ToOleDate(DateTime{2026, 5, 12, 9, 0, 0, 0}));
}

TEST_F(SettingsFile, ValuesOfTheWrongTypeOrSizeFailTheirRead) {
  const std::string date = "LastDateTime=binary:000000001088e340\n";
  struct Case {
    std::string text;
    std::string lastFile;
    uint32_t autoSend;
  } cases[] = {
      {"LastDateTime=string:x\nLastFileBrel=string:/r.mrp\nAutoSend=dword:5\n", "", 0},
      {"LastDateTime=binary:0000001088e340\nLastFileBrel=string:/r.mrp\nAutoSend=dword:5\n", "", 0},
      {"LastDateTime=binary:00000000001088e340\nLastFileBrel=string:/r.mrp\nAutoSend=dword:5\n", "", 0},
      {"LastDateTime=binary:zz00000000000000\nLastFileBrel=string:/r.mrp\nAutoSend=dword:5\n", "", 0},
      {date + "LastFileBrel=dword:3\nAutoSend=dword:5\n", "", 0},
      {date + "LastFileBrel=string:bad\\q\nAutoSend=dword:5\n", "", 0},
      {date + "AutoSend=dword:5\n", "", 5},  // a missing name is allowed
      {date + "LastFileBrel=expand:/e.mrp\nAutoSend=dword:5\n", "/e.mrp", 5},
      {date + "LastFileBrel=string:/r.mrp\nAutoSend=string:5\n", "/r.mrp", 0},
      {date + "LastFileBrel=string:/r.mrp\nAutoSend=dword:4294967296\n", "/r.mrp", 0},
      {date + "LastFileBrel=string:/r.mrp\nAutoSend=dword:-1\n", "/r.mrp", 0},
      {date + "LastFileBrel=string:/r.mrp\nAutoSend\n", "/r.mrp", 0},
      {"# comment\r\n\r\n" + date + "LastFileBrel=string:/r.mrp\r\nAutoSend=dword:4294967295\r\n",
       "/r.mrp", 4294967295u},
  };
  for (const Case& c : cases) {
    WriteFile(c.text);
    const SettingsValues v = Read();
    EXPECT_EQ(v.lastFile, c.lastFile) << c.text;
    EXPECT_EQ(v.autoSend, c.autoSend) << c.text;
  }
}

TEST_F(SettingsFile, ValuesOfOthersAreKeptOnWrite) {
  WriteFile("Extra=string:kept\nAutoSend=dword:9\n");
  SettingsValues v;
  ASSERT_TRUE(WriteSettings(*CreateFileSettingsBackend(folder_), v, DateTime{2026, 1, 2, 3, 4, 5, 0}));
  EXPECT_NE(ReadFile().find("Extra=string:kept\n"), std::string::npos);
  EXPECT_NE(ReadFile().find("AutoSend=dword:0\n"), std::string::npos);  // ours is written
}

TEST_F(SettingsFile, UnwritableFolderFailsCleanly) {
  dir.Write("plain", "a regular file");
  const std::string blocked = dir / "plain/Velmora";
  SettingsValues v;
  v.lastFile = "/r.mrp";
  EXPECT_FALSE(WriteSettings(*CreateFileSettingsBackend(blocked), v, DateTime{2026, 1, 1, 0, 0, 0, 0}));
  SettingsValues back;
  ReadSettings(*CreateFileSettingsBackend(blocked), back);
  EXPECT_EQ(back.lastFile, "");
  EXPECT_EQ(back.autoSend, 0u);
}

TEST_F(SettingsFile, UnreadableFileGivesDefaultsAndIsNotReplacedBadly) {
  // The settings file's place is taken by a folder: it can be neither read nor replaced.
  fs::create_directories(FilePath());
  SettingsValues v = Read();
  EXPECT_EQ(v.lastFile, "");
  EXPECT_EQ(v.autoSend, 0u);
  v.lastFile = "/r.mrp";
  EXPECT_FALSE(WriteSettings(*CreateFileSettingsBackend(folder_), v, DateTime{2026, 1, 1, 0, 0, 0, 0}));
  EXPECT_TRUE(fs::is_directory(FilePath()));

  // A file far too large is not one of ours.
  fs::remove_all(FilePath());
  WriteFile(std::string(2 * 1024 * 1024, '#'));
  EXPECT_EQ(Read().lastFile, "");
}

TEST_F(SettingsFile, AFileThatCannotBeReadGivesTheDefaultsAtOnce) {
  SettingsValues v;
  v.lastFile = "/r.mrp";
  ASSERT_TRUE(
      WriteSettings(*CreateFileSettingsBackend(folder_), v, DateTime{2026, 1, 1, 0, 0, 0, 0}));
  const std::string written = ReadFile();
  for (test::Unreadable kind : test::kUnreadableKinds) {
    if (!test::MakeUnreadable(kind, FilePath(), written)) continue;
    SettingsValues back;
    test::AsUnprivileged([&] { back = Read(); });  // a FIFO would block a plain open
    EXPECT_EQ(back.lastFile, "") << test::KindName(kind);
  }
}

}  // namespace
}  // namespace velmora
