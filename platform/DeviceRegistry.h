// The registry home of the device stand-in: the simulated device's readings
// and faults, and the wake-up registrations of both devices. Every process
// of the system opens the same key, so they all see one device.
#pragma once

#include <windows.h>

// HKCU\Software\CeStandIn\SimulatedDevice, created on first use and kept
// open for the process.
HKEY DeviceKey();

// Numbers may be stored as REG_DWORD, REG_QWORD or a REG_SZ holding a
// decimal or 0x-prefixed hexadecimal number, whichever a shell found easiest.
bool ReadDeviceNumber(HKEY key, const wchar_t* name, ULONGLONG* value);
ULONGLONG ReadDeviceNumberOr(HKEY key, const wchar_t* name, ULONGLONG fallback);
// A number from `low` to `high`. Absent, it reads as `fallback`; present but
// not a number, beyond 64 bits or out of the range, it reads as `fallback`
// too and is noted as ignored under `shownName` (or `name` when null).
ULONGLONG ReadDeviceNumberIn(HKEY key, const wchar_t* name, const wchar_t* shownName,
                             ULONGLONG low, ULONGLONG high, ULONGLONG fallback);

// Values the device read as their default because they were not sane, since
// the last ForgetIgnoredDeviceValues (the simulated device forgets at every
// load of its state). Returns how many; copies up to `max`.
struct IgnoredDeviceValue {
  wchar_t name[48];   // "BatteryPercent", "Cards\\2\\TotalBytes"
  wchar_t value[32];  // as stored, cut to 31 characters
};
void NoteIgnoredDeviceValue(const wchar_t* name, const wchar_t* value);
int IgnoredDeviceValues(IgnoredDeviceValue* values, int max);
void ForgetIgnoredDeviceValues();
// Reads a REG_SZ into `text` (always terminated); false when absent or too long.
bool ReadDeviceString(HKEY key, const wchar_t* name, wchar_t* text, DWORD chars);

void WriteDeviceDword(HKEY key, const wchar_t* name, DWORD value);
void WriteDeviceQword(HKEY key, const wchar_t* name, ULONGLONG value);
void WriteDeviceString(HKEY key, const wchar_t* name, const wchar_t* text);
void DeleteDeviceValue(HKEY key, const wchar_t* name);

// Arms `event` to be signalled at the next change anywhere under the device
// key (values or subkeys, by any process). One change signals once; arm again
// after each. False when the registry cannot watch the key.
bool WatchDeviceKey(HANDLE event);

// A change counter shared by every process of the session. Every write made
// through this module (and the simulated device's deletions) bumps it, so a
// reader can tell without a call to the registry that its copy is still
// good; writes from a shell are only seen through WatchDeviceKey. Null when
// the counter cannot be shared.
volatile LONG* DeviceGeneration();
// A second counter for the clock's values alone (TickCount, LocalTime and
// their stamps), bumped by the Write*Clock* calls instead of the first, so
// that a reader reloads only the clock while time passes.
volatile LONG* DeviceClockGeneration();
void WriteClockDword(HKEY key, const wchar_t* name, DWORD value);
void WriteClockString(HKEY key, const wchar_t* name, const wchar_t* text);
void NoteDeviceChanged();

// Opens a subkey of the device key ("Cards", "Cards\\2"); nullptr when absent.
HKEY OpenDeviceSubkey(const wchar_t* path);
// The same, made when absent; nullptr when it cannot be.
HKEY CreateDeviceSubkey(const wchar_t* path);
