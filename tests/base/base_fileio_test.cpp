#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/fileio.h"
#include "testutil.h"
#include "unreadable_files.h"

using namespace velmora;
using velmora::test::TempDir;

TEST(PathParts, UnderstandBothSeparators) {
  EXPECT_EQ(FolderOf("/home/u/x.mrp"), "/home/u");
  EXPECT_EQ(FolderOf("C:\\Routes\\x.mrp"), "C:\\Routes");
  EXPECT_EQ(FolderOf("C:\\x.mrp"), "C:\\");
  EXPECT_EQ(FolderOf("/x.mrp"), "/");
  EXPECT_EQ(FolderOf("x.mrp"), "");
  EXPECT_EQ(FolderOf("a/b\\c.mrp"), "a/b");
  EXPECT_EQ(FileNameOf("C:\\Routes\\x.mrp"), "x.mrp");
  EXPECT_EQ(FileNameOf("a/b\\c.mrp"), "c.mrp");
  EXPECT_EQ(FileNameOf("x"), "x");
  EXPECT_EQ(ExtensionOf("/a/x.MRG"), ".MRG");
  EXPECT_EQ(ExtensionOf("/a.d/x"), "");
  EXPECT_EQ(ExtensionOf("C:\\a.d\\x"), "");
  EXPECT_EQ(ExtensionOf("x.tar.gz"), ".gz");
  EXPECT_EQ(ExtensionOf("x."), ".");
  EXPECT_EQ(LowerExtensionOf("C:\\A.D\\X.Mrg"), ".mrg");
  EXPECT_EQ(ReplaceExtension("/a/x.txt", ".mrp"), "/a/x.mrp");
  EXPECT_EQ(ReplaceExtension("/a.d/x", ".mrp"), "/a.d/x.mrp");
  EXPECT_EQ(ReplaceExtension("C:\\a\\x.MRG", ".mrp"), "C:\\a\\x.mrp");
}

TEST(ReadWholeFile, StatusesAndTheSizeLimit) {
  TempDir dir;
  EXPECT_EQ(ReadWholeFile(dir / "missing", 100).status, ReadStatus::Missing);
  EXPECT_EQ(ReadWholeFile(dir.Path(), 100).status, ReadStatus::CannotOpen);
  test::WriteBytes(dir / "f", std::string(100, 'x'));
  FileRead r = ReadWholeFile(dir / "f", 100);
  EXPECT_EQ(r.status, ReadStatus::Ok);
  EXPECT_EQ(r.bytes, std::string(100, 'x'));
  r = ReadWholeFile(dir / "f", 99);
  EXPECT_EQ(r.status, ReadStatus::TooLarge);
  EXPECT_TRUE(r.bytes.empty());
  test::WriteBytes(dir / "empty", "");
  EXPECT_EQ(ReadWholeFile(dir / "empty", 0).status, ReadStatus::Ok);
}

TEST(ReadWholeFile, StopsAtTheLimitWhereTheSizeIsUnknown) {
  // A file of /proc reports the size 0 and still holds bytes.
  if (!FileExists("/proc/self/maps")) GTEST_SKIP() << "no /proc here";
  EXPECT_EQ(ReadWholeFile("/proc/self/maps", 16).status, ReadStatus::TooLarge);
  EXPECT_EQ(ReadFileStart("/proc/self/maps", 16).bytes.size(), 16u);
}

TEST(ReadWholeFile, ReadsOnlyRegularFilesAndSaysWhyNot) {
  TempDir dir;
  for (test::Unreadable kind : test::kUnreadableKinds) {
    if (!test::MakeUnreadable(kind, dir / "in", "bytes")) continue;
    FileRead whole, start;
    test::AsUnprivileged(
        [&] { whole = ReadWholeFile(dir / "in", 9), start = ReadFileStart(dir / "in", 2); });
    EXPECT_EQ(whole.status, ReadStatus::CannotOpen) << test::KindName(kind);
    EXPECT_EQ(whole.error, test::UnreadableReason(kind)) << test::KindName(kind);
    EXPECT_EQ(start.status, ReadStatus::CannotOpen) << test::KindName(kind);
  }
  // A device node opens and reads, but is no regular file either.
  if (FileExists("/dev/null")) {
    EXPECT_EQ(ReadWholeFile("/dev/null", 9).status, ReadStatus::CannotOpen);
  }
}

TEST(SameFile, TellsTwoFilesApartAndOneFileUnderTwoNames) {
  TempDir dir;
  test::WriteBytes(dir / "a.mrp", "a");
  test::WriteBytes(dir / "b.mrp", "b");
  EXPECT_FALSE(SameFile(dir / "a.mrp", dir / "b.mrp"));
  EXPECT_TRUE(SameFile(dir / "a.mrp", dir.Path() + "/../" + FileNameOf(dir.Path()) + "/a.mrp"));
  EXPECT_FALSE(SameFile(dir / "a.mrp", dir / "gone.mrp"));
}

