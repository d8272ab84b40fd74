// Entry point: the command line alone decides between the two ways of starting.
#include "AboutProgram.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  // Exact and case-sensitive: the system starts us with precisely this text.
  if (wcscmp(commandLine, APP_RUN_AFTER_WAKEUP) == 0) {
    NotifyItemOfWakeup();
  } else {
    RunAboutDialog(instance);
  }
  return 0;
}
