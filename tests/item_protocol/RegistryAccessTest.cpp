// RegistryAccess against the real registry, on a scratch key of this process.
#include "RegistryAccess.h"

#include <gtest/gtest.h>
#include <functional>
#include <string>

// Every helper at its edges. Rows run in order on one scratch key: the result
// code and the text a GetString read; what a row stores, later rows read.
TEST(RegistryAccess, EveryHelperAtItsEdges) {
  RegistryAccess r;
  const std::wstring path =
      L"Software\\QuorvaneTests\\Registry" + std::to_wstring(GetCurrentProcessId());
  const std::wstring gone = path + L"\\gone", fresh = path + L"\\fresh", longText(32767, L'x');
  const HKEY root = HKEY_CURRENT_USER;
  const wchar_t *p = path.c_str(), *gp = gone.c_str(), *fp = fresh.c_str();
  RegDeleteTreeW(root, p);
  EXPECT_FALSE(r.KeyExists(root, fp));
  EXPECT_FALSE(r.KeyExists(root, fp));  // asking does not create it
  ScopedRegKey readOnly;                // a key that refuses writing
  ASSERT_EQ(0, RegCreateKeyExW(root, p, 0, nullptr, 0, KEY_READ, nullptr, readOnly.Out(), nullptr));
  const BYTE four[] = {1, 2, 3, 4}, eight[8] = {};
  DWORD dword = 0, size = 0;
  BYTE* bytes = nullptr;
  std::wstring text;
  wchar_t *none = nullptr, *inUse = const_cast<wchar_t*>(L"in use");
  const HKEY badRoot = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7FFFFFF0));
  using R = RegResult;
  auto getDword = [&](const wchar_t* value) { return r.GetDword(root, p, value, &dword); };
  auto getBytes = [&](const wchar_t* value) { return r.GetBytes(root, p, value, &bytes, &size); };
  auto getString = [&](const wchar_t* key, const wchar_t* value) {
    wchar_t* out = nullptr;
    RegResult result = r.GetString(root, key, value, &out);
    text = out ? out : L"<none>";
    free(out);
    return result;
  };
  auto read = [&](const wchar_t* value, DWORD type, const void* data, DWORD bytes) {
    return [=] {  // stored as given, read back with GetString
      RegSetKeyValueW(root, p, value, type, data, bytes);
      return getString(p, value);
    };
  };
  const struct {
    const char* what;
    std::function<RegResult()> call;
    RegResult result;
    const wchar_t* text = nullptr;  // what GetString read
  } rows[] = {
      {"GetString creates the key", [&] { return getString(fp, L"v"); }, R::ReadFailed, L"<none>"},
      {"the read created the key", [&] { return r.KeyExists(root, fp) ? R::Ok : R::NoKey; }, R::Ok},
      {"GetString", read(L"sz", REG_SZ, L"\\About.exe", 22), R::Ok, L"\\About.exe"},
      {"GetString empty", read(L"empty", REG_SZ, L"", 2), R::Ok, L""},
      {"GetString zero length", read(L"0", REG_DWORD, "", 0), R::Ok, L""},
      {"GetString unterminated", read(L"u", REG_SZ, L"abcXYZ", 6), R::Ok, L"abc"},
      // The odd byte is the low one of the 4th character.
      {"GetString odd size", read(L"odd", REG_SZ, L"abcd", 7), R::Ok, L"abcd"},
      {"GetString expandable", read(L"x", REG_EXPAND_SZ, L"%x%", 8), R::WrongType, L"<none>"},
      {"GetString 64 KiB", read(L"64", REG_SZ, longText.c_str(), 65536), R::Ok, longText.c_str()},
      {"SetDword", [&] { return r.SetDword(root, p, L"d", 0x1234); }, R::Ok},
      {"SetString", [&] { return r.SetString(root, p, L"s", L"abc"); }, R::Ok},
      {"GetString of SetString's", [&] { return getString(p, L"s"); }, R::Ok, L"abc"},
      {"SetBytes", [&] { return r.SetBytes(root, p, L"b", four, 4); }, R::Ok},
      {"SetBytes 8", [&] { return r.SetBytes(root, p, L"8", eight, 8); }, R::Ok},
      {"SetDword refused", [&] { return r.SetDword(readOnly, L"d", 1); }, R::DwordWriteFailed},
      {"SetString refused", [&] { return r.SetString(readOnly, L"d", L"a"); }, R::WriteFailed},
      {"SetDword bad root", [&] { return r.SetDword(badRoot, p, L"d", 1); }, R::KeyOpenFailed},
      {"GetDword of 4 binary bytes", [&] { return getDword(L"b"); }, R::WrongType},
      {"GetDword of 8 bytes", [&] { return getDword(L"8"); }, R::ReadFailed},
      {"GetDword", [&] { return getDword(L"d"); }, R::Ok},
      {"GetBytes of a string", [&] { return getBytes(L"s"); }, R::WrongType},
      {"GetBytes missing", [&] { return getBytes(L"none"); }, R::ReadFailed},
      {"GetBytes", [&] { return getBytes(L"b"); }, R::Ok},
      {"GetBytes in use", [&] { return getBytes(L"b"); }, R::OutputInUse},
      {"DeleteValue", [&] { return r.DeleteValue(root, p, L"d"); }, R::Ok},
      {"DeleteValue missing", [&] { return r.DeleteValue(root, p, L"d"); }, R::DeleteFailed},
      {"DeleteKey missing", [&] { return r.DeleteKey(root, p, L"gone"); }, R::DeleteFailed},
      {"in use: creates", [&] { return r.GetString(root, gp, L"v", &inUse); }, R::OutputInUse},
      {"DeleteKey", [&] { return r.DeleteKey(root, p, L"gone"); }, R::Ok},
      {"GetString of no key", [&] { return r.GetString(nullptr, L"s", &none); }, R::NoKey},
      {"CloseKey of a bad key", [&] { return r.CloseKey(badRoot); }, R::KeyCloseFailed},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.result, row.call()) << row.what;
    EXPECT_EQ(row.text ? row.text : text, text) << row.what;
  }
  EXPECT_EQ(0x1234u, dword);
  EXPECT_TRUE(bytes && size == 4 && !memcmp(bytes, four, 4));
  free(bytes);
  EXPECT_FALSE(r.KeyExists(root, gp));  // created by the read in use, then deleted
  EXPECT_STREQ(L"in use", inUse);
  RegDeleteTreeW(root, p);
}
