// HID.DLL loaded at run time, SetupAPI enumeration of the HID interfaces.
#include <windows.h>

#include <setupapi.h>
#include <hidclass.h>
#include <hidsdi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "base/textbytes.h"
#include "hid.h"

namespace velmora {

namespace {

using GetHidGuidFn = void(__stdcall*)(GUID*);
using GetAttributesFn = BOOLEAN(__stdcall*)(HANDLE, HIDD_ATTRIBUTES*);
using GetStringFn = BOOLEAN(__stdcall*)(HANDLE, PVOID, ULONG);
using GetFeatureFn = BOOLEAN(__stdcall*)(HANDLE, PVOID, ULONG);
using SetFeatureFn = BOOLEAN(__stdcall*)(HANDLE, PVOID, ULONG);
using GetPreparsedDataFn = BOOLEAN(__stdcall*)(HANDLE, PHIDP_PREPARSED_DATA*);
using FreePreparsedDataFn = BOOLEAN(__stdcall*)(PHIDP_PREPARSED_DATA);
using GetCapsFn = NTSTATUS(__stdcall*)(PHIDP_PREPARSED_DATA, HIDP_CAPS*);

// The six entry points the program needs, and the three that tell a device's
// feature report length (optional: without them reports go out as they are).
struct HidDll {
  GetHidGuidFn GetHidGuid = nullptr;
  GetAttributesFn GetAttributes = nullptr;
  GetStringFn GetManufacturerString = nullptr;
  GetStringFn GetProductString = nullptr;
  GetFeatureFn GetFeature = nullptr;
  SetFeatureFn SetFeature = nullptr;
  GetPreparsedDataFn GetPreparsedData = nullptr;
  FreePreparsedDataFn FreePreparsedData = nullptr;
  GetCapsFn GetCaps = nullptr;
};

template <typename Fn>
bool Resolve(HMODULE module, const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return out != nullptr;
}

constexpr ULONG kStringBytes = 512;  // 256 UTF-16 units

class WindowsHidDevice : public HidDevice {
 public:
  WindowsHidDevice(const HidDll& dll, HANDLE handle) : dll_(dll), handle_(handle) {
    PHIDP_PREPARSED_DATA data = nullptr;
    if (dll_.GetPreparsedData && dll_.GetCaps && dll_.FreePreparsedData &&
        dll_.GetPreparsedData(handle_, &data)) {
      HIDP_CAPS caps{};
      if (dll_.GetCaps(data, &caps) == HIDP_STATUS_SUCCESS)
        featureLength_ = caps.FeatureReportByteLength;
      dll_.FreePreparsedData(data);
    }
  }
  ~WindowsHidDevice() override { CloseHandle(handle_); }

  bool GetAttributes(HidAttributes& out) override {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!dll_.GetAttributes(handle_, &attributes)) return false;
    out = HidAttributes{};
    out.vendorId = attributes.VendorID;
    out.productId = attributes.ProductID;
    out.versionNumber = attributes.VersionNumber;
    return true;
  }

  bool GetManufacturerString(std::u32string& out) override {
    return ReadString(dll_.GetManufacturerString, out);
  }
  bool GetProductString(std::u32string& out) override {
    return ReadString(dll_.GetProductString, out);
  }

  // Windows takes a feature report only at the device's feature report length.
  // HidD_GetFeature says only whether a reply came; the class driver's own request also
  // says how many bytes the device sent, so a short reply is seen as short.
  bool GetFeature(uint8_t* buffer, std::size_t& length) override {
    if (length == 0) return false;
    const std::size_t wire = featureLength_ > 0 ? featureLength_ : length;
    std::vector<uint8_t> report(wire, 0);
    report[0] = buffer[0];
    DWORD returned = 0;
    if (!DeviceIoControl(handle_, IOCTL_HID_GET_FEATURE, report.data(), static_cast<DWORD>(wire),
                         report.data(), static_cast<DWORD>(wire), &returned, nullptr)) {
      return false;
    }
    length = FeatureReplyLength(buffer[0], returned, std::min(length, wire));
    std::copy(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(length), buffer);
    return true;
  }

