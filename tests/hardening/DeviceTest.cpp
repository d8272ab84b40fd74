// Strange device readings: the built item falls back as it should. Pictures
// are compared slot by slot with paints of the same strip.
#include <gtest/gtest.h>

#include "StripHost.h"

namespace {

using namespace hardening;

const int kStorageTap = 105;

class Device : public ::testing::Test {
protected:
  void SetUp() override {
    SeedDevice(false);
    ASSERT_TRUE(host.Load()) << host.error;
    clock = host.PaintAndCapture();  // no card: the storage slot shows the clock
    SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
    host.Tap(kStorageTap);  // past the clock to the card
    host.Tap(kStorageTap);
  }
  void TearDown() override {
    host.Unload();
    SimResetDevice();  // as the other test programs expect to find it
  }
  void QueryUnchanged() {  // and the messages it brings
    EXPECT_EQ(0, host.Query());
    PumpMessages();
  }
  bool ShowsClock() { return !host.Capture().Differences(clock, kStorageSlot); }

  StripHost host;
  Strip clock;
};

TEST_F(Device, CardRemovedWhileSelectedFallsBackToTheClock) {
  SimAddCard(L"Second", 64ull << 20, 48ull << 20);
  ASSERT_FALSE(ShowsClock());
  ASSERT_TRUE(SimRemoveCard(L"Storage Card"));
  QueryUnchanged();
  EXPECT_TRUE(ShowsClock());
  // Stepping on reaches the clock after at most the remaining card.
  bool sawClock = false;
  for (int i = 0; i < 3 && !sawClock; i++)
    host.Tap(kStorageTap), sawClock = ShowsClock();
  EXPECT_TRUE(sawClock);
}

// A lasting failure of every reading is painted once, not at every query;
// its "N/A" labels are item_paint_tests'. An unreadable card shows the clock.
TEST_F(Device, EveryProbeFailingAtOnceIsShownOnce) {
  SimSetPowerQueryBytes(20);
  SimSetCardQueryFails(L"Storage Card", true);
  SimSetStoreQueryFails(true);
  QueryUnchanged();
  EXPECT_TRUE(ShowsClock());
  long paints = host.Paints();
  for (int i = 0; i < 3; i++)
    QueryUnchanged();
  EXPECT_EQ(paints, host.Paints()) << "a lasting failure is repainted";
}

// Init mode lasts 4000 ms after the notice, counted across the tick counter's wrap.
TEST_F(Device, InitModeAcrossTheTickCounterWrap) {  // the card shown does not follow the time
  SimSetTickCount(0xFFFFFFFFu - 999u);
  Strip live = host.PaintAndCapture();
  SendMessageW(host.Item(), WM_DASHBOARD_WAKEUP, 0, 0);
  PumpMessages();
  Strip init = host.Capture();
  EXPECT_NE(0, init.Differences(live)) << "the wake-up did not start init mode";
  SimSetTickCount(3000);
  EXPECT_EQ(0, host.PaintAndCapture().Differences(init)) << "init mode ended before 4000 ms";
  SimSetTickCount(3001);
  EXPECT_EQ(0, host.PaintAndCapture().Differences(live));
}

}  // namespace
