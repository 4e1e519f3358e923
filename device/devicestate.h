// Device state and device-operation state, owned by one object for the whole run.
#pragma once
#include <cstdint>
#include <string>

#include "hid.h"

namespace velmora {

struct DeviceState {
  std::string DevicePath;               // last КАДО that arrived; empty when none
  HidAttributes DeviceAttributes;       // zero after a removal and at start
  std::string VendorName, ProductName;  // CP1251
  bool DeviceLinkStarted = false;
  bool BootMode() const {
    return IsBootLoader(DeviceAttributes.vendorId, DeviceAttributes.productId);
  }
};

struct OperationState {
  bool DeviceBusy = false;
  bool Writing = false;          // between the first and the last report of a device write
  int64_t TransferStartMs = 0;   // Clock::MonotonicMs() when the current write began
  int BytesWritten = 0;
  int TransferCount = 0;
};

struct DeviceContext {
  DeviceState device;
  OperationState operation;
};

}  // namespace velmora
