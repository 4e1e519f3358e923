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
    in.bootLoader = true;
    const WindowState s = ComputeWindowState(in);
    EXPECT_TRUE(s.bootMode);
    EXPECT_TRUE(s.progVisible);
    EXPECT_TRUE(s.progAllowed);
    EXPECT_FALSE(s.open || s.close || s.save || s.saveAs || s.reset || s.transmit ||
                 s.recive || s.del || s.add || s.up || s.down);
  }
}

TEST(WindowState, BusyDeviceBlocksASecondOperation) {
  WindowInputs in = Inputs(false, 3, 2, true);
  in.deviceBusy = true;
  WindowState s = ComputeWindowState(in);
  EXPECT_FALSE(s.transmit);
  EXPECT_FALSE(s.progAllowed);
  EXPECT_TRUE(s.open) << "busy touches only the device operations";
  in.bootLoader = true;
  s = ComputeWindowState(in);
  EXPECT_TRUE(s.progVisible);
  EXPECT_FALSE(s.progAllowed);
}
