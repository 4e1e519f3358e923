// The route transfer (F9): image, open, block write, outcome.
#pragma once
#include "../routes/clock.h"
#include "../routes/routerecord.h"
#include "devicehost.h"
#include "devicestate.h"
#include "hid.h"
#include "routeimage.h"

namespace velmora {

struct DeviceEnv {
  HidFunctions& hid;
  DeviceContext& context;
  DeviceHost& host;
  Clock& clock;
  const DateTimeFormat& format;
};

// The whole transfer; returns the write's status (0 only for "Загрузка окончена"),
// or kStatusNotFound when no device came, kStatusAccessDenied when it did not open,
// and kStatusInUse when another device operation runs.
int TransmitRoutes(DeviceEnv& env, const StoredRouteList& stored, WorkBuffer& work);

}  // namespace velmora
