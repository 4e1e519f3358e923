// The route transfer (F9): image, open, block write, outcome.
#pragma once
#include "kadowrite.h"
#include "routeimage.h"
#include "routes/routerecord.h"

namespace velmora {

// The whole transfer; returns the write's status (0 only for "Загрузка окончена"),
// or kStatusNotFound when no device came, kStatusAccessDenied when it did not open,
// kStatusInUse when another device operation or program holds the device, and
// kStatusWrongIdentity when the device is no КАДО in its normal identity.
int TransmitRoutes(DeviceEnv& env, const StoredRouteList& stored, WorkBuffer& work);

}  // namespace velmora
