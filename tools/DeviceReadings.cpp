// Prints what the strip would show: the device's readings as DeviceStatus
// delivers them, from the device chosen by CE_DEVICE (simulated by default);
// what the device does not know reads as unknown. With --values, the table of
// the simulated device's values instead, as docs/simulated-device.md shows it.
#include <stdio.h>
#include <string.h>

#include <string>

#include "CeApi.h"
#include "DeviceStatus.h"
#include "SimulatedDevice.h"

static std::string Utf8(const wchar_t* text) {
  char utf8[MAX_PATH * 3] = "";
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
  return utf8;
}

int main(int argc, char** argv) {
  wchar_t row[96];
  if (argc == 2 && strcmp(argv[1], "--values") == 0) {
    for (int i = 0; SimValueRow(i, row); i++)
      printf("%s\n", Utf8(row).c_str());
    return 0;
  }
  if (argc > 1) {
    fputs("usage: DeviceReadings.exe [--values]\n", stderr);
    return 2;
  }
  DeviceStatus status;
  bool live = CurrentDeviceKind() == DeviceKind::Live;
  printf("Device: %s\n", live ? "live" : "simulated");

  SYSTEMTIME now;
  GetLocalTime(&now);
  printf("Local time: %04u-%02u-%02u %02u:%02u:%02u, tick count %lu ms\n", now.wYear, now.wMonth,
         now.wDay, now.wHour, now.wMinute, now.wSecond, (unsigned long)GetTickCount());

  bool acOnline = false;
  int percent = 0, voltage = -1;  // still -1: no power status at all
  bool sourceKnown = status.PowerStatus(&acOnline, &percent, &voltage);
  if (voltage < 0)
    printf("Battery: unknown\n");
  else  // the desktop has no voltage
    printf(
        "Battery: %s, %s, %s\n",
        percent != BATTERY_PERCENTAGE_UNKNOWN ? (std::to_string(percent) + "%").c_str() : "unknown",
        !sourceKnown ? "power source unknown"
        : acOnline   ? "on mains power"
                     : "on battery",
        live ? "voltage unknown" : (std::to_string(voltage) + " mV").c_str());
  int hours = 0, minutes = 0, seconds = 0;
  if (status.BatteryTime(&hours, &minutes, &seconds))
    printf("Battery time left: %d:%02d:%02d\n", hours, minutes, seconds);
  else
    printf("Battery time left: unknown\n");
  printf("Memory: %llu MB free of %llu MB (object store and program memory)\n",
         status.MemoryFreeBytes() >> 20, status.MemoryTotalBytes() >> 20);

  if (!status.FindFirstCard())
    printf("Storage cards: none\n");
  for (bool more = status.CardIndex() > 0; more; more = status.FindNextCard()) {
    printf("Storage card %d: %s", status.CardIndex(), Utf8(status.CardName()).c_str());
    BOOL found = FALSE;
    ULONGLONG total = status.CardTotalBytes(&found);
    if (found)
      printf(", %llu MB free of %llu MB\n", status.CardFreeBytes() >> 20, total >> 20);
    else
      printf(", size unknown\n");
  }
  // Values the simulated device could not take, read as their defaults.
  wchar_t names[8][48], values[8][32];
  for (int i = 0, count = live ? 0 : SimIgnoredValues(names, values, 8); i < count && i < 8; i++)
    printf("Ignored: %s = %s (not a number in its range; read as the default)\n",
           Utf8(names[i]).c_str(), Utf8(values[i]).c_str());
  return 0;
}
