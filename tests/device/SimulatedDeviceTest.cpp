// The simulated device behind the routed CE calls, and the switch to the
// live device.
#include <gtest/gtest.h>

#include <vector>

#include "CeApi.h"
#include "SimulatedDevice.h"

namespace {

class SimulatedDeviceTest : public testing::Test {
protected:
  void SetUp() override { SimResetDevice(); }
};

std::vector<int> LocalTime() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wDayOfWeek, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

TEST_F(SimulatedDeviceTest, FrozenClockMovesOnlyWhenAdvancedRunningClockRunsOn) {
  SimSetTickCount(0xFFFFFF00u);
  SimSetLocalTime({2004, 12, 5, 31, 23, 59, 59, 500});
  Sleep(20);
  EXPECT_EQ(0xFFFFFF00u, GetTickCount());
  SimAdvanceClock(1000);  // across midnight, the year's end and the tick count's wrap
  EXPECT_EQ(0x000002E8u, GetTickCount());
  EXPECT_EQ((std::vector<int>{2005, 1, 1, 6, 0, 0, 0, 500}), LocalTime());  // a Saturday

  SimSetClockRunning(true);
  SimSetTickCount(1000);
  SimSetLocalTime({2004, 3, 1, 15, 10, 8, 30, 0});
  Sleep(50);
  DWORD tick = GetTickCount();
  EXPECT_GE(tick, 1040u);
  EXPECT_LT(tick, 60000u);
  std::vector<int> t = LocalTime();
  EXPECT_TRUE(t[6] > 30 || t[7] >= 40) << t[6] << " s " << t[7] << " ms";
  SimSetClockRunning(false);  // keeps the reading of that moment
  tick = GetTickCount();
  Sleep(20);
  EXPECT_EQ(tick, GetTickCount());
}

// Runs Wine's reg.exe, as a shell user would, and waits for it.
void RunReg(const std::wstring& arguments) {
  std::wstring line = L"reg.exe " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &startup, &process));
  WaitForSingleObject(process.hProcess, 30000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(0u, code) << testing::PrintToString(line);
}

int BatteryPercent() {
  SYSTEM_POWER_STATUS_EX2 power = {};
  GetSystemPowerStatusEx2(&power, sizeof(power), TRUE);
  return power.BatteryLifePercent;
}

TEST_F(SimulatedDeviceTest, SeesChangesFromAnotherProcessAtOnce) {
  const std::wstring key = L"HKCU\\Software\\CeStandIn\\SimulatedDevice";
  const std::wstring percent = L" /v BatteryPercent /t REG_DWORD /f /d ";
  SimSetPower(AC_LINE_OFFLINE, 50, 3725, 3700);
  ASSERT_EQ(50, BatteryPercent());
  RunReg(L"add " + key + percent + L"33");
  EXPECT_EQ(33, BatteryPercent());
  // The whole key deleted under a running program: defaults, then new settings.
  RunReg(L"delete " + key + L" /f");
  EXPECT_EQ(80, BatteryPercent());
  SimSetPower(AC_LINE_OFFLINE, 12, 3725, 3700);
  EXPECT_EQ(12, BatteryPercent());
  RunReg(L"add " + key + percent + L"44");
  EXPECT_EQ(44, BatteryPercent());
}

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
  SimSetTickCount(5);
  EXPECT_NE(5u, GetTickCount()) << "the live device showed the simulated tick count";
  SelectDevice(DeviceKind::Simulated);
  EXPECT_EQ(5u, GetTickCount());
}

}  // namespace
