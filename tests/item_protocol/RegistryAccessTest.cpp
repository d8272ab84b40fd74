// RegistryAccess against the real registry, in a scratch key of this process.
#include "RegistryAccess.h"

#include <gtest/gtest.h>
#include <string>

TEST(RegistryAccess, GetStringOnAScratchKey) {
  RegistryAccess registry;
  std::wstring path = L"Software\\QuorvaneTests\\Registry" + std::to_wstring(GetCurrentProcessId());
  auto read = [&](const std::wstring& key, const wchar_t* name, std::wstring* text) {
    wchar_t* out = nullptr;
    RegResult result = registry.GetString(HKEY_CURRENT_USER, key.c_str(), name, &out);
    *text = out ? out : L"<none>";
    free(out);
    return result;
  };
  std::wstring text;
  RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  EXPECT_FALSE(registry.KeyExists(HKEY_CURRENT_USER, path.c_str()));
  EXPECT_FALSE(registry.KeyExists(HKEY_CURRENT_USER, path.c_str()));  // asking does not create it
  EXPECT_EQ(RegResult::ReadFailed, read(path, L"v", &text));              // reading does
  EXPECT_TRUE(registry.KeyExists(HKEY_CURRENT_USER, path.c_str()));
  EXPECT_EQ(L"<none>", text);

  HKEY key = nullptr;
  const std::wstring longText(32767, L'x');
  ASSERT_EQ(RegResult::Ok, registry.OpenKey(HKEY_CURRENT_USER, path.c_str(), &key));
  const struct {
    const wchar_t* name;
    DWORD type;
    const void* data;
    DWORD size;
    RegResult result;
    const wchar_t* text;
  } cases[] = {
      {L"sz", REG_SZ, L"\\About.exe", 22, RegResult::Ok, L"\\About.exe"},
      {L"empty", REG_SZ, L"", 2, RegResult::Ok, L""},
      {L"zero length", REG_DWORD, "", 0, RegResult::Ok, L""},
      {L"unterminated", REG_SZ, L"abcXYZ", 6, RegResult::Ok, L"abc"},
      {L"odd size", REG_SZ, L"abcd", 7, RegResult::Ok, L"abcd"},  // low byte of the 4th character
      {L"expandable", REG_EXPAND_SZ, L"%x%", 8, RegResult::WrongType, L"<none>"},
      {L"string list", REG_MULTI_SZ, L"a\0b\0", 10, RegResult::WrongType, L"<none>"},
      {L"64 KiB", REG_SZ, longText.c_str(), 65536, RegResult::Ok, longText.c_str()},
  };
  for (const auto& c : cases) {
    RegSetValueExW(key, c.name, 0, c.type, static_cast<const BYTE*>(c.data), c.size);
    EXPECT_EQ(c.result, read(path, c.name, &text)) << c.name;
    EXPECT_EQ(c.text, text) << c.name;
  }
  wchar_t* out = const_cast<wchar_t*>(L"in use");
  EXPECT_EQ(RegResult::OutputInUse,
            registry.GetString(HKEY_CURRENT_USER, path.c_str(), L"sz", &out));
  EXPECT_STREQ(out, L"in use");
  EXPECT_EQ(RegResult::NoKey, registry.GetString(nullptr, L"sz", &(out = nullptr)));
  EXPECT_EQ(RegResult::Ok, registry.CloseKey(key));
  RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}
