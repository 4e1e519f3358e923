// The registry backend, run with HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER redirected into
// a scratch key of the test's own, so that no real settings are touched.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>

#include "app/Sub.h"

namespace velmora {
namespace {

const wchar_t kKey[] = L"SOFTWARE\\Informer Morvan";

class SettingsRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = L"Software\\VelmoraTest\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(GetTickCount());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (scratch_ + L"\\machine").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &machine_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (scratch_ + L"\\user").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &user_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_), ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, user_), ERROR_SUCCESS);
  }
  void TearDown() override {
    Unlock();
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    for (HKEY k : {machine_, user_})
      if (k) RegCloseKey(k);
    RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
  }
  // The key as a user without rights to it sees it: readable, not writable.
  void Lock(HKEY root) {
    ASSERT_EQ(RegOpenKeyExW(root, kKey, 0, KEY_ALL_ACCESS | WRITE_DAC, &locked_), ERROR_SUCCESS);
    SetDacl(L"D:P(A;;KR;;;WD)");
  }
  void Unlock() {
    if (!locked_) return;
    SetDacl(L"D:P(A;;KA;;;WD)");
    RegCloseKey(locked_);
    locked_ = nullptr;
  }
  void SetDacl(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr));
    EXPECT_EQ(RegSetKeySecurity(locked_, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    LocalFree(sd);
  }
  static bool HasKey(HKEY root) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, kKey, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
  }
  static DWORD TypeOf(HKEY root, const wchar_t* name, DWORD& size) {
    DWORD type = 0;
    size = 0;
    if (RegGetValueW(root, kKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) != ERROR_SUCCESS)
      return REG_NONE;
    return type;
  }
  static void Set(HKEY root, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(k);
  }

  std::wstring scratch_;
  HKEY machine_ = nullptr;
  HKEY user_ = nullptr;
  HKEY locked_ = nullptr;
};

TEST_F(SettingsRegistry, FirstRunThenValuesWithTheirTypes) {
  SettingsValues v;
  v.lastFile = "x";
  ReadSettings(*CreateRegistrySettingsBackend(), v);
  EXPECT_EQ(v.lastFile, "");
  EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE));

  v.lastFile = "C:\\Маршруты\\город.mrp";
  v.autoSend = 5;
  const DateTime closing{2026, 12, 8, 1, 2, 3, 0};
  ASSERT_TRUE(WriteSettings(*CreateRegistrySettingsBackend(), v, closing));
  EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE));
  EXPECT_FALSE(HasKey(HKEY_CURRENT_USER));
  DWORD size = 0;
  EXPECT_EQ(TypeOf(HKEY_LOCAL_MACHINE, L"LastDateTime", size), static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(TypeOf(HKEY_LOCAL_MACHINE, L"LastFileBrel", size), static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(TypeOf(HKEY_LOCAL_MACHINE, L"AutoSend", size), static_cast<DWORD>(REG_DWORD));

  SettingsValues back;
  ReadSettings(*CreateRegistrySettingsBackend(), back);
  EXPECT_EQ(back.lastFile, "C:\\Маршруты\\город.mrp");
  EXPECT_EQ(back.lastDateTime, ToOleDate(closing));
  EXPECT_EQ(back.autoSend, 5u);
}

TEST_F(SettingsRegistry, WrongTypesAndSizesFailTheirRead) {
  const double date = 40000.5;
  Set(HKEY_LOCAL_MACHINE, L"LastDateTime", REG_BINARY, &date, 8);
  const wchar_t name[] = L"C:\\r.mrp";
  Set(HKEY_LOCAL_MACHINE, L"LastFileBrel", REG_EXPAND_SZ, name, sizeof name);
  const BYTE shortDword[2] = {5, 0};
  Set(HKEY_LOCAL_MACHINE, L"AutoSend", REG_DWORD, shortDword, 2);
  SettingsValues v;
  ReadSettings(*CreateRegistrySettingsBackend(), v);
  EXPECT_EQ(v.lastDateTime, 40000.5);
  EXPECT_EQ(v.lastFile, "C:\\r.mrp");
  EXPECT_EQ(v.autoSend, 0u);

  const DWORD five = 5;
  Set(HKEY_LOCAL_MACHINE, L"LastFileBrel", REG_DWORD, &five, 4);
  Set(HKEY_LOCAL_MACHINE, L"AutoSend", REG_DWORD, &five, 4);
  SettingsValues w;
  ReadSettings(*CreateRegistrySettingsBackend(), w);
  EXPECT_EQ(w.lastFile, "");
  EXPECT_EQ(w.autoSend, 0u);  // not reached

  Set(HKEY_LOCAL_MACHINE, L"LastDateTime", REG_BINARY, &date, 7);
  Set(HKEY_LOCAL_MACHINE, L"LastFileBrel", REG_SZ, name, sizeof name);
  SettingsValues x;
  ReadSettings(*CreateRegistrySettingsBackend(), x);
  EXPECT_EQ(x.lastDateTime, 0);
  EXPECT_EQ(x.lastFile, "");
}

TEST_F(SettingsRegistry, WithoutMachineRightsTheUsersKeyIsWrittenAndPreferred) {
  const DWORD seven = 7;
  const double date = 1.0;
  Set(HKEY_LOCAL_MACHINE, L"LastDateTime", REG_BINARY, &date, 8);
  Set(HKEY_LOCAL_MACHINE, L"AutoSend", REG_DWORD, &seven, 4);
  Lock(HKEY_LOCAL_MACHINE);

  SettingsValues v;
  ReadSettings(*CreateRegistrySettingsBackend(), v);
  EXPECT_EQ(v.autoSend, 7u);
  v.lastFile = "C:\\u.mrp";
  ASSERT_TRUE(WriteSettings(*CreateRegistrySettingsBackend(), v, DateTime{2026, 2, 3, 4, 5, 6, 0}));
  EXPECT_TRUE(HasKey(HKEY_CURRENT_USER));

  SettingsValues back;
  ReadSettings(*CreateRegistrySettingsBackend(), back);
  EXPECT_EQ(back.lastFile, "C:\\u.mrp");
  EXPECT_EQ(back.autoSend, 7u);
  EXPECT_EQ(back.lastDateTime, ToOleDate(DateTime{2026, 2, 3, 4, 5, 6, 0}));

  // Once the user's key exists it is the one written, even with the rights back.
  Unlock();
  back.autoSend = 8;
  ASSERT_TRUE(WriteSettings(*CreateRegistrySettingsBackend(), back, DateTime{2026, 2, 4, 4, 5, 6, 0}));
  SettingsValues again;
  ReadSettings(*CreateRegistrySettingsBackend(), again);
  EXPECT_EQ(again.autoSend, 8u);
  DWORD machineSend = 0, size = sizeof machineSend;
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kKey, L"AutoSend", RRF_RT_REG_DWORD, nullptr,
                         &machineSend, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(machineSend, 7u);
}

TEST_F(SettingsRegistry, NothingWritableFailsCleanly) {
  const DWORD five = 5;
  Set(HKEY_CURRENT_USER, L"AutoSend", REG_DWORD, &five, 4);
  Lock(HKEY_CURRENT_USER);
  SettingsValues v;
  v.autoSend = 6;
  EXPECT_FALSE(WriteSettings(*CreateRegistrySettingsBackend(), v, DateTime{2026, 1, 1, 0, 0, 0, 0}));
  DWORD userSend = 0, size = sizeof userSend;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kKey, L"AutoSend", RRF_RT_REG_DWORD, nullptr, &userSend, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(userSend, 5u);
}

}  // namespace
}  // namespace velmora
#endif
