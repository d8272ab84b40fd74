// Wake-up registrations and the wake-up event.
#include <gtest/gtest.h>

#include "CeApi.h"
#include "SimulatedDevice.h"
#include "TestSupport.h"
#include "WakeupEvent.h"

namespace {

class WakeupEventTest : public testing::Test {
protected:
  void SetUp() override {
    SimResetDevice();
    lstrcpynW(probe, BesideTest(L"WakeupProbe.exe").c_str(), MAX_PATH);
    GetTempPathW(MAX_PATH, output);
    lstrcatW(output, L"wakeup-probe.txt");
    DeleteFileW(output);
    SetEnvironmentVariableW(L"WAKEUP_PROBE_OUT", output);
  }
  void TearDown() override { DeleteFileW(output); }

  int Registered() { return SimWakeupRegistrations(paths, 4); }

  wchar_t probe[MAX_PATH];
  wchar_t output[MAX_PATH];
  wchar_t paths[4][MAX_PATH];
};

TEST_F(WakeupEventTest, RegistrationsKeepOrderAreNotDoubledAndMayBeRefused) {
  wchar_t a[] = L"C:\\a.exe", b[] = L"C:\\b.exe", aAgain[] = L"c:\\A.EXE", empty[] = L"";
  EXPECT_FALSE(CeRunAppAtEvent(a, 5));
  EXPECT_FALSE(CeRunAppAtEvent(empty, NOTIFICATION_EVENT_WAKEUP));
  EXPECT_FALSE(CeRunAppAtEvent(nullptr, NOTIFICATION_EVENT_WAKEUP));
  SimSetWakeupRefusals(2);
  EXPECT_FALSE(CeRunAppAtEvent(a, NOTIFICATION_EVENT_WAKEUP));
  EXPECT_FALSE(CeRunAppAtEvent(b, NOTIFICATION_EVENT_WAKEUP));
  EXPECT_EQ(0, Registered());
  EXPECT_TRUE(CeRunAppAtEvent(a, NOTIFICATION_EVENT_WAKEUP));
  EXPECT_TRUE(CeRunAppAtEvent(b, NOTIFICATION_EVENT_WAKEUP));
  EXPECT_TRUE(CeRunAppAtEvent(aAgain, NOTIFICATION_EVENT_WAKEUP));
  ASSERT_EQ(2, Registered());
  EXPECT_STREQ(a, paths[0]);
  EXPECT_STREQ(b, paths[1]);
  // NONE removes every registration of that program, and only those; removing
  // what is not registered is no failure.
  EXPECT_TRUE(CeRunAppAtEvent(aAgain, NOTIFICATION_EVENT_NONE));
  ASSERT_EQ(1, Registered());
  EXPECT_STREQ(b, paths[0]);
  EXPECT_TRUE(CeRunAppAtEvent(b, NOTIFICATION_EVENT_NONE));
  EXPECT_TRUE(CeRunAppAtEvent(b, NOTIFICATION_EVENT_NONE));
  EXPECT_EQ(0, Registered());
}

// Fires the event and checks that exactly the probe ran, with the CE command line.
void ExpectProbeStartedByWakeup(const wchar_t* output) {
  HANDLE processes[4] = {};
  ASSERT_EQ(1, FireWakeupEvent(processes, 4));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(processes[0], 20000));
  DWORD code = 1;
  GetExitCodeProcess(processes[0], &code);
  CloseHandle(processes[0]);
  EXPECT_EQ(0u, code);

  HANDLE file = CreateFileW(output, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  wchar_t seen[128] = {};
  DWORD read = 0;
  ReadFile(file, seen, sizeof(seen) - sizeof(wchar_t), &read, nullptr);
  CloseHandle(file);
  EXPECT_STREQ(L"AppRunAfterWakeup", seen);
}

// The missing program is passed over; the probe, registered by its device
// path (on drive C:), starts.
TEST_F(WakeupEventTest, FiringStartsTheProgramsWithTheWakeupCommandLine) {
  HANDLE none[1] = {};
  EXPECT_EQ(0, FireWakeupEvent(none, 1));
  ASSERT_TRUE(CopyFileW(probe, L"C:\\windows\\temp\\WakeupProbe.exe", FALSE));
  wchar_t missing[] = L"C:\\no\\such\\program.exe";
  wchar_t devicePath[] = L"\\Windows\\Temp\\WakeupProbe.exe";
  ASSERT_TRUE(CeRunAppAtEvent(missing, NOTIFICATION_EVENT_WAKEUP));
  ASSERT_TRUE(CeRunAppAtEvent(devicePath, NOTIFICATION_EVENT_WAKEUP));
  ExpectProbeStartedByWakeup(output);
  DeleteFileW(L"C:\\windows\\temp\\WakeupProbe.exe");
}

}  // namespace
