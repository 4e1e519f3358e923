#include <gtest/gtest.h>

#include "routes/windowstate.h"

using namespace velmora;

namespace {
WindowInputs Inputs(bool modified, int routes, int cursor, bool device) {
  WindowInputs in;
  in.modified = modified;
  in.routeCount = routes;
  in.cursorRow = cursor;
  in.devicePathEmpty = !device;
  return in;
}
}  // namespace

TEST(WindowState, EmptyCleanTableAtStart) {
  const WindowState s = ComputeWindowState(Inputs(false, 0, 1, false));
  EXPECT_TRUE(s.open);
  EXPECT_TRUE(s.close);
  EXPECT_TRUE(s.add);
  EXPECT_FALSE(s.save);
  EXPECT_FALSE(s.reset);
  EXPECT_FALSE(s.saveAs);
  EXPECT_FALSE(s.transmit);
  EXPECT_FALSE(s.recive);
  EXPECT_FALSE(s.grid);
  EXPECT_FALSE(s.del);
  EXPECT_FALSE(s.up);
  EXPECT_FALSE(s.down);
  EXPECT_FALSE(s.bootMode);
  EXPECT_FALSE(s.progVisible);
}

TEST(WindowState, ModifiedTableEnablesSavingAndBlocksOpenCloseTransfer) {
  const WindowState s = ComputeWindowState(Inputs(true, 1, 1, true));
  EXPECT_TRUE(s.save);
  EXPECT_TRUE(s.reset);
  EXPECT_TRUE(s.saveAs);
  EXPECT_TRUE(s.del);
  EXPECT_TRUE(s.grid);
  EXPECT_FALSE(s.open);
  EXPECT_FALSE(s.close);
  EXPECT_FALSE(s.transmit);
  EXPECT_FALSE(s.recive);
  EXPECT_FALSE(s.up);
  EXPECT_FALSE(s.down);
}

TEST(WindowState, EmptyModifiedTable) {
  const WindowState s = ComputeWindowState(Inputs(true, 0, 1, true));
  EXPECT_TRUE(s.save);
  EXPECT_TRUE(s.reset);
  EXPECT_FALSE(s.saveAs);
  EXPECT_FALSE(s.del);
  EXPECT_FALSE(s.grid);
  EXPECT_TRUE(s.add);
}

TEST(WindowState, TransmitNeedsCleanRoutesAndADevice) {
  EXPECT_TRUE(ComputeWindowState(Inputs(false, 2, 1, true)).transmit);
  EXPECT_TRUE(ComputeWindowState(Inputs(false, 2, 1, true)).recive);
  EXPECT_FALSE(ComputeWindowState(Inputs(false, 2, 1, false)).transmit);
  EXPECT_FALSE(ComputeWindowState(Inputs(false, 0, 1, true)).transmit);
  EXPECT_TRUE(ComputeWindowState(Inputs(false, 0, 1, true)).recive);
  EXPECT_FALSE(ComputeWindowState(Inputs(true, 2, 1, true)).transmit);
  // Any HID device path enables it; only the path is tested.
  WindowInputs other = Inputs(false, 2, 1, true);
  other.vendorId = 0x046D;
  other.productId = 0xC077;
  EXPECT_TRUE(ComputeWindowState(other).transmit);
}

TEST(WindowState, UpAndDownFollowTheCursorRow) {
  WindowState s = ComputeWindowState(Inputs(false, 3, 1, false));
  EXPECT_FALSE(s.up);
  EXPECT_TRUE(s.down);
  s = ComputeWindowState(Inputs(false, 3, 2, false));
  EXPECT_TRUE(s.up);
  EXPECT_TRUE(s.down);
  s = ComputeWindowState(Inputs(false, 3, 3, false));
  EXPECT_TRUE(s.up);
  EXPECT_FALSE(s.down);
}

TEST(WindowState, BootModeDisablesEveryRouteAction) {
  for (bool modified : {false, true}) {
    WindowInputs in = Inputs(modified, 3, 2, true);
    in.vendorId = 0x16C0;
    in.productId = 0x05DE;
    const WindowState s = ComputeWindowState(in);
    EXPECT_TRUE(s.bootMode);
    EXPECT_TRUE(s.progVisible);
    EXPECT_TRUE(s.progAllowed);
    EXPECT_FALSE(s.open || s.close || s.save || s.saveAs || s.reset || s.transmit ||
                 s.recive || s.del || s.add || s.up || s.down);
  }
}

TEST(WindowState, NormalKadoIsNotBootMode) {
  WindowInputs in = Inputs(false, 3, 2, true);
  in.vendorId = 0x16C0;
  in.productId = 0x05DF;
  const WindowState s = ComputeWindowState(in);
  EXPECT_FALSE(s.bootMode);
  EXPECT_FALSE(s.progVisible);
  EXPECT_TRUE(s.transmit);
  in.vendorId = 0x16C1;
  in.productId = 0x05DE;
  EXPECT_FALSE(ComputeWindowState(in).bootMode);
}

TEST(WindowState, BusyDeviceBlocksASecondOperation) {
  WindowInputs in = Inputs(false, 3, 2, true);
  in.deviceBusy = true;
  WindowState s = ComputeWindowState(in);
  EXPECT_FALSE(s.transmit);
  EXPECT_FALSE(s.progAllowed);
  EXPECT_TRUE(s.open) << "busy touches only the device operations";
  in.vendorId = 0x16C0;
  in.productId = 0x05DE;
  s = ComputeWindowState(in);
  EXPECT_TRUE(s.progVisible);
  EXPECT_FALSE(s.progAllowed);
}
