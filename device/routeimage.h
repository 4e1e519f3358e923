// The route image written into the КАДО: header with checksums, index, tagged records.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "base/messagesink.h"
#include "routes/routerecord.h"

namespace velmora {

constexpr std::size_t kWorkBufferSize = 65536;
constexpr int kMaxRouteImageSize = 8192;
using WorkBuffer = std::array<uint8_t, kWorkBufferSize>;

struct RouteImageLayout {
  int routes = 0;   // N, the routes that fit
  int length = 0;   // L, a multiple of 32, at most 8192
  int wanted = 0;   // the length all stored.count routes would need; L when they all fit
};

// Lays the first stored.count routes out in `work` (all of it filled with 0xFF first),
// dropping routes from the end until the image fits into 8192 bytes.
RouteImageLayout BuildRouteImage(const StoredRouteList& stored, WorkBuffer& work);

// "Поместилось только N маршрутов" in red when the image left routes of `stored` out.
void ReportRoutesLeftOut(const RouteImageLayout& layout, const StoredRouteList& stored,
                         MessageSink& sink);

// What BuildRouteImage gives for `stored`, without laying the image out: the same
// capacity rule, so a gauge built on it agrees with the transfer.
RouteImageLayout MeasureRouteImage(const StoredRouteList& stored);

}  // namespace velmora
