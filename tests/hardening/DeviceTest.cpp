// Strange device readings: the built item paints without crashing, falls back
// as it should, and keeps its labels readable. Pictures are compared slot by
// slot with paints of the same strip.
#include <gtest/gtest.h>

#include <string>

#include "SimulatedDevice.h"
#include "StripHost.h"

namespace {

using namespace hardening;

const int kDialBottom = 27;  // rows above the label band: dial and needle only
const int kBatteryTap = 35, kStorageTap = 105;

class Device : public ::testing::Test {
protected:
  void SetUp() override {
    SimResetDevice();
    SimSetPower(AC_LINE_OFFLINE, 80, 7380, 3900);
    SimSetProgramMemory(32ull << 20, 12ull << 20);
    ASSERT_TRUE(host.Load()) << host.error;
    clock = host.PaintAndCapture();  // no card: the storage slot shows the clock
  }
  void TearDown() override {
    host.Unload();
    SimResetDevice();
  }
  Strip TapStorage() {
    host.Tap(kStorageTap);
    return host.Capture();
  }
  Strip PaintPower(BYTE ac, BYTE percent, DWORD seconds) {
    SimSetPower(ac, percent, seconds, 3900);
    return host.PaintAndCapture();
  }

  StripHost host;
  Strip clock;
};

TEST_F(Device, CardRemovedWhileSelectedFallsBackToTheClock) {
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  SimAddCard(L"Second", 64ull << 20, 48ull << 20);
  host.Tap(kStorageTap);
  ASSERT_FALSE(TapStorage().SlotEquals(clock, kStorageSlot));
  ASSERT_TRUE(SimRemoveCard(L"Storage Card"));
  EXPECT_EQ(0, host.Query());
  PumpMessages();
  EXPECT_TRUE(host.PaintAndCapture().SlotEquals(clock, kStorageSlot));
  // Stepping on reaches the clock after at most the remaining card.
  bool sawClock = false;
  for (int i = 0; i < 3 && !sawClock; i++) sawClock = TapStorage().SlotEquals(clock, kStorageSlot);
  EXPECT_TRUE(sawClock);
  EXPECT_GT(TapStorage().LabelInk(kStorageSlot), 0);
}

// A reading that fails shows "N/A" without a needle, never a value that is
// not true: no empty battery, no memory without its object store.
TEST_F(Device, EveryProbeFailingAtOnceIsShownOnce) {
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  host.Tap(kStorageTap);
  TapStorage();
  Strip zeroPercent = PaintPower(AC_LINE_OFFLINE, 0, 7380);
  SimSetStore(0, 0);
  Strip noStore = PaintPower(AC_LINE_OFFLINE, 80, 7380);
  SimSetStore(16u << 20, 8u << 20);

  SimSetPowerQueryBytes(20);
  SimSetCardQueryFails(L"Storage Card", true);
  SimSetStoreQueryFails(true);
  EXPECT_EQ(0, host.Query());
  PumpMessages();
  Strip failing = host.PaintAndCapture();
  EXPECT_FALSE(failing.SlotEquals(zeroPercent, kBatterySlot)) << "a failed power query reads 0 %";
  EXPECT_TRUE(failing.SlotEquals(clock, kStorageSlot)) << "an unreadable card shows the clock";
  EXPECT_FALSE(failing.SlotEquals(noStore, kMemorySlot)) << "a failed store query counts zeros";
  for (Slot slot : {kBatterySlot, kMemorySlot}) EXPECT_GT(failing.LabelInk(slot), 0);
  long paints = host.Paints();
  for (int i = 0; i < 3; i++) {
    DWORD cyp = 0;
    EXPECT_EQ(0, host.Query(&cyp));
    EXPECT_EQ(42u, cyp);
    PumpMessages();
  }
  EXPECT_EQ(paints, host.Paints()) << "a lasting failure is repainted";
}

// Init mode lasts 4000 ms after the notice, counted across the tick counter's wrap.
TEST_F(Device, InitModeAcrossTheTickCounterWrap) {
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  host.Tap(kStorageTap);
  TapStorage();  // a card, not the clock: the reference does not follow the time
  SimSetTickCount(0xFFFFFFFFu - 999u);
  Strip live = host.PaintAndCapture();
  SendMessageW(host.Item(), WM_DASHBOARD_WAKEUP, 0, 0);
  PumpMessages();
  Strip init = host.Capture();
  for (Slot slot : {kBatterySlot, kStorageSlot, kMemorySlot}) {  // "B Init", "S Init", "M Init"
    EXPECT_FALSE(init.SlotEquals(live, slot)) << "slot at " << slot.left;
    EXPECT_GT(init.LabelInk(slot), 0) << "slot at " << slot.left;
  }
  SimSetTickCount(3000);
  EXPECT_TRUE(host.PaintAndCapture() == init) << "init mode ended before 4000 ms";
  SimSetTickCount(3001);
  Strip after = host.PaintAndCapture();
  EXPECT_TRUE(after == live) << after.Differences(live) << " pixels differ";
}

}  // namespace
