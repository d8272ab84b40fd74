// Strange device readings: the item paints without crashing, falls back as
// documented, and its labels stay readable. Pictures are compared with
// reference paints of the same strip, slot by slot.
#include <gtest/gtest.h>

#include <string>

#include "SimulatedDevice.h"
#include "StripHost.h"

namespace {

using namespace hardening;

const int kDialBottom = 27;  // rows above the label band: dial and needle only
const Slot kStorageZone = {105, 140};
const Slot kBatteryZone = {35, 70};

class Device : public ::testing::Test {
protected:
  void SetUp() override {
    SimResetDevice();
    SimSetTickCount(1000000);
    SYSTEMTIME t = {2026, 12, 0, 7, 10, 10, 0, 0};
    SimSetLocalTime(t);
    SimSetPower(AC_LINE_OFFLINE, 80, 7380, 3900);
    SimSetStore(16u << 20, 8u << 20);
    SimSetProgramMemory(32ull << 20, 12ull << 20);
    ASSERT_TRUE(host.Load()) << host.error;
    clock = host.PaintAndCapture();  // no card: the storage slot shows the clock
  }
  void TearDown() override {
    host.Unload();
    SimResetDevice();
  }
  // Steps the storage slot to card `n` (1-based) from the state after load.
  void StepToCard(int n) {
    host.Tap(kStorageZone.left);  // the first tap after load goes to the clock
    for (int i = 0; i < n; i++) host.Tap(kStorageZone.left);
  }