TEST(WriteFileAtomic, CreatesAndReplaces) {
  TempDir dir;
  const std::string path = dir / "Маршруты.mrp";  // a UTF-8 name
  EXPECT_EQ(WriteFileAtomic(path, "one\r\n"), "");
  EXPECT_EQ(test::ReadBytes(path), "one\r\n");
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(WriteFileAtomic(path, "two"), "");
  EXPECT_EQ(test::ReadBytes(path), "two");
  EXPECT_EQ(WriteFileAtomic(path, ""), "");
  EXPECT_EQ(test::ReadBytes(path), "");
  EXPECT_EQ(test::FilesIn(dir.Path()).size(), 1u) << "no temporary file left behind";
}

TEST(WriteFileAtomic, KeepsThePermissionsOfTheFileItReplaces) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no POSIX permission bits";
#endif
  TempDir dir;
  const std::string path = dir / "x.mrp";
  test::WriteBytes(path, "old");
  namespace fs = std::filesystem;
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(WriteFileAtomic(path, "new"), "");
  EXPECT_EQ(fs::status(path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(WriteFileAtomic, FailuresReturnTheSystemText) {
  TempDir dir;
  EXPECT_FALSE(WriteFileAtomic(dir / "no/such/folder/x.mrp", "x").empty());
  test::WriteBytes(dir / "plain", "file");
  const std::string error = WriteFileAtomic(dir / "plain/x.mrp", "x");
  // POSIX says "Not a directory"; Windows reports the path as not found.
  EXPECT_TRUE(error == std::error_code(ENOTDIR, std::generic_category()).message() ||
              error == std::error_code(ENOENT, std::generic_category()).message())
      << error;
  // Renaming over a folder fails after the temporary file was written: it is removed.
  std::filesystem::create_directory(dir / "sub");
  test::WriteBytes(dir / "sub/inner", "i");
  EXPECT_FALSE(WriteFileAtomic(dir / "sub", "x").empty());
  auto names = test::FilesIn(dir.Path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"plain", "sub"}));
}

TEST(WriteFileAtomic, FullDeviceKeepsTheEarlierFile) {
  TempDir dir;
  test::TinyTmpfs fs(dir.Path());
  if (!fs.Mounted()) GTEST_SKIP() << "needs root to mount a 16 KiB tmpfs";
  const std::string path = dir / "x.mrp";
  ASSERT_EQ(WriteFileAtomic(path, "earlier"), "");
  const std::string error = WriteFileAtomic(path, std::string(64 * 1024, 'x'));
  EXPECT_EQ(error, std::error_code(ENOSPC, std::generic_category()).message());
  EXPECT_EQ(test::ReadBytes(path), "earlier");
  EXPECT_EQ(test::FilesIn(dir.Path()), std::vector<std::string>{"x.mrp"});
}

TEST(WriteFileAtomic, ReplacesTheTargetOfALinkAndKeepsTheLink) {
  TempDir dir;
  namespace fs = std::filesystem;
  fs::create_directory(dir / "real");
  test::WriteBytes(dir / "real/x.mrp", "old");
  std::error_code ec;
  fs::create_symlink("real/x.mrp", dir / "link.mrp", ec);
  if (ec) GTEST_SKIP() << "no symbolic links here";
  ASSERT_EQ(WriteFileAtomic(dir / "link.mrp", "new"), "");
  EXPECT_TRUE(fs::is_symlink(dir / "link.mrp"));
  EXPECT_EQ(test::ReadBytes(dir / "real/x.mrp"), "new");
  EXPECT_EQ(test::FilesIn(dir / "real"), std::vector<std::string>{"x.mrp"});
}

TEST(WriteFileAtomic, DoesNotReplaceAFileThatMayNotBeWritten) {
  TempDir dir;
  namespace fs = std::filesystem;
  const std::string path = dir / "ro.mrp";
  test::WriteBytes(path, "old");
  fs::permissions(path, fs::perms::owner_read);
  if (std::FILE* probe = std::fopen(path.c_str(), "ab")) {
    std::fclose(probe);
    GTEST_SKIP() << "file permissions do not bind this user (root)";
  }
  EXPECT_EQ(WriteFileAtomic(path, "new"), std::error_code(EACCES, std::generic_category()).message());
  EXPECT_EQ(test::ReadBytes(path), "old");
  EXPECT_EQ(test::FilesIn(dir.Path()).size(), 1u);
}
