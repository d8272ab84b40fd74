// Control of the simulated device, shared by every process of the session,
// for the code that plays the device's surroundings (tests, the Today host);
// the system itself reads the device through the CE calls. A shell sets it
// with `wine reg` (docs/simulated-device.md).
#pragma once

#include <windows.h>

#include <initializer_list>

#include "DeviceChoice.h"
#include "WakeupEvent.h"

// Puts the simulated device into its documented default state: no cards, no
// faults, no wake-up registrations, the clock frozen at tick 600000 and simResetTime.
void SimResetDevice();
extern const SYSTEMTIME simResetTime;

// Sets device values by their names in the device key, in one write: all of
// them, or none (false) when a name is unknown or a value is one the device
// does not hold (docs/simulated-device.md lists both). Setting TickCount or
// LocalTime starts it from now.
struct SimValueSet {
  const wchar_t* name;
  ULONGLONG value;
};
bool SimSet(const SimValueSet* values, size_t count);
inline bool SimSet(std::initializer_list<SimValueSet> values) {
  return SimSet(values.begin(), values.size());
}
// Row `i` of that list ("| `Name` | TYPE | default | takes |"); false past the last.
bool SimValueRow(int i, wchar_t (&row)[96]);

// Power. Fault: the power query fills only this many bytes (56 = a sound query).
inline bool SimSetPower(BYTE acLineStatus, BYTE percent, DWORD lifeSeconds, DWORD millivolts) {
  return SimSet({{L"ACLineStatus", acLineStatus},
                 {L"BatteryPercent", percent},
                 {L"BatteryLifeTime", lifeSeconds},
                 {L"BatteryVoltage", millivolts}});
}
inline bool SimSetPowerQueryBytes(DWORD bytes) {
  return SimSet({{L"PowerQueryBytes", bytes}});
}

// Object store (32-bit on CE) and program memory. Fault: GetStoreInformation fails.
inline bool SimSetStore(ULONGLONG storeSize, ULONGLONG freeSize) {
  return SimSet({{L"StoreSize", storeSize}, {L"StoreFree", freeSize}});
}
inline bool SimSetStoreQueryFails(bool fails) {
  return SimSet({{L"StoreQueryFails", fails}});
}
inline bool SimSetProgramMemory(ULONGLONG totalPhys, ULONGLONG availPhys) {
  return SimSet({{L"MemoryTotal", totalPhys}, {L"MemoryAvail", availPhys}});
}

// Storage cards in enumeration order, named by folder ("Storage Card"); adding
// an existing name replaces its figures in place. False for an empty name or
// one of MAX_PATH characters, bytes past 2048 GiB, a 129th card, or no such card.
bool SimAddCard(const wchar_t* name, ULONGLONG totalBytes, ULONGLONG freeBytes);
bool SimRemoveCard(const wchar_t* name);
void SimRemoveAllCards();
// Fault: the disk-space query for that card fails.
bool SimSetCardQueryFails(const wchar_t* name, bool fails);

// Clock. A frozen clock reads what was set until set or advanced again; a
// running one runs on from it. A local time outside the device's years is refused.
inline bool SimSetTickCount(DWORD tick) {
  return SimSet({{L"TickCount", tick}});
}
bool SimSetLocalTime(const SYSTEMTIME& time);
void SimSetClockRunning(bool running);
// Moves the tick count and the local time forward together.
void SimAdvanceClock(DWORD milliseconds);
extern const WORD simLastYear;
// A local time as the device key holds it, "YYYY-MM-DD hh:mm:ss[.mmm]" (a
// 'T' may stand for the blank), in the device's years; false for anything else.
bool SimParseLocalTime(const wchar_t* text, SYSTEMTIME* time);

// Values under the device key that the device's last look ignored as not
// sane: returns how many, copies up to `max` names ("Cards\\2\\TotalBytes")
// and stored values, each cut to its array.
int SimIgnoredValues(wchar_t (*names)[48], wchar_t (*values)[32], int max);
// How often this process has read the device so far.
LONG SimDeviceReadings();

// Makes the device take what a shell wrote into its store (the device key), now.
void SimReloadDevice();
// Makes the device take every shell's change to the device key as it happens
// (within a second when the key was deleted), on a thread of its own.
void SimWatchShell();
