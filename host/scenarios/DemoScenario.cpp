#include "DemoScenario.h"

// Taps: the battery gauge spans x 35-69, the storage slot 105-139; x 90 lies
// between them and starts the About program.
const wchar_t DemoScenarioText[] = LR"(# The strip's life in a minute.
time 2026-12-06 09:41:20
battery ac=off percent=76 remaining=3h25m voltage=3900
memory total=32MB free=14MB
store total=16MB free=5MB
card add "Storage Card" total=128MB free=83MB
card add "CF Card" total=512MB free=201MB
wait 2s
snapshot 01-readings.png scale=2
snapshot 01-today.png window

# The battery label toggles between charge and remaining time.
tap 52 21
snapshot 02-battery-time.png scale=2
tap 52 21

# The storage slot steps: clock, first card, second card, clock.
tap 122 21
tap 122 21
snapshot 03-first-card.png scale=2
tap 122 21
snapshot 04-second-card.png scale=2
tap 122 21
snapshot 05-clock.png scale=2
tap 122 21

# The first card is pulled out: the slot falls back to the clock.
wait 6s
card remove "Storage Card"
wait 2s
snapshot 06-card-removed.png scale=2

# Time passes on battery: charge and memory go down.
battery percent=74 remaining=3h10m
memory total=32MB free=12MB
wait 20s
snapshot 07-later.png scale=2

# Suspend and resume: the About program, started at wake-up, tells the
# item, which shows "Init" labels for four seconds.
suspend
wait 5m
resume
snapshot 08-wakeup-init.png scale=2
wait 4s
refresh
snapshot 09-still-init-at-4000ms.png scale=2
wait 2s
snapshot 10-live-again.png scale=2

# A tap beside the gauges opens the About dialog.
tap 90 21
expect window "About Quorvane"
snapshot 11-about-dialog.png of "About Quorvane"
close "About Quorvane"

animation strip.gif scale=2 delay=1200ms
)";
