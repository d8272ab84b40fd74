// Stands in for the About program in the launch tests: reports its start
// through the named semaphore the test created, then exits.
#include <windows.h>

int main() {
  HANDLE started = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, L"QuorvaneAboutProbe");
  if (started)
    ReleaseSemaphore(started, 1, nullptr);
  return 0;
}
