// The item's registry reads on a value of any type, length and bytes: a
// string read answers the stored text, terminated, or refuses.
#include "FuzzDriver.h"
#include "RegistryAccess.h"

static std::string ReadValue(const std::string& input) {
  const wchar_t* kKey = L"Software\\QuorvaneFuzz";
  DWORD type = (DWORD)(unsigned char)input[0] % 13;  // REG_NONE .. REG_QWORD, one unknown
  std::string data = input.empty() ? input : input.substr(1);
  HKEY key = nullptr;
  RegCreateKeyW(HKEY_CURRENT_USER, kKey, &key);
  RegDeleteValueW(key, L"Value");
  // Zeros after the value: Windows and Wine read one character past a string
  // value whose size is odd, looking for a terminator to count.
  LONG stored = RegSetValueExW(key, L"Value", 0, type, (const BYTE*)(data + '\0' + '\0').c_str(),
                               (DWORD)data.size());
  RegCloseKey(key);
  if (stored != ERROR_SUCCESS)
    return "not stored";
  RegistryAccess registry;
  wchar_t* text = nullptr;
  BYTE* bytes = nullptr;
  DWORD size = 0, number = 0;
  RegResult asText = registry.GetString(HKEY_CURRENT_USER, kKey, L"Value", &text);
  RegResult asBytes = registry.GetBytes(HKEY_CURRENT_USER, kKey, L"Value", &bytes, &size);
  RegResult asDword = registry.GetDword(HKEY_CURRENT_USER, kKey, L"Value", &number);
  // wcslen faults on a text not terminated inside its block.
  if ((asText == RegResult::Ok && type == REG_SZ &&
       memcmp(text, data.data(), std::min(wcslen(text) * 2, data.size())) != 0) ||
      (asBytes == RegResult::Ok && (size != data.size() || memcmp(bytes, data.data(), size))))
    __builtin_trap();  // not what was stored
  free(text);
  free(bytes);
  return "type " + std::to_string(type) + ": " + std::to_string((int)asText) + " " +
         std::to_string((int)asBytes) + " " + std::to_string((int)asDword);
}

int main(int argc, char** argv) {
  return FuzzMain(argc, argv, "registry_string", ReadValue);
}
