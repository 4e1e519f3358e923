// The КАДО's two USB identities, which every caller tells apart through kado.h.
#include <gtest/gtest.h>

#include <string>

#include "device/kado.h"

namespace velmora {
namespace {

TEST(KadoIdentity, OnlyTheVendorsTwoProductIdsAreTheKado) {
  struct Case {
    uint16_t vendorId, productId;
    bool kado, bootLoader;
  };
  const Case cases[] = {
      {0x16C0, 0x05DF, true, false},    // route data
      {0x16C0, 0x05DE, true, true},     // boot loader
      {0x16C1, 0x05DE, false, false},   // the boot loader's product ID from another vendor
      {0x16C0, 0x05DD, false, false},   // another product of the vendor
      {0x046D, 0xC077, false, false},   // a mouse
      {0x0000, 0x0000, false, false},   // attributes that could not be read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.vendorId) + ":" + std::to_string(c.productId));
    EXPECT_EQ(IsKado(c.vendorId, c.productId), c.kado);
    EXPECT_EQ(IsBootLoader(c.vendorId, c.productId), c.bootLoader);
  }
}

}  // namespace
}  // namespace velmora
