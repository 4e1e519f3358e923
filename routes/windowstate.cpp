#include "windowstate.h"

namespace velmora {

WindowState ComputeWindowState(const WindowInputs& in) {
  WindowState s;
  const bool routes = in.routeCount > 0;
  const bool device = !in.devicePathEmpty;
  s.open = !in.modified;
  s.close = !in.modified;
  s.save = in.modified;
  s.reset = in.modified;
  s.saveAs = routes;
  // A second write while one runs would share the one report buffer and handle.
  s.transmit = !in.modified && routes && device && !in.deviceBusy;
  s.recive = !in.modified && device;
  s.grid = routes;
  s.del = routes;
  s.add = true;
  s.up = routes && in.cursorRow > 1;
  s.down = routes && in.cursorRow < in.routeCount;

  s.bootMode = in.bootLoader;
  if (s.bootMode) {
    s.saveAs = s.save = s.reset = s.open = s.close = false;
    s.transmit = s.recive = s.del = s.add = s.up = s.down = false;
    s.progVisible = true;
  }
  s.progAllowed = s.bootMode && !in.deviceBusy;
  return s;
}

}  // namespace velmora
