// The simulated device's clock, and the switch to the live device. (Its other
// readings are checked through DeviceStatus in tests/status, and from a shell
// by ShellState.sh.)
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

// The live device answers from the machine, and programs started from here
// inherit the choice.
TEST_F(SimulatedDeviceTest, LiveDeviceIsChosenForThisProcessAndItsChildren) {
  SelectDevice(DeviceKind::Live);
  wchar_t variable[16] = {};
  GetEnvironmentVariableW(L"CE_DEVICE", variable, 16);
  EXPECT_STREQ(L"live", variable);
  EXPECT_EQ(DeviceKind::Live, CurrentDeviceKind());
  SYSTEM_POWER_STATUS machine;
  GetSystemPowerStatus(&machine);
  SYSTEM_POWER_STATUS_EX2 power = {};
  EXPECT_EQ(56u, GetSystemPowerStatusEx2(&power, sizeof(power), TRUE));
  EXPECT_EQ(machine.ACLineStatus, power.ACLineStatus);
  SimSetTickCount(5);
  EXPECT_NE(5u, GetTickCount()) << "the live device showed the simulated tick count";
  SelectDevice(DeviceKind::Simulated);
  EXPECT_EQ(5u, GetTickCount());
}

}  // namespace