  StripHost host;
  Strip clock;
};

TEST_F(Device, HundredCardsStepThroughAndRoundToTheClock) {
  for (int i = 0; i < 100; i++) {
    wchar_t name[32];
    _snwprintf(name, 32, L"Card %03d", i);
    SimAddCard(name, 256ull << 20, ULONGLONG(i + 1) << 20);
  }
  host.Tap(kStorageZone.left);
  EXPECT_TRUE(host.PaintAndCapture().SlotEquals(clock, kStorageSlot));
  Strip previous = clock, first;
  for (int i = 1; i <= 100; i++) {
    host.Tap(kStorageZone.left + i % 35);
    Strip now = host.Capture();
    if (i == 1) first = now;
    EXPECT_FALSE(now.SlotEquals(previous, kStorageSlot)) << "card " << i << " looks like the last";
    EXPECT_GT(now.LabelInk(kStorageSlot), 0) << "card " << i;
    previous = now;
  }
  host.Tap(kStorageZone.right - 1);
  EXPECT_TRUE(host.Capture().SlotEquals(clock, kStorageSlot)) << "after the last card";
  host.Tap(kStorageZone.right - 1);
  EXPECT_TRUE(host.Capture().SlotEquals(first, kStorageSlot)) << "round again to card 1";
}

TEST_F(Device, CardsAtTheLimitsOfNameAndSize) {
  std::wstring longName(259, L'n');
  SimAddCard(longName.c_str(), 64ull << 20, 32ull << 20);
  SimAddCard(L"Empty", 0, 0);
  SimAddCard(L"Full", 64ull << 20, 0);
  SimAddCard(L"Huge", 2ull << 40, 1ull << 40);
  SimAddCard(L"Half", 64ull << 20, 32ull << 20);
  StepToCard(1);
  Strip longCard = host.Capture();
  EXPECT_FALSE(longCard.SlotEquals(clock, kStorageSlot)) << "a 259-character name is a card";
  EXPECT_GT(longCard.LabelInk(kStorageSlot), 0);
  Strip empty, full, huge, half;
  for (Strip* card : {&empty, &full, &huge, &half}) {
    host.Tap(kStorageZone.left);
    *card = host.Capture();
  }
  // A card of 0 bytes shows its needle at 0, as a full card does.
  EXPECT_TRUE(empty.RegionEquals(full, kStorageSlot, 0, kDialBottom)) << empty.Differences(full);
  EXPECT_GT(empty.LabelInk(kStorageSlot), 0);
  // 1 TiB free of 2 TiB is half free: its figures are not cut to 32 bits.
  EXPECT_TRUE(huge.RegionEquals(half, kStorageSlot, 0, kDialBottom));
  EXPECT_FALSE(huge.SlotEquals(half, kStorageSlot)) << "the free megabytes must differ";
  EXPECT_TRUE(longCard.RegionEquals(half, kStorageSlot, 0, kDialBottom));
}

TEST_F(Device, CardRemovedWhileSelected) {
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  SimAddCard(L"Second", 64ull << 20, 48ull << 20);
  StepToCard(1);
  Strip card = host.Capture();
  ASSERT_FALSE(card.SlotEquals(clock, kStorageSlot));
  ASSERT_TRUE(SimRemoveCard(L"Storage Card"));
  EXPECT_EQ(host.Query(), 0);
  PumpMessages();
  EXPECT_TRUE(host.PaintAndCapture().SlotEquals(clock, kStorageSlot))
      << "an unreadable card falls back to the clock";
  // Stepping on from the vanished card reaches the clock after at most the
  // remaining card, and the cycle starts again.
  bool sawClock = false;
  for (int i = 0; i < 3 && !sawClock; i++) {
    host.Tap(kStorageZone.left);
    sawClock = host.Capture().SlotEquals(clock, kStorageSlot);
  }
  EXPECT_TRUE(sawClock);
  host.Tap(kStorageZone.left);
  Strip second = host.Capture();
  EXPECT_FALSE(second.SlotEquals(clock, kStorageSlot));
  EXPECT_GT(second.LabelInk(kStorageSlot), 0);
}

TEST_F(Device, EveryProbeFailingAtOnce) {
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  StepToCard(1);
  SimSetPower(AC_LINE_OFFLINE, 0, 7380, 3900);
  Strip zeroPercent = host.PaintAndCapture();
  SimSetStore(0, 0);
  Strip noStore = host.PaintAndCapture();
  SimSetPower(AC_LINE_OFFLINE, 80, 7380, 3900);
  SimSetStore(16u << 20, 8u << 20);

  SimSetPowerQueryBytes(20);
  SimSetCardQueryFails(L"Storage Card", true);
  SimSetStoreQueryFails(true);
  EXPECT_EQ(host.Query(), 0);
  PumpMessages();
  Strip failing = host.PaintAndCapture();
  EXPECT_TRUE(failing.SlotEquals(zeroPercent, kBatterySlot)) << "a failed power query reads 0 %";
  EXPECT_TRUE(failing.SlotEquals(clock, kStorageSlot)) << "an unreadable card shows the clock";
  EXPECT_TRUE(failing.SlotEquals(noStore, kMemorySlot)) << "a failed store query counts zeros";
  // A lasting failure is shown once, not repainted at every query.
  PumpMessages();
  long paints = host.Paints();
  for (int i = 0; i < 3; i++) {
    DWORD cyp = 0;
    EXPECT_EQ(host.Query(&cyp), 0);
    EXPECT_EQ(cyp, 42u);
    PumpMessages();
  }
  EXPECT_EQ(host.Paints(), paints);
}

TEST_F(Device, BatteryPercentFrom0To255) {
  Strip previous, hundred;
  for (int percent = 0; percent <= 255; percent++) {
    SimSetPower(AC_LINE_OFFLINE, BYTE(percent), 7380, 3900);
    Strip now = host.PaintAndCapture();
    ASSERT_GT(now.LabelInk(kBatterySlot), 0) << percent << " %";
    if (percent > 0 && percent <= 100) {
      EXPECT_FALSE(now.SlotEquals(previous, kBatterySlot)) << percent << " % looks like one less";
    }
    if (percent == 100) hundred = now;
    if (percent > 100) {
      EXPECT_TRUE(now.SlotEquals(hundred, kBatterySlot)) << percent << " % is shown as 100";
    }
    previous = now;
  }
}

TEST_F(Device, BatteryLifetimeAtItsLimits) {
  host.Tap(kBatteryZone.left);  // time label
  SimSetPower(AC_LINE_ONLINE, 80, 7380, 3900);
  Strip onMains = host.PaintAndCapture();  // "T N/A"
  SimSetPower(AC_LINE_OFFLINE, 80, 0xFFFFFFFF, 3900);
  Strip unknown = host.PaintAndCapture();
  EXPECT_TRUE(unknown.SlotEquals(onMains, kBatterySlot)) << "an unknown lifetime reads T N/A";
  SimSetPower(AC_LINE_OFFLINE, 80, 0, 3900);
  Strip zero = host.PaintAndCapture();
  EXPECT_FALSE(zero.SlotEquals(onMains, kBatterySlot)) << "a lifetime of 0 is known: T 0:00";
  EXPECT_GT(zero.LabelInk(kBatterySlot), 0);
  SimSetPower(AC_LINE_OFFLINE, 80, 0xFFFFFFFE, 3900);
  Strip longest = host.PaintAndCapture();
  EXPECT_GT(longest.LabelInk(kBatterySlot), 0);
  EXPECT_FALSE(longest.SlotEquals(onMains, kBatterySlot));
  // The needle shows the charge in every label mode.
  EXPECT_TRUE(longest.RegionEquals(onMains, kBatterySlot, 0, kDialBottom));
}

TEST_F(Device, MemoryTotalOfZero) {
  SimSetStore(0, 0);
  SimSetProgramMemory(32ull << 20, 0);
  Strip noneFree = host.PaintAndCapture();  // needle at 0, "M 0 MB"
  SimSetProgramMemory(0, 0);
  Strip nothing = host.PaintAndCapture();
  EXPECT_TRUE(nothing.SlotEquals(noneFree, kMemorySlot)) << "0 of 0 bytes shows 0 %";
  SimSetStore(0, 8u << 20);  // free without a total
  Strip freeOfNothing = host.PaintAndCapture();
  EXPECT_GT(freeOfNothing.LabelInk(kMemorySlot), 0);
  EXPECT_TRUE(freeOfNothing.RegionEquals(noneFree, kMemorySlot, 0, kDialBottom))
      << "a total of 0 puts the needle at 0";
}

TEST_F(Device, TickCounterWrappingDuringInitMode) {
  SimAddCard(L"Storage Card", 64ull << 20, 16ull << 20);
  StepToCard(1);  // a card, not the clock: the reference does not follow the time
  SYSTEMTIME t = {2026, 12, 0, 7, 10, 10, 0, 0};
  SimSetTickCount(0xFFFFFFFFu - 999u);  // one second before the counter wraps
  SimSetLocalTime(t);
  Strip live = host.PaintAndCapture();
  SendMessageW(host.Item(), kWakeup, 0, 0);
  PumpMessages();
  Strip init = host.Capture();
  for (Slot slot : {kBatterySlot, kStorageSlot, kMemorySlot}) {  // "B Init", "S Init", "M Init"
    EXPECT_FALSE(init.SlotEquals(live, slot)) << "slot at " << slot.left;
    EXPECT_GT(init.LabelInk(slot), 0) << "slot at " << slot.left;
  }

  SimSetTickCount(3000);  // 4000 ms after the notice, across the wrap
  SimSetLocalTime(t);
  EXPECT_TRUE(host.PaintAndCapture() == init) << "init mode lasts 4000 ms";
  SimSetTickCount(3001);
  SimSetLocalTime(t);
  Strip after = host.PaintAndCapture();
  EXPECT_TRUE(after == live) << after.Differences(live) << " pixels differ";
}

}  // namespace
