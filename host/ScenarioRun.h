// Runs a checked scenario against the simulated device and the loaded item.
#pragma once

#include <string>

#include "Scenario.h"

struct ScenarioSettings {
  std::wstring outputFolder;  // where snapshots and animations go
};

// Runs every line in order. Stops at the first line that fails (an
// expectation not met, a picture not written) with `error` naming the line.
// Needs the Today window and the item loaded on the simulated device.
bool RunScenario(const Scenario& scenario, const ScenarioSettings& settings,
                 std::wstring* error);

// The output files a scenario writes, for the caller to report.
int CountScenarioPictures(const Scenario& scenario);
