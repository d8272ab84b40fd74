// The item's registry reads on a value of any type, length and bytes: a
// string read must answer the stored text, terminated, or refuse.
#include "FuzzDriver.h"
#include "RegistryAccess.h"

#include <stdlib.h>
#include <string.h>

static const wchar_t kKey[] = L"Software\\QuorvaneFuzz";

static std::string ReadValue(const std::string& input) {
  FuzzBytes in{input};
  DWORD type = (DWORD)in.Take(1) % 13;  // REG_NONE .. REG_QWORD, and one unknown
  std::string data = in.Rest();
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegDeleteValueW(key, L"Value");
  // Zeros after the value: Windows and Wine read one character past a string
  // value whose size is odd, looking for a terminator to count.
  LONG stored = RegSetValueExW(key, L"Value", 0, type, (const BYTE*)(data + '\0' + '\0').c_str(),
                               (DWORD)data.size());
  RegCloseKey(key);
  if (stored != ERROR_SUCCESS) return "not stored";

  RegistryAccess registry;
  wchar_t* text = nullptr;
  RegResult asText = registry.GetString(HKEY_CURRENT_USER, kKey, L"Value", &text);
  if (asText == RegResult::Ok) {
    size_t chars = wcslen(text);  // a fault here: not terminated inside its block
    if (type == REG_SZ && memcmp(text, data.data(), std::min(chars * 2, data.size())) != 0)
      __builtin_trap();  // not the stored text
  }
  free(text);
  BYTE* bytes = nullptr;
  DWORD size = 0;
  RegResult asBytes = registry.GetBytes(HKEY_CURRENT_USER, kKey, L"Value", &bytes, &size);
  if (asBytes == RegResult::Ok && (size != data.size() || memcmp(bytes, data.data(), size) != 0))
    __builtin_trap();
  free(bytes);
  DWORD number = 0;
  RegResult asDword = registry.GetDword(HKEY_CURRENT_USER, kKey, L"Value", &number);
  return "type " + std::to_string(type) + ": " + std::to_string((int)asText) + " " +
         std::to_string((int)asBytes) + " " + std::to_string((int)asDword);
}

int main(int argc, char** argv) { return FuzzMain(argc, argv, "registry_string", ReadValue); }
