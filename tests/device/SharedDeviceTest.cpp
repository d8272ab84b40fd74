// The simulated device as every process of the session shares it: a running
// program sees a shell's change, wake-up firing passes over a missing program,
// and two processes writing and reading at once never see a torn or stale
// reading once a write has returned.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "CeApi.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"

namespace {

std::wstring BesideTest(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.find_last_of(L'\\') + 1) + name;
}

BYTE BatteryPercentRead() {
  SYSTEM_POWER_STATUS_EX2 s = {};
  GetSystemPowerStatusEx2(&s, sizeof(s), FALSE);
  return s.BatteryLifePercent;
}

TEST(SharedDevice, RunningProgramsFollowTheDevice) {
  struct Row {
    const char* what;
    std::function<bool()> act;  // answers whether what should follow did
  } rows[] = {
      {"a running program sees a shell's change",
       [] {
         ScopedRegKey key;
         DWORD percent = 37;
         RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\CeStandIn\\SimulatedDevice", 0, nullptr,
                         0, KEY_WRITE, nullptr, key.Out(), nullptr);
         RegSetValueExW(key, L"BatteryPercent", 0, REG_DWORD, (const BYTE*)&percent, 4);
         return WaitFor([] { return BatteryPercentRead() == 37; });  // the session's watcher
       }},
      {"wake-up firing passes over a missing program",
       [] {
         std::wstring missing = BesideTest(L"NoSuchProgram.exe");
         std::wstring present = BesideTest(L"DeviceReadings.exe");
         CeRunAppAtEvent(&missing[0], NOTIFICATION_EVENT_WAKEUP);
         CeRunAppAtEvent(&present[0], NOTIFICATION_EVENT_WAKEUP);
         HANDLE started[4];
         int n = FireWakeupEvent(started, 4);
         for (int i = 0; i < n && i < 4; i++) {
           WaitForSingleObject(started[i], 20000);
           CloseHandle(started[i]);
         }
         return n == 1 && SimWakeupRegistrations(nullptr, 0) == 2;
       }},
  };
  for (const Row& row : rows) {
    SimResetDevice();
    EXPECT_TRUE(row.act()) << row.what;
  }
  SimResetDevice();
}

// Each process takes its card out and puts it back (so the other's card moves
// in the device's list) with figures that carry its number and a count, total
// always twice the free bytes, and reads both cards through the CE call, on
// every core, until both have read the other's figures often.
const ULONGLONG kProcessUnit = 1ULL << 30;
const int kWrites = 20000, kOthersRead = 100;

HANDLE PeerEvent(const wchar_t* what, ULONGLONG process) {
  wchar_t name[64];
  wsprintfW(name, L"Local\\QuorvaneDevicePeer%s%u", what, (unsigned)process);
  return CreateEventW(nullptr, TRUE, FALSE, name);
}

TEST(SharedDevice, TwoProcessesNeverSeeATornOrStaleReading) {
  wchar_t peer[8] = L"";
  bool child = GetEnvironmentVariableW(L"QUORVANE_DEVICE_PEER", peer, 8) > 0;
  ULONGLONG self = child ? 2 : 1, other = child ? 1 : 2;
  AutoCloseHandle ready(PeerEvent(L"Ready", 2)), go(PeerEvent(L"Go", 1));
  AutoCloseHandle done(PeerEvent(L"Done", self)), otherDone(PeerEvent(L"Done", other));
  DWORD_PTR cores, all;
  GetProcessAffinityMask(GetCurrentProcess(), &cores, &all);
  SetProcessAffinityMask(GetCurrentProcess(), all);  // the session keeps to one core
  PROCESS_INFORMATION process = {};
  if (child) {
    SetEvent(ready);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(go, 60000)) << "no start from the first process";
  } else {
    for (HANDLE h : {ready.Get(), go.Get(), done.Get(), otherDone.Get()}) ResetEvent(h);
    SimResetDevice();
    SetEnvironmentVariableW(L"QUORVANE_DEVICE_PEER", L"1");
    std::wstring line = L"SharedDeviceTest --gtest_filter=SharedDevice.TwoProcesses*";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    ASSERT_TRUE(CreateProcessW(BesideTest(L"device_tests.exe").c_str(), &line[0], nullptr,
                               nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    SetEnvironmentVariableW(L"QUORVANE_DEVICE_PEER", nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 60000)) << "the second process never came";
    SetEvent(go);
  }
  ULONGLONG otherSeen = 0, deadline = GetTickCount64() + 60000;
  std::wstring mine(200, wchar_t(L'A' + self)), others(200, wchar_t(L'A' + other));
  int othersRead = 0, faults = 0;
  for (int i = 1; faults < 5; i++) {
    SimRemoveCard(mine.c_str());
    SimAddCard(mine.c_str(), 2 * (self * kProcessUnit + i), self * kProcessUnit + i);
    ULARGE_INTEGER free = {}, total = {}, mineFree = {}, mineTotal = {};
    bool torn = !GetDiskFreeSpaceExW(mine.c_str(), &mineFree, &mineTotal, nullptr) ||
                mineFree.QuadPart != self * kProcessUnit + i || mineTotal.QuadPart != 2 * mineFree.QuadPart;
    bool read = GetDiskFreeSpaceExW(others.c_str(), &free, &total, nullptr);
    ULONGLONG count = free.QuadPart % kProcessUnit;
    torn = torn || (read && (total.QuadPart != 2 * free.QuadPart || free.QuadPart / kProcessUnit != other));
    bool stale = read && count < otherSeen;
    if (torn || stale) {
      ADD_FAILURE() << (torn ? "torn" : "stale") << " reading " << mineFree.QuadPart << " / "
                    << free.QuadPart << " after write " << i << " of process " << self;
      faults++;
    }
    if (read) otherSeen = count, othersRead++;
    if (i % 1024) continue;
    if (i >= kWrites && othersRead >= kOthersRead) SetEvent(done);
    if (WaitForSingleObject(done, 0) == WAIT_OBJECT_0 &&
        WaitForSingleObject(otherDone, 0) == WAIT_OBJECT_0) {
      break;
    }
    ASSERT_LT(GetTickCount64(), deadline) << "read the other's figures " << othersRead << " times";
  }
  if (!child) {
    AutoCloseHandle thread(process.hThread), program(process.hProcess);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(program, 60000)) << "the second process hangs";
    DWORD code = 1;
    GetExitCodeProcess(program, &code);
    EXPECT_EQ(0u, code) << "the second process saw a torn or stale reading";
    SimResetDevice();
  }
}

}  // namespace
