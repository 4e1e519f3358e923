// The read and write rules of the settings store, over a key held in memory.
#include <gtest/gtest.h>

#include <cstring>

#include "app/Sub.h"

namespace velmora {
namespace {

using V = TypedSettingsValue;

std::vector<uint8_t> DateBytes(double d) {
  std::vector<uint8_t> b(8);
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(bits >> (8 * i));
  return b;
}

SettingsValues Fresh() {
  SettingsValues v;
  v.lastFile = "was set";
  return v;
}

MemorySettingsBackend FullKey() {
  MemorySettingsBackend key;
  key.keyExists = true;
  key.values["LastDateTime"] = V::Binary(DateBytes(40000.5));
  key.values["LastFileBrel"] = V::String("/home/u/Маршруты.mrp");
  key.values["AutoSend"] = V::Dword(5);
  return key;
}

TEST(SettingsStore, FirstRunGivesDefaultsAndCloseWritesAllThree) {
  MemorySettingsBackend key;
  SettingsValues v = Fresh();
  ReadSettings(key, v);
  EXPECT_EQ(v.lastFile, "");
  EXPECT_EQ(v.lastDateTime, 0);
  EXPECT_EQ(v.autoSend, 0u);

  const DateTime closing{2026, 12, 8, 1, 30, 15, 0};
  ASSERT_TRUE(WriteSettings(key, v, closing));
  EXPECT_TRUE(key.keyExists);
  ASSERT_EQ(key.values.size(), 3u);
  EXPECT_EQ(key.values["LastDateTime"].type, SettingsType::Binary);
  EXPECT_EQ(key.values["LastDateTime"].data.size(), 8u);
  EXPECT_EQ(key.values["LastFileBrel"].type, SettingsType::String);
  EXPECT_EQ(key.values["LastFileBrel"].data, "");
  EXPECT_EQ(key.values["AutoSend"].type, SettingsType::Dword);
  EXPECT_EQ(key.values["AutoSend"].data, std::string(4, '\0'));
}

TEST(SettingsStore, ReadsAllThreeValues) {
  MemorySettingsBackend key = FullKey();
  SettingsValues v = Fresh();
  ReadSettings(key, v);
  EXPECT_EQ(v.lastDateTime, 40000.5);
  EXPECT_EQ(v.lastFile, "/home/u/Маршруты.mrp");
  EXPECT_EQ(v.autoSend, 5u);
}

TEST(SettingsStore, DateMissingOrBadStopsTheReading) {
  const V bad[] = {V::String("40000.5"), V::Binary({1, 2, 3, 4, 5, 6, 7}),
                   V::Binary({1, 2, 3, 4, 5, 6, 7, 8, 9}), V::Dword(7)};
  for (const V& date : bad) {
    MemorySettingsBackend key = FullKey();
    key.values["LastDateTime"] = date;
    SettingsValues v = Fresh();
    ReadSettings(key, v);
    EXPECT_EQ(v.lastFile, "");  // the file name is not read, so no file is reopened
    EXPECT_EQ(v.lastDateTime, 0);
    EXPECT_EQ(v.autoSend, 0u);
  }
  MemorySettingsBackend key = FullKey();
  key.values.erase("LastDateTime");
  SettingsValues v = Fresh();
  ReadSettings(key, v);
  EXPECT_EQ(v.lastFile, "");
  EXPECT_EQ(v.autoSend, 0u);
}

TEST(SettingsStore, FileNameMissingOrEmptyStillReadsAutoSend) {
  MemorySettingsBackend missing = FullKey();
  missing.values.erase("LastFileBrel");
  SettingsValues v = Fresh();
  ReadSettings(missing, v);
  EXPECT_EQ(v.lastFile, "");
  EXPECT_EQ(v.autoSend, 5u);

  MemorySettingsBackend empty = FullKey();
  empty.values["LastFileBrel"] = V::String("");
  SettingsValues e = Fresh();
  ReadSettings(empty, e);
  EXPECT_EQ(e.lastFile, "");
  EXPECT_EQ(e.autoSend, 5u);

  MemorySettingsBackend expand = FullKey();
  expand.values["LastFileBrel"] = {SettingsType::ExpandString, "C:\\r.mrp"};
  SettingsValues x = Fresh();
  ReadSettings(expand, x);
  EXPECT_EQ(x.lastFile, "C:\\r.mrp");
}

TEST(SettingsStore, FileNameOfWrongTypeStopsBeforeAutoSend) {
  MemorySettingsBackend key = FullKey();
  key.values["LastFileBrel"] = V::Dword(1);
  SettingsValues v = Fresh();
  ReadSettings(key, v);
  EXPECT_EQ(v.lastDateTime, 40000.5);  // read before the failure: kept
  EXPECT_EQ(v.lastFile, "");
  EXPECT_EQ(v.autoSend, 0u);
}

TEST(SettingsStore, AutoSendOfWrongTypeOrSizeStaysZero) {
  const V bad[] = {V::String("5"), V::Binary({5, 0, 0, 0}), {SettingsType::Dword, std::string("\5\0", 2)}};
  for (const V& autoSend : bad) {
    MemorySettingsBackend key = FullKey();
    key.values["AutoSend"] = autoSend;
    SettingsValues v = Fresh();
    ReadSettings(key, v);
    EXPECT_EQ(v.lastFile, "/home/u/Маршруты.mrp");
    EXPECT_EQ(v.autoSend, 0u);
  }
}

TEST(SettingsStore, AutoSendSurvivesRunsAndTheDateIsTheClosingMoment) {
  MemorySettingsBackend key = FullKey();
  for (int run = 0; run < 4; ++run) {
    SettingsValues v;
    ReadSettings(key, v);
    EXPECT_EQ(v.autoSend, 5u);
    EXPECT_EQ(v.lastFile, "/home/u/Маршруты.mrp");
    const DateTime closing{2026, 3, 1 + run, 17, 45, 30, 0};
    ASSERT_TRUE(WriteSettings(key, v, closing));
    EXPECT_EQ(v.lastDateTime, ToOleDate(closing));
    EXPECT_EQ(key.values["LastDateTime"].data,
              std::string(reinterpret_cast<const char*>(DateBytes(ToOleDate(closing)).data()), 8));
  }
}

TEST(SettingsStore, DateIsStoredAsLittleEndianDouble) {
  MemorySettingsBackend key;
  SettingsValues v;
  // 1 January 2000 00:00 is OLE day 36526: 0x40E1D5C000000000.
  ASSERT_TRUE(WriteSettings(key, v, DateTime{2000, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(key.values["LastDateTime"].data, std::string("\0\0\0\0\xC0\xD5\xE1\x40", 8));
}

TEST(SettingsStore, WriteFailureIsReportedNotThrown) {
  MemorySettingsBackend key = FullKey();
  key.writable = false;
  SettingsValues v;
  EXPECT_FALSE(WriteSettings(key, v, DateTime{2026, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(key.values["AutoSend"].data, V::Dword(5).data);  // untouched
}

}  // namespace
}  // namespace velmora
