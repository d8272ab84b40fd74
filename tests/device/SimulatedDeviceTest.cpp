// The simulated device behind the routed CE calls, and the switch to the
// live device.
#include <gtest/gtest.h>
#include <string.h>

#include "CeApi.h"
#include "SimulatedDevice.h"

namespace {

const ULONGLONG MiB = 1ull << 20;

class SimulatedDeviceTest : public testing::Test {
protected:
  void SetUp() override { SimResetDevice(); }
};

// --- Clock -------------------------------------------------------------------------

TEST_F(SimulatedDeviceTest, FrozenClockMovesOnlyWhenAdvanced) {
  SimSetTickCount(0xFFFFFF00u);
  SimSetLocalTime({2004, 12, 5, 31, 23, 59, 59, 500});
  Sleep(20);
  EXPECT_EQ(0xFFFFFF00u, GetTickCount());

  // Across midnight, the year's end and the tick count's wrap.
  SimAdvanceClock(1000);
  EXPECT_EQ(0x000002E8u, GetTickCount());
  SYSTEMTIME t;
  GetLocalTime(&t);
  EXPECT_EQ(2005, t.wYear);
  EXPECT_EQ(1, t.wMonth);
  EXPECT_EQ(1, t.wDay);
  EXPECT_EQ(0, t.wHour);
  EXPECT_EQ(0, t.wSecond);
  EXPECT_EQ(500, t.wMilliseconds);
  EXPECT_EQ(6, t.wDayOfWeek);  // a Saturday
}

TEST_F(SimulatedDeviceTest, RunningClockRunsOnFromTheValueSet) {
  SimSetClockRunning(true);
  SimSetTickCount(1000);
  SimSetLocalTime({2004, 3, 1, 15, 10, 8, 30, 0});
  Sleep(50);
  DWORD tick = GetTickCount();
  EXPECT_GE(tick, 1040u);
  EXPECT_LT(tick, 60000u);
  SYSTEMTIME t;
  GetLocalTime(&t);
  EXPECT_EQ(8, t.wMinute);
  EXPECT_TRUE(t.wSecond > 30 || t.wMilliseconds >= 40);

  // Freezing keeps the reading of that moment.
  SimSetClockRunning(false);
  tick = GetTickCount();
  Sleep(20);
  EXPECT_EQ(tick, GetTickCount());
}

// --- Storage cards --------------------------------------------------------------------

TEST_F(SimulatedDeviceTest, CardSearchHandlesAreOwnObjects) {
  SimAddCard(L"Storage Card", 64 * MiB, 32 * MiB);
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFlashCard(&data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  EXPECT_STREQ(L"Storage Card", data.cFileName);
  EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(FindNextFlashCard(search, &data));
  EXPECT_EQ((DWORD)ERROR_NO_MORE_FILES, GetLastError());
  EXPECT_TRUE(FindClose(search));
  // A closed search is no longer known.
  EXPECT_FALSE(FindNextFlashCard(search, &data));
  EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, GetLastError());

  // Other handles go to the system's FindClose.
  wchar_t pattern[MAX_PATH];
  GetSystemDirectoryW(pattern, MAX_PATH);
  lstrcatW(pattern, L"\\*");
  HANDLE files = FindFirstFileW(pattern, &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, files);
  EXPECT_TRUE(FindClose(files));
}

TEST_F(SimulatedDeviceTest, CardsKeepTheirOrderWhenChanged) {
  SimAddCard(L"A", 10 * MiB, 1 * MiB);
  SimAddCard(L"B", 20 * MiB, 2 * MiB);
  SimAddCard(L"C", 30 * MiB, 3 * MiB);
  SimAddCard(L"A", 40 * MiB, 4 * MiB);  // replaced in place
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFlashCard(&data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  EXPECT_STREQ(L"A", data.cFileName);
  // A card removed during the search: the search goes on with the next one.
  EXPECT_TRUE(SimRemoveCard(L"B"));
  EXPECT_FALSE(SimRemoveCard(L"B"));
  ASSERT_TRUE(FindNextFlashCard(search, &data));
  EXPECT_STREQ(L"C", data.cFileName);
  EXPECT_FALSE(FindNextFlashCard(search, &data));
  FindClose(search);

  ULARGE_INTEGER caller, total, free;
  ASSERT_TRUE(GetDiskFreeSpaceExW(L"A", &caller, &total, &free));
  EXPECT_EQ(40 * MiB, total.QuadPart);
  EXPECT_EQ(4 * MiB, free.QuadPart);
}

TEST_F(SimulatedDeviceTest, DiskSpaceByCardPath) {
  SimAddCard(L"Storage Card", 64 * MiB, 32 * MiB);
  ULARGE_INTEGER caller = {}, total = {}, free = {};
  EXPECT_TRUE(GetDiskFreeSpaceExW(L"\\Storage Card", &caller, &total, &free));
  EXPECT_TRUE(GetDiskFreeSpaceExW(L"storage card\\", nullptr, &total, nullptr));
  EXPECT_EQ(64 * MiB, total.QuadPart);
  EXPECT_FALSE(GetDiskFreeSpaceExW(L"Storage", &caller, &total, &free));
  EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());

  SimSetCardQueryFails(L"Storage Card", true);
  total.QuadPart = 7;
  EXPECT_FALSE(GetDiskFreeSpaceExW(L"Storage Card", &caller, &total, &free));
  EXPECT_EQ(7u, total.QuadPart);
}

// --- Power ---------------------------------------------------------------------

TEST_F(SimulatedDeviceTest, ShortPowerQueryFillsOnlyItsBytes) {
  SimSetPower(AC_LINE_ONLINE, 90, 3725, 4100);
  SYSTEM_POWER_STATUS_EX2 power;
  memset(&power, 0xCC, sizeof(power));
  SimSetPowerQueryBytes(8);
  EXPECT_EQ(8u, GetSystemPowerStatusEx2(&power, sizeof(power), TRUE));
  EXPECT_EQ(3725u, power.BatteryLifeTime);
  EXPECT_EQ(0xCCCCCCCCu, power.BatteryFullLifeTime);
}

// --- Changes made by other processes -------------------------------------------------

// Runs Wine's reg.exe, as a shell user would, and waits for it.
void RunReg(const wchar_t* arguments) {
  wchar_t commandLine[512];
  wsprintfW(commandLine, L"reg.exe %s", arguments);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &startup, &process));
  WaitForSingleObject(process.hProcess, 20000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(0u, code) << "reg.exe " << testing::PrintToString(arguments);
}

