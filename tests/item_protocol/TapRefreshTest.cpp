// Taps, the About launcher, the wake-up registration and the refresh decision.
#include "ItemHost.h"
#include "NeedsRefresh.h"

// The host sits at screen x 100: taps must act on client x. The four storage
// taps step from load to the clock, card 1, card 2 and the clock.
TEST_F(ItemHost, TapZoneEdgesOnAHostAwayFromTheScreenOrigin) {
  LayOut();
  SimAddCard(L"Storage Card", 64 << 20, 32 << 20);
  SimAddCard(L"SD Card", 128 << 20, 8 << 20);
  AutoCloseHandle started(CreateSemaphoreW(nullptr, 0, 100, L"QuorvaneAboutProbe"));
  auto slot = [] { return ItemState.storageShowsClock ? -1 : ItemState.status.CardIndex(); };
  const struct {
    int x;
    char does;
  } taps[] = {// About, Battery, Storage, nothing
              {34, 'A'},  {35, 'B'},  {69, 'B'},  {70, 'A'},  {104, 'A'}, {105, 'S'},
              {139, 'S'}, {140, 'A'}, {175, '-'}, {209, '-'}, {210, 'A'}, {-1, 'A'}};
  for (auto tap : taps) {
    for (int y : {0, 41}) {
      bool battery = ItemState.batteryShowsTime;
      int before = slot();
      seen.clear();
      EXPECT_EQ(0, SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(tap.x, y)));
      EXPECT_EQ(std::vector<UINT>({WM_LBUTTONUP, REPAINT}), seen) << tap.x;
      EXPECT_EQ(tap.does == 'B', ItemState.batteryShowsTime != battery) << tap.x;
      EXPECT_EQ(tap.does == 'S', slot() != before) << tap.x;
      if (tap.does == 'A') {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started, 30000)) << tap.x;
      }
    }
  }
  EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(started, 1000));  // no other start
}

TEST_F(ItemHost, WakeupRegistrationIsRetriedUntilItSucceeds) {
  wchar_t paths[4][MAX_PATH];
  ItemState.initMode = true;  // registration is tried before init mode answers
  ItemState.wakeupRegistered = false;
  std::wstring probe = kProbe;
  DeleteAboutLocation();
  EXPECT_TRUE(NeedsRefresh());
  EXPECT_FALSE(ItemState.wakeupRegistered);  // no About location: tried again
  WriteAboutLocation(probe.c_str());
  CeRunAppAtEvent(&probe[0], NOTIFICATION_EVENT_WAKEUP);  // an earlier load's registration
  SimSetWakeupRefusals(2);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(NeedsRefresh());
    EXPECT_EQ(i == 2, ItemState.wakeupRegistered);
  }
  ASSERT_EQ(1, SimWakeupRegistrations(paths, 4));
  EXPECT_EQ(probe, paths[0]);
  SimResetDevice();
  NeedsRefresh();  // registered: not tried again
  EXPECT_EQ(0, SimWakeupRegistrations(paths, 4));
}

// Each change in turn, from the strip as painted after the one before: is
// it stale? Readings count at the grain of the labels, whichever label shows.
TEST_F(ItemHost, RefreshComparesAtTheGrainOfTheLabels) {
  LayOut();  // the device's defaults: 24 MB free, 80 % with 2:00 left, no card
  auto memory = [](ULONGLONG avail) { return [=] { SimSetProgramMemory(32 * MiB, avail); }; };
  auto advance = [](DWORD ms) { return [=] { SimAdvanceClock(ms); }; };
  auto tap = [&](int x) { return [=] { Tap(x); }; };  // repaints at once
  const struct {
    const char* change;
    std::function<void()> apply;
    bool stale;
  } changes[] = {
      {"nothing", [] {}, false},
      {"memory within a MB", memory(16 * MiB + 900000), false},
      {"memory crosses a MB", memory(16 * MiB - 1), true},
      {"no card: minute turns", advance(60000), true},
      {"tap: the clock", tap(105), false},
      {"clock: minute turns", advance(60000), true},
      {"clock: an hour later", advance(3600000), false},
      {"clock: a card in", Card(64 * MiB, 32 * MiB), false},  // read, not compared
      {"tap: the card", tap(105), false},
      {"card 4 GB larger, free crosses a MB", Card(4 * GiB + 64 * MiB, 32 * MiB - 1), true},
      {"card size 4 GB less", Card(64 * MiB, 32 * MiB - 1), true},
      {"card free beyond 32 bits", Card(8 * GiB, 4 * GiB + 2 * MiB), true},
      {"card free 4 GB less", Card(8 * GiB, 2 * MiB), true},
      {"card stops reading", [] { SimSetCardQueryFails(L"Storage Card", true); }, true},
      {"battery 1:59", Power(0, 80, 7199), true},
      {"tap: the time label", tap(35), false},
      {"battery 2:05", Power(0, 80, 7500), true},
      {"battery 2:05 to 2:04", Power(0, 80, 7440), true},
      {"seconds alone", Power(0, 80, 7450), false},
      {"percent 100", Power(0, 100, 7450), true},
      {"percent 255 shown as 100", Power(0, 255, 7450), false},
      {"mains", Power(1, 80, 3600), true},
      {"mains: no time either side", Power(1, 80, 7200), false},
  };
  for (const auto& c : changes) {
    c.apply();
    EXPECT_EQ(c.stale, NeedsRefresh()) << c.change;
    SendMessageW(item, WM_DASHBOARD_REDRAW, 0, 0);
  }
}
