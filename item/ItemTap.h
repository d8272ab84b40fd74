// What a tap on the strip means, the About program launcher and the About
// program's wake-up registration.
#pragma once

#include "CeApi.h"
#include "DashboardContract.h"

// Width of a gauge's tap zone: the width of the dial bitmap.
const int kGaugeTapWidth = 35;

// Acts on a tap at client coordinates (x, y): toggles the battery label,
// steps the storage slot to the next card or the clock, ignores the memory
// gauge, and starts the About program anywhere else. Only x matters.
void OnItemTap(HWND window, int x, int y);

// Starts the About program from the path in AboutLocation; does not wait.
void LaunchAboutProgram();

// Registers the About program to run at every wake-up, removing any earlier
// registration first. The outcome is left in ItemState.wakeupRegistered.
void RegisterWakeupLaunch();
