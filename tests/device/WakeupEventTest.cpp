// The wake-up event: the programs registered for it start with the CE command
// line. (Registering is checked through the item in tests/item_protocol.)
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

  wchar_t probe[MAX_PATH];
  wchar_t output[MAX_PATH];
};

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
