#include <gtest/gtest.h>

#include <filesystem>

#include "import_writer.h"
#include "routes/listedpath.h"

namespace velmora {
namespace {

const std::string kBase = "C:\\data\\grp\\";

TEST(ImportPath, ResolvesTheThreeListedForms) {
  EXPECT_EQ(ResolveListedPath(kBase, "r5.mrl"), "C:\\data\\grp\\r5.mrl");
  EXPECT_EQ(ResolveListedPath(kBase, "..\\lines\\r5.mrl"), "C:\\data\\lines\\r5.mrl");
  EXPECT_EQ(ResolveListedPath(kBase, "D:\\x\\r5.mrl"), "D:\\x\\r5.mrl");
}

TEST(ImportPath, SameDriveIsMadeRelativeIgnoringLetterCase) {
  EXPECT_EQ(ResolveListedPath(kBase, "c:\\DATA\\Grp\\r5.mrl"), "C:\\data\\grp\\r5.mrl");
  EXPECT_EQ(ResolveListedPath(kBase, "C:\\data\\lines\\r5.mrl"), "C:\\data\\lines\\r5.mrl");
  EXPECT_EQ(ResolveListedPath(kBase, "C:\\other\\r5.mrl"), "C:\\other\\r5.mrl");
  EXPECT_EQ(ResolveListedPath(kBase, "C:\\data\\grp\\sub\\r5.mrl"), "C:\\data\\grp\\sub\\r5.mrl");
  EXPECT_EQ(ResolveListedPath(kBase, "C:\\r5.mrl"), "C:\\r5.mrl");
}

TEST(ImportPath, RelativeFoldersAndUpSteps) {
  EXPECT_EQ(ResolveListedPath(kBase, "sub\\r5.mrl"), "C:\\data\\grp\\sub\\r5.mrl");
  EXPECT_EQ(ResolveListedPath(kBase, "../lines/r5.mrl"), "C:\\data\\lines/r5.mrl");
  // Up steps stop at the drive.
  EXPECT_EQ(ResolveListedPath(kBase, "..\\..\\..\\..\\r5.mrl"), "C:\\r5.mrl");
  EXPECT_EQ(ResolveListedPath(kBase, ""), "");
  EXPECT_EQ(ResolveListedPath(kBase, "D:r5.mrl"), "D:r5.mrl");
  // A folder of this system has no drive; a listed drive stays as it is.
  EXPECT_EQ(ResolveListedPath("\\home\\u\\grp\\", "C:\\x\\r5.mrl"), "C:\\x\\r5.mrl");
  EXPECT_EQ(ResolveListedPath("\\home\\u\\grp\\", "..\\lines\\r5.mrl"),
            "\\home\\u\\lines\\r5.mrl");
  EXPECT_EQ(ResolveListedPath("\\home\\u\\grp\\", "r5.mrl"), "\\home\\u\\grp\\r5.mrl");
}

TEST(ImportPath, LetterCaseCoversCyrillic) {
  EXPECT_TRUE(SameNameIgnoringCase("Маршруты", "МАРШРУТЫ"));
  EXPECT_TRUE(SameNameIgnoringCase("Ёлка", "ёЛКА"));
  EXPECT_FALSE(SameNameIgnoringCase("Маршрут", "Маршруты"));
  EXPECT_EQ(ResolveListedPath("C:\\Данные\\grp\\", "c:\\ДАННЫЕ\\lines\\r.mrl"),
            "C:\\Данные\\lines\\r.mrl");
}

#ifndef _WIN32
TEST(ImportPath, MapsOntoThisFileSystemIgnoringLetterCase) {
  test::TempDir dir;
  dir.Write("Data/Lines/R5.MRL", "x");
  dir.Write("Data/grp/r5.mrl", "y");
  dir.Write("Data/Маршруты/Линия.mrl", "z");
  const std::string base = WindowsFormFolder(dir.Path() + "/Data/grp/g.mrg");
  ASSERT_EQ(base.back(), '\\');
  EXPECT_EQ(base.find('/'), std::string::npos);

  EXPECT_EQ(MapToFileSystem(ResolveListedPath(base, "R5.mrl")), dir.Path() + "/Data/grp/r5.mrl");
  EXPECT_EQ(MapToFileSystem(ResolveListedPath(base, "..\\LINES\\r5.mrl")),
            dir.Path() + "/Data/Lines/R5.MRL");
  EXPECT_EQ(MapToFileSystem(ResolveListedPath(base, "..\\маршруты\\ЛИНИЯ.MRL")),
            dir.Path() + "/Data/Маршруты/Линия.mrl");
  // A name that exists in no letter case stays as written and cannot be opened.
  const std::string missing = MapToFileSystem(ResolveListedPath(base, "..\\nolines\\r5.mrl"));
  EXPECT_EQ(missing, dir.Path() + "/Data/nolines/r5.mrl");
  EXPECT_FALSE(std::filesystem::exists(missing));
  // Drive letters have no place here.
  EXPECT_EQ(MapToFileSystem(ResolveListedPath(base, "D:\\x\\r5.mrl")), "");
  EXPECT_EQ(MapToFileSystem("\\\\server\\share\\r5.mrl"), "");
}
#endif

}  // namespace
}  // namespace velmora
