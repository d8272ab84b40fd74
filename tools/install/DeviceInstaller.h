// Applies an install manifest to the device: its files into the device's file
// system, its values into the registry. What an install added is kept in a
// record (HKCU\Software\CeStandIn\Installed\<Provider AppName>), which the
// uninstall reverts exactly. Either call changes everything or nothing: a
// failure halfway puts back what the call had changed.
#pragma once

#include <string>

#include "InfManifest.h"

enum class InstallResult {
  Done,
  Refused,     // a check before any change failed: nothing changed
  RolledBack,  // a change failed: what was changed is put back
};

// `report` gets one line for the user: what was done, or what went wrong.
InstallResult InstallManifest(const InfManifest& manifest, std::wstring* report);
InstallResult UninstallManifest(const InfManifest& manifest, std::wstring* report);

// Where the record of installed products lives (under HKCU).
#define INSTALLED_RECORDS_KEY L"Software\\CeStandIn\\Installed"
