// The КАДО's feature-report protocol: parameter report, numbered data blocks, closing report.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/clock.h"
#include "base/textbytes.h"  // the reports' fields are little-endian
#include "devicehost.h"
#include "hid.h"

namespace velmora {

constexpr int kStatusOk = 0;
constexpr int kStatusAccessDenied = 1;
constexpr int kStatusNotFound = 2;
constexpr int kStatusIoError = 5;
constexpr int kStatusInUse = 16;
constexpr int kStatusShortReply = -1;
constexpr int kStatusBlockTooLarge = -2;    // BlockSize above the 128-byte data area
constexpr int kStatusMemoryTooSmall = -3;   // MemorySize below the end of the range
constexpr int kStatusWrongIdentity = -4;    // the opened device is not the identity the data is for

constexpr std::size_t kReportBufferSize = 132;
constexpr int kMaxBlockSize = 128;
using ReportBuffer = std::array<uint8_t, kReportBufferSize>;

std::string DeviceErrorText(int status);

int GetFeatureReport(HidDevice& device, uint8_t reportId, uint8_t* buffer, std::size_t& length);
int SetFeatureReport(HidDevice& device, const uint8_t* buffer, std::size_t length);

struct ParamReply {
  ReportBuffer bytes{};
  std::size_t length = 0;
  uint16_t BlockSize() const;
  int32_t MemorySize() const;
};

// "***Ошибка чтения параметров КАДО: <text of status>\n" through LogMessage: the first
// step of every write, and how a write that cannot begin is reported.
void LogParamReadFailure(DeviceHost& host, int status);

// nullopt when the read failed; the failure has been logged through `host`.
std::optional<ParamReply> ReadDeviceParams(HidDevice& device, DeviceHost& host);

// " (v1.05)" from bytes 5 and 6 of the reply.
std::string VersionText(const uint8_t* reply);

// Writes image[first .. end) after alignment to the device's block size; the bytes past
// `imageSize` are sent as 0xFF. Each call owns its report buffer. After every block the
// offset reached goes into `*reached` (when given), then to host.ReportProgress.
int WriteDeviceMemory(HidDevice& device, const uint8_t* image, std::size_t imageSize,
                      int first, int end, DeviceHost& host, Clock& clock, int* reached = nullptr);

}  // namespace velmora
