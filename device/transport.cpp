#include "transport.h"

#include <algorithm>
#include <cstring>

#include "base/cp1251.h"
#include "timerres.h"

namespace velmora {

namespace {

constexpr uint8_t kParamReportId = 1;
constexpr uint8_t kBlockReportId = 2;
constexpr uint8_t kClosingReportId = 1;
constexpr std::size_t kMinParamReply = 7;
constexpr std::size_t kBlockHeader = 4;
constexpr int kBlockPauseUs = 1000;

void LogBlockWriteFailure(DeviceHost& host, int status) {
  host.LogMessage(Cp("***Ошибка записи блока данных: ") + DeviceErrorText(status) + "\n");
}

// One read of the parameter report into `reply`; the length handed back never exceeds
// the buffer, whatever the backend claims.
int ReadParamReport(HidDevice& device, ParamReply& reply) {
  reply.length = reply.bytes.size();
  int status = GetFeatureReport(device, kParamReportId, reply.bytes.data(), reply.length);
  reply.length = std::min(reply.length, reply.bytes.size());
  if (status != kStatusOk) reply.length = 0;
  return status;
}

}  // namespace

void LogParamReadFailure(DeviceHost& host, int status) {
  host.LogMessage(Cp("***Ошибка чтения параметров КАДО: ") + DeviceErrorText(status) + "\n");
}

std::string DeviceErrorText(int status) {
  switch (status) {
    case kStatusAccessDenied:
      return "Access to device denied";
    case kStatusNotFound:
      return "The specified device was not found";
    case kStatusIoError:
      return "Communication error with device";
    case kStatusInUse:
      return "The device is used by another application";
    case kStatusBlockTooLarge:
      return "Block size not supported by the program";
    case kStatusMemoryTooSmall:
      return "Device memory too small";
    default:
      return "Unknown USB error " + std::to_string(status);
  }
}

int GetFeatureReport(HidDevice& device, uint8_t reportId, uint8_t* buffer, std::size_t& length) {
  if (length == 0) return kStatusIoError;
  buffer[0] = reportId;
  return device.GetFeature(buffer, length) ? kStatusOk : kStatusIoError;
}

int SetFeatureReport(HidDevice& device, const uint8_t* buffer, std::size_t length) {
  return device.SetFeature(buffer, length) ? kStatusOk : kStatusIoError;
}

uint16_t ParamReply::BlockSize() const {
  return static_cast<uint16_t>(DecodeLittleEndian(&bytes[1], 2));
}

int32_t ParamReply::MemorySize() const {
  return static_cast<int32_t>(DecodeLittleEndian(&bytes[3], 4));
}

std::optional<ParamReply> ReadDeviceParams(HidDevice& device, DeviceHost& host) {
  ParamReply reply;
  int status = ReadParamReport(device, reply);
  if (status != kStatusOk) {
    LogParamReadFailure(host, status);
    return std::nullopt;
  }
  return reply;
}

std::string VersionText(const uint8_t* reply) {
  int v = 100 * static_cast<int8_t>(reply[5]) + static_cast<int8_t>(reply[6]);
  v += v < 1000 ? 1000 : 10000;
  std::string text = " (" + std::to_string(v) + ")";
  // The leading digit added above only fixes the width; it becomes the "v".
  text.insert(text.size() - 3, ".");
  text[2] = 'v';
  return text;
}

int WriteDeviceMemory(HidDevice& device, const uint8_t* image, std::size_t imageSize,
                      int first, int end, DeviceHost& host, Clock& clock, int* reached) {
  // The write's own buffer: a parameter read of a device arrival that runs inside
  // ReportProgress cannot touch it.
  ParamReply reply;
  int status = ReadParamReport(device, reply);
  if (status != kStatusOk) {
    LogParamReadFailure(host, status);
    return status;
  }
  if (reply.length < kMinParamReply) {
    host.LogMessage(Cp("***Не все байты сообщения переданы из КАДО (") +
                    std::to_string(reply.length) + Cp(" из ") + std::to_string(kMinParamReply) +
                    ")\n");
    return kStatusShortReply;
  }

  const int blockSize = reply.BlockSize();
  const int32_t memorySize = reply.MemorySize();
  // A larger block does not fit the report's 128-byte data area.
  if (blockSize > kMaxBlockSize) {
    LogBlockWriteFailure(host, kStatusBlockTooLarge);
    return kStatusBlockTooLarge;
  }
  // Cutting the range would report success for an image the device only partly holds.
  if (memorySize < end) {
    LogBlockWriteFailure(host, kStatusMemoryTooSmall);
    return kStatusMemoryTooSmall;
  }

  // BlockSize 0 gives the mask -1: both offsets align to 0 and no block is sent.
  const int64_t mask = blockSize - 1;
  int64_t offset = static_cast<int64_t>(first) & ~mask;
  const int64_t stop = (static_cast<int64_t>(end) + mask) & ~mask;

  TimerResolutionGuard timerResolution;
  uint8_t* buffer = reply.bytes.data();
  const std::size_t reportLength = static_cast<std::size_t>(blockSize) + kBlockHeader;
  buffer[1] = 0;
  while (offset < stop) {
    buffer[0] = kBlockReportId;
    for (int i = 0; i < blockSize; ++i) {
      const int64_t at = offset + i;
      // Past the caller's image the device gets erased-flash bytes.
      buffer[kBlockHeader + i] =
          at >= 0 && static_cast<uint64_t>(at) < imageSize ? image[at] : 0xFF;
    }
    EncodeLittleEndian(&buffer[2], static_cast<uint32_t>(offset & 0xFFFF), 2);

    status = SetFeatureReport(device, buffer, reportLength);
    if (status != kStatusOk) {
      LogBlockWriteFailure(host, status);
      return status;
    }
    offset += blockSize;
    buffer[1] = static_cast<uint8_t>(buffer[1] + 1);
    const int count = static_cast<int>(std::min<int64_t>(offset, INT32_MAX));
    if (reached) *reached = count;
    host.ReportProgress(count);
    // The window's messages run inside the 1 ms pause, not on top of it.
    const int64_t pauseEnd = clock.MonotonicUs() + kBlockPauseUs;
    host.PumpEventsFor(kBlockPauseUs);
    clock.SleepUntilUs(pauseEnd);
  }

  // Byte 1 holds the block count; the rest is what the last block report carried.
  buffer[0] = kClosingReportId;
  SetFeatureReport(device, buffer, reportLength);
  return kStatusOk;
}

}  // namespace velmora
