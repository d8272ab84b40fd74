// Strange device readings: the built item paints without crashing, falls back
// as it should, and keeps its labels readable. Pictures are compared slot by
// slot with paints of the same strip.
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
  // A refresh query that reports no change, and the messages it brings.
  void QueryUnchanged() {
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
  host.Paint();
  EXPECT_TRUE(ShowsClock());
  // Stepping on reaches the clock after at most the remaining card.
  bool sawClock = false;
  for (int i = 0; i < 3 && !sawClock; i++)
    host.Tap(kStorageTap), sawClock = ShowsClock();
  EXPECT_TRUE(sawClock);
}

// A reading that fails shows "N/A" without a needle, never a value that is
// not true: no empty battery, no memory without its object store.
TEST_F(Device, EveryProbeFailingAtOnceIsShownOnce) {
  SimSetPower(AC_LINE_OFFLINE, 0, 7380, 3900);
  Strip zeroPercent = host.PaintAndCapture();
  SimSetPower(AC_LINE_OFFLINE, 80, 7380, 3900);
  SimSetStore(0, 0);
  Strip noStore = host.PaintAndCapture();
  SimSetStore(16u << 20, 8u << 20);

  SimSetPowerQueryBytes(20);
  SimSetCardQueryFails(L"Storage Card", true);
  SimSetStoreQueryFails(true);
  QueryUnchanged();
  Strip failing = host.PaintAndCapture();
  EXPECT_NE(0, failing.Differences(zeroPercent, kBatterySlot)) << "a failed power query reads 0 %";
  EXPECT_NE(0, failing.Differences(noStore, kMemorySlot)) << "a failed store query counts zeros";
  EXPECT_GT(failing.LabelInk(kBatterySlot) * failing.LabelInk(kMemorySlot), 0);
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
