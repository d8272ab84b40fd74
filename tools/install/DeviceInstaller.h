// Applies an install manifest to the device: its files into the device's file
// system, its values into the registry, as one transaction. A run writes its
// whole plan before its first change; the record it commits (InstallRecord.h)
// is its point of no return. Every run first finishes, or rolls back, a run
// that was cut off (killed, or the power gone), so an interruption at any
// point leaves the device fully installed or as it was.
#pragma once

#include <functional>
#include <string>

#include "InfManifest.h"

// Asked after each step that changed the device (step 0: after a run that
// was cut off has been dealt with). `Stop` leaves off there as a kill would
// (the tests' crash points); `RollBack` puts back what the run changed.
enum class Go { On, RollBack, Stop };
typedef std::function<Go(int step)> StepCheck;

// `report` gets lines for the user: what was done, or what went wrong.
InstallResult InstallManifest(const InfManifest& manifest, const StepCheck& check,
                              std::wstring* report);
InstallResult UninstallManifest(const InfManifest& manifest, const StepCheck& check,
                                std::wstring* report);
