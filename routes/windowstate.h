// The enabling rules of the main window, as one pure function of the program's state.
#pragma once
#include <cstdint>

namespace velmora {

struct WindowInputs {
  bool modified = false;
  int routeCount = 0;
  int cursorRow = 1;
  bool devicePathEmpty = true;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  bool deviceBusy = false;
};

struct WindowState {
  bool bootMode = false;
  bool open = false, close = false, save = false, saveAs = false, reset = false;
  bool transmit = false, recive = false;
  bool grid = false, del = false, add = false, up = false, down = false;
  bool progVisible = false;   // aProg; its enabling comes from the firmware listing
  bool progAllowed = false;   // false while a device operation runs
};

WindowState ComputeWindowState(const WindowInputs& in);

}  // namespace velmora
