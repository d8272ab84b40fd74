// Runs a checked scenario against the simulated device and the loaded item.
#pragma once

#include <string>

#include "Scenario.h"

struct ScenarioSettings {
  std::wstring outputFolder;  // where snapshots and animations go, in the \\?\ form
  std::wstring outputShown;   // the same folder as the user typed it
  // Real time all of the run's waits for other programs and windows share.
  ULONGLONG waitBudgetMs = 120000;
};

// Runs every line in order. Stops at the first line that fails (an
// expectation not met, a picture not written, a wait past its deadline or
// past the run's budget) with `error` naming the line.
// Needs the Today window and the item loaded on the simulated device.
bool RunScenario(const Scenario& scenario, const ScenarioSettings& settings, std::wstring* error);

// The file a snapshot or animation line writes; null for other lines.
const std::wstring* PictureFile(const Command& command);
// The output files a scenario writes, for the caller to report.
int CountScenarioPictures(const Scenario& scenario);
// A picture's path as the user would type it: the folder as typed, then the name.
std::wstring ShownPicturePath(const std::wstring& folderShown, const std::wstring& name);
