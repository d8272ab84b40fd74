// Many paints and taps in one process leave the strip's pixels and the GDI
// headroom, counted to the single object, exactly as they were.
#include <gtest/gtest.h>

#include "StripHost.h"

namespace {

using namespace hardening;

// Zones that never start the About program.
const Slot kTapZones[] = {{35, 70}, {105, 140}, {175, 210}};

TEST(Soak, PaintsAndTapsLeaveTheStripAndTheGdiHeadroomAsTheyWere) {
  long paints = CountFromEnvironment("QUORVANE_SOAK_PAINTS", 3000);
  // Zones in turn, each an even number of times: every mode comes back at the end.
  long taps = CountFromEnvironment("QUORVANE_SOAK_TAPS", 300) / 6 * 6;

  SeedDevice(true);  // clock frozen: the clock face cannot move under the run
  StripHost host;
  ASSERT_TRUE(host.Load()) << host.error;
  // Into the storage cycle (the first tap after load goes to the clock), and
  // once round every mode so that lazily made objects exist before counting.
  host.Tap(120);
  for (const Slot& zone : kTapZones) {
    host.Tap(zone.left);
    host.Tap(zone.right - 1);
  }
  Strip reference = host.PaintAndCapture();
  int headroom = GdiHeadroom();

  for (long i = 0; i < paints || i < taps; i++) {
    if (i < paints)
      host.Paint();
    if (i < taps)  // at a different point of the zone each time
      host.Tap(kTapZones[i % 3].left + int(i * 7 % 35), int(i % kStripHeight));
    if (i % 1024 == 0)
      PumpMessages();
  }
  PumpMessages();

  EXPECT_EQ(0, host.PaintAndCapture().Differences(reference)) << "pixels differ";
  EXPECT_EQ(headroom, GdiHeadroom()) << "GDI objects left behind (or freed twice)";
}

}  // namespace
