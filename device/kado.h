// The КАДО's two USB identities: one vendor, one product ID for route data and one for
// its boot loader. Everything that tells the КАДО or its boot loader apart asks here.
#pragma once
#include <cstdint>

namespace velmora {

constexpr uint16_t KadoVendorId = 0x16C0;
constexpr uint16_t KadoProductId = 0x05DF;
constexpr uint16_t KadoBootProductId = 0x05DE;

// Either identity: the device the program writes into.
constexpr bool IsKado(uint16_t vendorId, uint16_t productId) {
  return vendorId == KadoVendorId && (productId == KadoProductId || productId == KadoBootProductId);
}

// The boot-loader identity, which takes firmware and no route data.
constexpr bool IsBootLoader(uint16_t vendorId, uint16_t productId) {
  return vendorId == KadoVendorId && productId == KadoBootProductId;
}

}  // namespace velmora
