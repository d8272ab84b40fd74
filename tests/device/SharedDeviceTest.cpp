// The simulated device as the session's processes share it.
#include <gtest/gtest.h>

#include <string>

#include "CeApi.h"
#include "SimulatedDevice.h"
#include "SimulatedState.h"
#include "TestSupport.h"

namespace {

BYTE BatteryPercentRead() {
  SYSTEM_POWER_STATUS_EX2 s = {};
  GetSystemPowerStatusEx2(&s, sizeof(s), FALSE);
  return s.BatteryLifePercent;
}

// A program beside the test, started with `flags`; its handles are the caller's.
PROCESS_INFORMATION Start(const wchar_t* program, DWORD flags = 0, std::wstring argument = L"") {
  PROCESS_INFORMATION process = {};
  EXPECT_TRUE(CreateProcessW(BesideTest(program).c_str(), &argument[0], nullptr, nullptr, FALSE,
                             flags, nullptr, nullptr, nullptr, &process));
  CloseHandle(process.hThread);
  return process;
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
              !SimSet({{L"BatteryPercent", 40}, {L"ACLineStatus", 3}}) &&
              !SimSet({{L"BatteryPercent", 256}}) && !SimSet({{L"NoSuchValue", 1}}) &&
              !SimSetProgramMemory(1, (2048ULL << 30) + 1) && !SimAddCard(L"", 1, 1) &&
              BatteryPercentRead() == 80 && SimSet({{L"batterypercent", 255}}) &&
              SimSet({{L"ACLineStatus", 255}}) && SimSetProgramMemory(1, 2048ULL << 30));
  SimResetDevice();
}

DWORD WINAPI SetTickCountTo5(void*) {
  return SimSetTickCount(5);
}

// A program of another layout stops at its first reading; a writer's record
// is waited for while its process lives, and taken back once it has ended.
TEST(SharedDevice, TheRecordHasOneLayoutAndOneLivingWriter) {
  SimResetDevice();
  SimDevice* d = SharedDevice();
  ULONGLONG layout = d->layout;
  d->layout = layout + 1;
  AutoCloseHandle other(Start(L"DeviceReadings.exe").hProcess);
  DWORD status = WaitForSingleObject(other, 20000);
  d->layout = layout;
  GetExitCodeProcess(other, &status);
  EXPECT_EQ(3u, status) << "a program read a record of another layout";

  PROCESS_INFORMATION writer = Start(L"DeviceReadings.exe", CREATE_SUSPENDED);
  AutoCloseHandle owner(writer.hProcess);
  d->sequence = (LONGLONG)writer.dwProcessId << 32 | (DWORD)(d->sequence + 1);
  AutoCloseHandle setter(CreateThread(nullptr, 0, SetTickCountTo5, nullptr, 0, nullptr));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(setter, 500)) << "took a live writer's record";
  TerminateProcess(owner, 1);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(setter, 20000)) << "a dead writer's record stays";
  EXPECT_EQ(5u, GetTickCount());
  SimResetDevice();
}

// Each process, on every core, takes its card out and puts it back (moving
// the other's in the list) with figures that carry its number and a count,
// total twice free, and reads both cards, until it has done so often.
void WriteAndRead(ULONGLONG self) {
  const ULONGLONG kUnit = 1ULL << 30, other = 3 - self;
  std::wstring mine(200, wchar_t(L'A' + self)), others(200, wchar_t(L'A' + other));
  ULONGLONG otherSeen = 0, deadline = GetTickCount64() + 60000;
  for (int i = 1, othersRead = 0; i < 20000 || othersRead < 100; i++) {
    SimRemoveCard(mine.c_str());
    SimAddCard(mine.c_str(), 2 * (self * kUnit + i), self * kUnit + i);
    ULARGE_INTEGER free = {}, total = {};
    ASSERT_TRUE(GetDiskFreeSpaceExW(mine.c_str(), &free, &total, nullptr));
    ASSERT_TRUE(free.QuadPart == self * kUnit + i && total.QuadPart == 2 * free.QuadPart)
        << "process " << self << " lost its own write " << i << ": " << free.QuadPart;
    if (GetDiskFreeSpaceExW(others.c_str(), &free, &total, nullptr)) {
      ASSERT_TRUE(total.QuadPart == 2 * free.QuadPart && free.QuadPart / kUnit == other &&
                  free.QuadPart % kUnit >= otherSeen)
          << "torn or stale reading " << free.QuadPart << " in process " << self;
      otherSeen = free.QuadPart % kUnit, othersRead++;
    }
    ASSERT_LT(GetTickCount64(), deadline) << "read the other's card " << othersRead << " times";
  }
}

TEST(SharedDevice, TwoProcessesNeverSeeATornOrStaleReading) {
  DWORD_PTR cores, all;
  GetProcessAffinityMask(GetCurrentProcess(), &cores, &all);
  SetProcessAffinityMask(GetCurrentProcess(), all);  // the session keeps to one core
  if (GetEnvironmentVariableW(L"QUORVANE_DEVICE_PEER", nullptr, 0))
    return WriteAndRead(2);
  SimResetDevice();
  SetEnvironmentVariableW(L"QUORVANE_DEVICE_PEER", L"1");
  AutoCloseHandle peer(Start(L"device_tests.exe", 0, L"--gtest_filter=*TwoProcesses*").hProcess);
  SetEnvironmentVariableW(L"QUORVANE_DEVICE_PEER", nullptr);
  WriteAndRead(1);
  DWORD code = WaitForSingleObject(peer, 60000);
  GetExitCodeProcess(peer, &code);
  EXPECT_EQ(0u, code) << "the second process saw a torn or stale reading, or hangs";
  SimResetDevice();
}

}  // namespace
