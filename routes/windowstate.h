// The enabling rules of the main window, as one pure function of the program's state.
#pragma once
namespace velmora {

struct WindowInputs {
  bool modified = false;
  int routeCount = 0;
  int cursorRow = 1;
  bool devicePathEmpty = true;
  bool bootLoader = false;   // the device attached is the КАДО in its boot-loader identity
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
