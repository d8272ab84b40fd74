// Applies an install manifest to the device as one transaction: a run writes its whole plan
// before its first change, and the record it commits is its point of no return. Every run first
// finishes, or rolls back, a run that was cut off, so an interruption at any point leaves the
// device fully installed or as it was.
#pragma once

#include <functional>
#include <string>

#include "InfManifest.h"

// What a run comes to; DeviceInstall.exe exits with its number.
enum class InstallResult {
  Done = 0,
  RolledBack = 1,  // a change failed or the run was interrupted: what it changed is put back
  Refused = 2,     // a check before any change failed: nothing changed
  Stopped = 3,     // left off where a kill would (the tests' crash points)
};

// Asked after each step that changed the device (step 0: once a cut-off run is
// dealt with): `Stop` leaves off there; `RollBack` puts back what the run changed.
enum class Go { On, RollBack, Stop };
typedef std::function<Go(int step)> StepCheck;

// Installs or uninstalls; `report` gets what was done or what went wrong.
InstallResult ApplyManifest(bool install, const InfManifest& manifest, const StepCheck& check,
                            std::wstring* report);
