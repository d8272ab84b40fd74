// The simulated device as the session's processes share it.
#include <gtest/gtest.h>

#include <string>

#include "CeApi.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"

namespace {

BYTE BatteryPercentRead() {
  SYSTEM_POWER_STATUS_EX2 s = {};
  GetSystemPowerStatusEx2(&s, sizeof(s), FALSE);
  return s.BatteryLifePercent;
}

TEST(SharedDevice, RunningProgramsFollowTheDevice) {
  SimResetDevice();  // a shell's change, as `wine reg add` writes it, reaches a running program
  DWORD percent = 37;
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\CeStandIn\\SimulatedDevice", L"BatteryPercent",
                  REG_DWORD, &percent, 4);
  EXPECT_TRUE(WaitFor([] { return BatteryPercentRead() == 37; }));

  SimResetDevice();  // wake-up firing passes over a missing program
  std::wstring missing = BesideTest(L"NoSuchProgram.exe"),
               present = BesideTest(L"DeviceReadings.exe");
  CeRunAppAtEvent(&missing[0], NOTIFICATION_EVENT_WAKEUP);
  CeRunAppAtEvent(&present[0], NOTIFICATION_EVENT_WAKEUP);
  HANDLE started[2];
  int n = FireWakeupEvent(started, 2);
  for (int i = 0; i < n; i++)
    WaitForSingleObject(started[i], 20000), CloseHandle(started[i]);
  EXPECT_EQ(1, n);
  EXPECT_EQ(2, SimWakeupRegistrations(nullptr, 0));

  SimResetDevice();  // the control refuses what the device cannot hold, and writes none of it
  for (int i = 1; i <= 128; i++)
    SimAddCard(std::to_wstring(i).c_str(), 1, 1);
  EXPECT_TRUE(!SimAddCard(L"129", 1, 1) &&
              !SimSet({{L"BatteryPercent", 40}, {L"ACLineStatus", 7}}) &&
              !SimSet({{L"BatteryPercent", 256}}) && !SimSet({{L"NoSuchValue", 1}}) &&
              !SimSetProgramMemory(1, 2049ULL << 30) && !SimAddCard(L"", 1, 1) &&
              BatteryPercentRead() == 80 && SimSet({{L"batterypercent", 255}}));
  SimResetDevice();
}

// Each process takes its card out and puts it back (so the other's card moves
// in the device's list) with figures that carry its number and a count, total
// twice the free bytes, and reads both cards, on every core, until both have
// read the other's card often.
const ULONGLONG kUnit = 1ULL << 30;

HANDLE PeerEvent(const wchar_t* what, ULONGLONG process) {
  return CreateEventW(
      nullptr, TRUE, FALSE,
      (L"Local\\QuorvanePeer" + std::wstring(what) + std::to_wstring(process)).c_str());
}

TEST(SharedDevice, TwoProcessesNeverSeeATornOrStaleReading) {
  bool child = GetEnvironmentVariableW(L"QUORVANE_DEVICE_PEER", nullptr, 0) > 0;
  ULONGLONG self = child ? 2 : 1, other = 3 - self, otherSeen = 0;
  AutoCloseHandle ready(PeerEvent(L"Ready", 0)), go(PeerEvent(L"Go", 0));
  AutoCloseHandle done(PeerEvent(L"Done", self)), otherDone(PeerEvent(L"Done", other));
  DWORD_PTR cores, all;
  GetProcessAffinityMask(GetCurrentProcess(), &cores, &all);
  SetProcessAffinityMask(GetCurrentProcess(), all);  // the session keeps to one core
  PROCESS_INFORMATION process = {};
  if (!child) {
    for (HANDLE h : {ready.Get(), go.Get(), done.Get(), otherDone.Get()})
      ResetEvent(h);
    SimResetDevice();
    SetEnvironmentVariableW(L"QUORVANE_DEVICE_PEER", L"1");
    std::wstring line = L"x --gtest_filter=SharedDevice.TwoProcesses*";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    ASSERT_TRUE(CreateProcessW(BesideTest(L"device_tests.exe").c_str(), &line[0], nullptr, nullptr,
                               FALSE, 0, nullptr, nullptr, &startup, &process));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 60000)) << "the second process never came";
  }
  SetEvent(child ? ready : go);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(go, 60000));
  std::wstring mine(200, wchar_t(L'A' + self)), others(200, wchar_t(L'A' + other));
  ULONGLONG deadline = GetTickCount64() + 60000;
  int othersRead = 0;
  for (int i = 1;; i++) {
    SimRemoveCard(mine.c_str());
    SimAddCard(mine.c_str(), 2 * (self * kUnit + i), self * kUnit + i);
    ULARGE_INTEGER free = {}, total = {};
    ASSERT_TRUE(GetDiskFreeSpaceExW(mine.c_str(), &free, &total, nullptr));
    ASSERT_EQ(self * kUnit + i, free.QuadPart) << "process " << self << " lost its own write";
    ASSERT_EQ(2 * free.QuadPart, total.QuadPart) << "process " << self << ", write " << i;
    if (GetDiskFreeSpaceExW(others.c_str(), &free, &total, nullptr)) {
      ASSERT_TRUE(total.QuadPart == 2 * free.QuadPart && free.QuadPart / kUnit == other &&
                  free.QuadPart % kUnit >= otherSeen)
          << "torn or stale reading " << free.QuadPart << " in process " << self;
      otherSeen = free.QuadPart % kUnit, othersRead++;
    }
    if (i % 1024)
      continue;
    if (i >= 20000 && othersRead >= 100)
      SetEvent(done);
    if (!WaitForSingleObject(done, 0) && !WaitForSingleObject(otherDone, 0))
      break;
    ASSERT_LT(GetTickCount64(), deadline) << "read the other's card " << othersRead << " times";
  }
  if (!child) {
    AutoCloseHandle thread(process.hThread), program(process.hProcess);
    DWORD code = WaitForSingleObject(program, 60000);
    GetExitCodeProcess(program, &code);
    EXPECT_EQ(0u, code) << "the second process saw a torn or stale reading, or hangs";
    SimResetDevice();
  }
}

}  // namespace
