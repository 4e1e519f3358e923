// What Windows says about itself for the about window.
#include "Aboutp.h"

#include <windows.h>

AboutSystemInfo CurrentSystemInfo() {
  AboutSystemInfo info;
  // The computer's own (NetBIOS) name, asked with room for 15 characters and the
  // terminator: a name of 15 characters does not fit and the window says "Без имени".
  wchar_t name[15] = {};
  DWORD length = sizeof name / sizeof name[0];
  if (GetComputerNameW(name, &length)) info.computerName = QString::fromWCharArray(name, length);
  // RtlGetVersion reports the true version; GetVersionEx is shimmed to the manifest's.
  struct OsVersion {
    ULONG size, major, minor, build, platform;
    WCHAR servicePack[128];
  } v{};
  v.size = sizeof v;
  using RtlGetVersionFn = LONG(WINAPI*)(OsVersion*);
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const auto rtlGetVersion =
      ntdll ? reinterpret_cast<RtlGetVersionFn>(
                  reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
            : nullptr;
  if (rtlGetVersion && rtlGetVersion(&v) == 0) {
    info.platformId = static_cast<int>(v.platform);
    info.major = v.major;
    info.minor = v.minor;
    info.build = v.build;
    info.servicePack = QString::fromWCharArray(v.servicePack);
  }
  return info;
}
