// The simulated device's values as a shell may leave them (any type, length
// and bytes, cards under any subkey name), then every reading.
#include "CeApi.h"
#include "FuzzDriver.h"
#include "SimulatedDevice.h"

static const DWORD kTypes[] = {REG_DWORD, REG_QWORD, REG_SZ, REG_BINARY, REG_MULTI_SZ, 99};

// Absent, or of any type with a number or up to 40 bytes from the input.
static void WriteValue(HKEY key, const wchar_t* name, FuzzBytes& in) {
  unsigned choice = (unsigned)in.Take(1);
  if (choice % 8 == 0)
    return;
  DWORD type = kTypes[(choice >> 3) % 6];
  unsigned long long n = choice & 0x80 ? in.Take(8) : 0;
  std::string bytes((const char*)&n, n ? (type == REG_QWORD ? 8 : 4) : 0);
  for (size_t k = n ? 0 : in.Take(1) % 41; k--;)
    bytes += (char)in.Take(1);
  DWORD size = (DWORD)bytes.size();
  bytes.append(2, '\0');  // a string value of odd size is read one character past its end
  RegSetValueExW(key, name, 0, type, (const BYTE*)bytes.data(), size);
}

static std::string ReadDevice(const std::string& input) {
  FuzzBytes in{input};
  HKEY device = nullptr, card = nullptr;
  RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\CeStandIn\\SimulatedDevice", &device);
  RegDeleteTreeW(device, nullptr);
  wchar_t row[96], subkey[40];
  for (int i = 0; SimValueRow(i, row); i++)  // "| `Name` | ..."
    WriteValue(device, std::wstring(row + 3, wcschr(row + 3, L'`')).c_str(), in);
  for (size_t cards = in.Take(1) % 4; cards--; RegCloseKey(card)) {
    unsigned long long n = in.Take(1) & 1 ? in.Take(1) % 5 : in.Take(8);
    swprintf(subkey, 40, in.Take(1) & 1 ? L"Cards\\%llu" : L"Cards\\0%llx", n);
    RegCreateKeyW(device, subkey, &card);
    for (const wchar_t* name : {L"Name", L"TotalBytes", L"FreeBytes", L"QueryFails"})
      WriteValue(card, name, in);
  }
  RegCloseKey(device);
  SimReloadDevice();

  SYSTEM_POWER_STATUS_EX2 power;
  STORE_INFORMATION store;
  SYSTEMTIME time;
  WIN32_FIND_DATAW found;
  ULARGE_INTEGER free, total;
  DWORD powerBytes = GetSystemPowerStatusEx2(&power, sizeof power, TRUE);
  BOOL storeRead = GetStoreInformation(&store);
  CeGetLocalTime(&time);
  int cardsFound = 0;
  HANDLE search = FindFirstFlashCard(&found);
  for (bool more = search != INVALID_HANDLE_VALUE; more && cardsFound < 200;
       more = FindNextFlashCard(search, &found), cardsFound++)
    CeGetDiskFreeSpaceExW(found.cFileName, &free, &total, &free);
  CeFindClose(search);
  // Readings out of the device's ranges (free above total is a value a shell may set).
  if (time.wMonth - 1u > 11 || time.wYear - 1980u > 119 || cardsFound > 128)
    __builtin_trap();
  wchar_t names[8][48], values[8][32];
  std::string outcome = std::to_string(powerBytes) + (storeRead ? " store" : " no store") +
                        " cards " + std::to_string(cardsFound) + " ignored";
  for (int i = 0, n = SimIgnoredValues(names, values, 8); i < n && i < 8; i++)
    outcome += " " + FuzzOutcome(names[i]);
  return outcome;
}

int main(int argc, char** argv) {
  int status = FuzzMain(argc, argv, "device_numbers", ReadDevice);
  SimResetDevice();  // the next program finds the device as documented
  return status;
}