BYTE BatteryPercent() {
  SYSTEM_POWER_STATUS_EX2 power = {};
  GetSystemPowerStatusEx2(&power, sizeof(power), TRUE);
  return power.BatteryLifePercent;
}

TEST_F(SimulatedDeviceTest, SeesChangesFromAnotherProcessAtOnce) {
  SimSetPower(AC_LINE_OFFLINE, 50, 3725, 3700);
  ASSERT_EQ(50, BatteryPercent());
  RunReg(L"add HKCU\\Software\\CeStandIn\\SimulatedDevice /v BatteryPercent /t REG_DWORD /d 33 /f");
  EXPECT_EQ(33, BatteryPercent());

  // The whole key deleted under a running program: defaults, then new settings.
  RunReg(L"delete HKCU\\Software\\CeStandIn\\SimulatedDevice /f");
  EXPECT_EQ(80, BatteryPercent());
  SimSetPower(AC_LINE_OFFLINE, 12, 3725, 3700);
  EXPECT_EQ(12, BatteryPercent());
  RunReg(L"add HKCU\\Software\\CeStandIn\\SimulatedDevice /v BatteryPercent /t REG_DWORD /d 44 /f");
  EXPECT_EQ(44, BatteryPercent());
}

// --- Live device -------------------------------------------------------------------------

TEST_F(SimulatedDeviceTest, LiveDeviceReadsTheMachine) {
  SelectDevice(DeviceKind::Live);
  wchar_t variable[16] = {};
  GetEnvironmentVariableW(L"CE_DEVICE", variable, 16);
  EXPECT_STREQ(L"live", variable);
  EXPECT_EQ(DeviceKind::Live, CurrentDeviceKind());

  STORE_INFORMATION store = {1, 1};
  EXPECT_TRUE(GetStoreInformation(&store));
  EXPECT_EQ(0u, store.dwStoreSize);
  MEMORYSTATUSEX machine = {};
  machine.dwLength = sizeof(machine);
  GlobalMemoryStatusEx(&machine);
  MEMORYSTATUS memory = {};
  GlobalMemoryStatus(&memory);
  EXPECT_EQ(machine.ullTotalPhys, memory.dwTotalPhys);
  SYSTEM_POWER_STATUS machinePower;
  GetSystemPowerStatus(&machinePower);
  SYSTEM_POWER_STATUS_EX2 power = {};
  EXPECT_EQ(56u, GetSystemPowerStatusEx2(&power, sizeof(power), TRUE));
  EXPECT_EQ(machinePower.ACLineStatus, power.ACLineStatus);
  // The simulated device's figures are not what the live one shows.
  SimSetTickCount(5);
  EXPECT_NE(5u, GetTickCount());

  SelectDevice(DeviceKind::Simulated);
  EXPECT_EQ(5u, GetTickCount());
}

}  // namespace
