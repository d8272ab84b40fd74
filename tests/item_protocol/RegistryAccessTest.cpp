// RegistryAccess against the real registry, in a scratch key of this process.
#include "RegistryAccess.h"

#include <sddl.h>

#include <gtest/gtest.h>
#include <functional>
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
  EXPECT_EQ(RegResult::ReadFailed, read(path, L"v", &text));          // reading does
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

// Every helper at its edges, path-level: the result code, and what the
// registry holds afterwards (type and size; REG_NONE: no such value). Rows
// run in order on one scratch key; its subkey "ro" lets its holder read only.
TEST(RegistryAccess, EveryHelperAtItsEdges) {
  RegistryAccess r;
  const std::wstring path =
      L"Software\\QuorvaneTests\\Edges" + std::to_wstring(GetCurrentProcessId());
  const std::wstring ro = path + L"\\ro", gone = path + L"\\gone";
  const HKEY root = HKEY_CURRENT_USER;
  const wchar_t *p = path.c_str(), *rop = ro.c_str();
  RegDeleteTreeW(root, p);
  ASSERT_EQ(RegResult::Ok, r.SetString(root, rop, L"s", L"x"));
  PSECURITY_DESCRIPTOR readOnly = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KRSD;;;WD)", 1,
                                                                   &readOnly, nullptr));
  ScopedRegKey roKey;
  ASSERT_EQ(0, RegOpenKeyExW(root, rop, 0, WRITE_DAC, roKey.Out()));
  ASSERT_EQ(0, RegSetKeySecurity(roKey, DACL_SECURITY_INFORMATION, readOnly));
  LocalFree(readOnly);
  const BYTE four[] = {1, 2, 3, 4}, eight[8] = {};
  DWORD dword = 0, size = 0;
  BYTE* bytes = nullptr;
  const HKEY badRoot = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7FFFFFF0));
  using R = RegResult;
  auto getDword = [&](const wchar_t* value) { return r.GetDword(root, p, value, &dword); };
  auto getBytes = [&](const wchar_t* value) { return r.GetBytes(root, p, value, &bytes, &size); };
  const struct {
    const char* what;
    std::function<RegResult()> call;
    RegResult result;
    const wchar_t* value = nullptr;  // checked afterwards under `path`
    DWORD type = REG_NONE, size = 0;
  } rows[] = {
      {"SetDword", [&] { return r.SetDword(root, p, L"d", 0x1234); }, R::Ok, L"d", REG_DWORD, 4},
      {"SetString", [&] { return r.SetString(root, p, L"s", L"abc"); }, R::Ok, L"s", REG_SZ, 8},
      {"SetString empty", [&] { return r.SetString(root, p, L"e", L""); }, R::Ok, L"e", REG_SZ, 2},
      {"SetBytes", [&] { return r.SetBytes(root, p, L"b", four, 4); }, R::Ok, L"b", REG_BINARY, 4},
      {"SetBytes 8", [&] { return r.SetBytes(root, p, L"8", eight, 8); }, R::Ok, L"8", REG_BINARY,
       8},
      {"SetDword refused", [&] { return r.SetDword(root, rop, L"d", 1); }, R::DwordWriteFailed},
      {"SetString refused", [&] { return r.SetString(root, rop, L"d", L"a"); }, R::WriteFailed},
      {"SetBytes refused", [&] { return r.SetBytes(root, rop, L"d", four, 4); }, R::WriteFailed},
      {"SetDword bad root", [&] { return r.SetDword(badRoot, p, L"d", 1); }, R::KeyOpenFailed},
      {"GetDword of 4 binary bytes", [&] { return getDword(L"b"); }, R::WrongType},
      {"GetDword of a 2-byte string", [&] { return getDword(L"e"); }, R::WrongType},
      {"GetDword of 8 bytes", [&] { return getDword(L"8"); }, R::ReadFailed},
      {"GetDword missing", [&] { return getDword(L"none"); }, R::ReadFailed},
      {"GetDword", [&] { return getDword(L"d"); }, R::Ok},
      {"GetBytes of a string", [&] { return getBytes(L"s"); }, R::WrongType},
      {"GetBytes missing", [&] { return getBytes(L"none"); }, R::ReadFailed},
      {"GetBytes", [&] { return getBytes(L"b"); }, R::Ok},
      {"GetBytes in use", [&] { return getBytes(L"b"); }, R::OutputInUse},
      {"DeleteValue", [&] { return r.DeleteValue(root, p, L"d"); }, R::Ok, L"d", REG_NONE},
      {"DeleteValue missing", [&] { return r.DeleteValue(root, p, L"d"); }, R::DeleteFailed},
      {"DeleteValue refused", [&] { return r.DeleteValue(root, rop, L"s"); }, R::DeleteFailed},
      {"DeleteKey missing", [&] { return r.DeleteKey(root, p, L"gone"); }, R::DeleteFailed},
      {"GetString in use creates the key",
       [&] {
         wchar_t* t = const_cast<wchar_t*>(L"x");
         return r.GetString(root, gone.c_str(), L"v", &t);
       },
       R::OutputInUse},
      {"DeleteKey", [&] { return r.DeleteKey(root, p, L"gone"); }, R::Ok},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.result, row.call()) << row.what;
    if (!row.value)
      continue;
    DWORD type = REG_NONE, stored = 0;
    if (RegGetValueW(root, p, row.value, RRF_RT_ANY, &type, nullptr, &stored) != ERROR_SUCCESS)
      type = REG_NONE;  // Wine may set it even then
    EXPECT_EQ(row.type, type) << row.what;
    EXPECT_TRUE(row.type == REG_NONE || row.size == stored) << row.what;
  }
  EXPECT_EQ(0x1234u, dword);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(4u, size);
  EXPECT_EQ(0, memcmp(bytes, four, 4));
  free(bytes);
  EXPECT_FALSE(r.KeyExists(root, gone.c_str()));
  EXPECT_EQ(RegResult::KeyCloseFailed, r.CloseKey(badRoot));
  RegDeleteTreeW(root, p);
}