  bool SetFeature(const uint8_t* buffer, std::size_t length) override {
    if (length == 0) return false;
    std::vector<uint8_t> report(buffer, buffer + length);
    if (report.size() < featureLength_) report.resize(featureLength_, 0);
    return dll_.SetFeature(handle_, report.data(), static_cast<ULONG>(report.size())) != FALSE;
  }

 private:
  bool ReadString(GetStringFn read, std::u32string& out) {
    wchar_t text[kStringBytes / sizeof(wchar_t)] = {};
    if (!read(handle_, text, kStringBytes)) return false;
    out = FromWide(text, kStringBytes / sizeof(wchar_t));
    return true;
  }

  HidDll dll_;  // a copy: a device may outlive the function table
  HANDLE handle_;
  std::size_t featureLength_ = 0;
};

class WindowsHidFunctions : public HidFunctions {
 public:
  // HID.DLL stays loaded until the program ends.
  bool Load() override {
    if (loaded_) return true;
    HMODULE module = LoadLibraryA("HID.DLL");
    if (!module) return false;
    HidDll dll;
    const bool complete = Resolve(module, "HidD_GetHidGuid", dll.GetHidGuid) &&
                          Resolve(module, "HidD_GetAttributes", dll.GetAttributes) &&
                          Resolve(module, "HidD_GetManufacturerString", dll.GetManufacturerString) &&
                          Resolve(module, "HidD_GetProductString", dll.GetProductString) &&
                          Resolve(module, "HidD_GetFeature", dll.GetFeature) &&
                          Resolve(module, "HidD_SetFeature", dll.SetFeature);
    if (!complete) return false;
    Resolve(module, "HidD_GetPreparsedData", dll.GetPreparsedData);
    Resolve(module, "HidD_FreePreparsedData", dll.FreePreparsedData);
    Resolve(module, "HidP_GetCaps", dll.GetCaps);
    dll_ = dll;
    loaded_ = true;
    return true;
  }

  std::vector<HidDeviceInfo> Enumerate() override {
    std::vector<HidDeviceInfo> devices;
    if (!loaded_) return devices;
    GUID guid;
    dll_.GetHidGuid(&guid);
    HDEVINFO set =
        SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return devices;
    for (DWORD index = 0;; ++index) {
      SP_DEVICE_INTERFACE_DATA data{};
      data.cbSize = sizeof data;
      if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data)) break;
      DWORD required = 0;
      SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
      if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
      std::vector<uint8_t> storage(required);
      auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
      detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
      if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr))
        continue;
      const std::size_t pathBytes = required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
      HidDeviceInfo info;
      info.path.assign(detail->DevicePath, strnlen(detail->DevicePath, pathBytes));
      // The path names the IDs ("vid_16c0&pid_05df"); only where it does not is the
      // interface opened to ask.
      if (!IdsFromInterfacePath(info.path, info.vendorId, info.productId)) ReadIds(info);
      devices.push_back(std::move(info));
    }
    SetupDiDestroyDeviceInfoList(set);
    return devices;
  }

  std::unique_ptr<HidDevice> Open(const std::string& path, bool exclusive) override {
    if (!loaded_) return nullptr;
    const DWORD share = exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<WindowsHidDevice>(dll_, handle);
  }

 private:
  // Attributes can be read without read or write access, so the listing also sees
  // devices that Windows keeps for itself (keyboards, mice).
  void ReadIds(HidDeviceInfo& info) {
    HANDLE handle = CreateFileA(info.path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (dll_.GetAttributes(handle, &attributes)) {
      info.vendorId = attributes.VendorID;
      info.productId = attributes.ProductID;
    }
    CloseHandle(handle);
  }

  HidDll dll_;
  bool loaded_ = false;
};

}  // namespace

std::unique_ptr<HidFunctions> CreateSystemHidFunctions() {
  return std::make_unique<WindowsHidFunctions>();
}

}  // namespace velmora
