// One write into the КАДО, as both device operations make it: the route transfer and the
// firmware update differ only in the identity they write to, their bytes and their texts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "base/clock.h"
#include "devicehost.h"
#include "devicestate.h"
#include "hid.h"

namespace velmora {

struct DeviceEnv {
  HidFunctions& hid;
  DeviceContext& context;
  DeviceHost& host;
  Clock& clock;
  const DateTimeFormat& format;
};

// What goes into the device: image[0 .. end) after the device's block alignment, 0xFF past
// `size`. A null image leaves the device unopened ("КАДО не открыто").
struct KadoBytes {
  const uint8_t* image = nullptr;
  std::size_t size = 0;
  int end = 0;
};

// What an operation gives the write; the texts are UTF-8.
struct KadoWrite {
  bool bootLoader = false;        // the identity the bytes are for
  bool countsTransfers = false;   // a complete write counts in TransferCount and panel 1
  // Shown as the write begins, before TransferStartTime is taken.
  StatusPanel startPanel = kPanelStatus;
  const char* startText = "";
  const char* done = "";     // panel 2 after a complete write
  const char* failed = "";   // panel 2, and behind "***" the red line, after a failed one
  // When the opened device is not that identity: panel 2, and the red line for the КАДО in
  // its other identity or for another device.
  const char* wrongIdentity = "";
  const char* otherIdentityLine = "";
  const char* notKadoLine = "";
};

// The operation's own steps, each ending it with a non-zero status of its own (having said
// why): `check` runs before the device is claimed, `prepare` once DeviceBusy is set, and
// hands over the bytes, which must stay valid until WriteKado returns.
struct KadoSteps {
  std::function<int()> check;
  std::function<int(KadoBytes&)> prepare;
};

// A failed step as every one is reported: its text in panel 2 and behind "***" in red.
void ReportFailure(DeviceHost& host, const char* utf8);

// The whole operation around the caller's steps: refused with kStatusInUse (and nothing
// shown) while another device operation runs; DeviceBusy from after `check` to the end; the
// device locked, opened without sharing and its identity checked (kStatusAccessDenied,
// kStatusInUse, kStatusWrongIdentity: nothing has been sent); then the block write with its
// progress and the outcome. Returns the write's status, 0 only for `done`.
int WriteKado(DeviceEnv& env, const KadoWrite& write, const KadoSteps& steps);

}  // namespace velmora
