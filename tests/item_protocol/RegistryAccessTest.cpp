// RegistryAccess against the real registry, in a scratch key of this process.
#include "RegistryAccess.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <stdlib.h>

class RegistryAccessTest : public testing::Test {
protected:
  void SetUp() override {
    swprintf(path, 128, L"Software\\QuorvaneTests\\Registry%lu", GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, path);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr), ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, path);
  }
  void Put(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), 0);
  }
  // GetString on the scratch key; the text ("<null>" when none) goes to `text`.
  RegResult Read(const wchar_t* name, std::wstring* text) {
    wchar_t* out = nullptr;
    RegResult result = registry.GetString(HKEY_CURRENT_USER, path, name, &out);
    *text = out ? out : L"<null>";
    free(out);
    return result;
  }
  wchar_t path[128];
  HKEY key = nullptr;
  RegistryAccess registry;
  std::wstring text;
};

TEST_F(RegistryAccessTest, GetStringDeliversTerminatedStringsOfTypeSzOnly) {
  EXPECT_EQ(registry.SetString(HKEY_CURRENT_USER, path, L"s", L"\\Windows\\About.exe"),
            RegResult::Ok);
  EXPECT_EQ(Read(L"s", &text), RegResult::Ok);
  EXPECT_EQ(text, L"\\Windows\\About.exe");
  Put(L"empty", REG_SZ, L"", 2);
  Put(L"zero", REG_DWORD, "", 0);
  Put(L"unterminated", REG_SZ, L"abcXYZ", 6);
  Put(L"odd", REG_SZ, L"abcd", 7);  // the 4th character keeps its low byte only
  Put(L"expand", REG_EXPAND_SZ, L"%x%", 8);
  Put(L"multi", REG_MULTI_SZ, L"a\0b\0", 10);
  EXPECT_EQ(Read(L"empty", &text), RegResult::Ok);
  EXPECT_EQ(text, L"");
  EXPECT_EQ(Read(L"zero", &text), RegResult::Ok);
  EXPECT_EQ(text, L"");
  EXPECT_EQ(Read(L"unterminated", &text), RegResult::Ok);
  EXPECT_EQ(text, L"abc");
  EXPECT_EQ(Read(L"odd", &text), RegResult::Ok);
  EXPECT_EQ(text, L"abcd");
  EXPECT_EQ(Read(L"expand", &text), RegResult::WrongType);
  EXPECT_EQ(text, L"<null>");
  EXPECT_EQ(Read(L"multi", &text), RegResult::WrongType);
  EXPECT_EQ(Read(L"missing", &text), RegResult::ReadFailed);
  EXPECT_EQ(text, L"<null>");

  wchar_t busy[] = L"kept";
  wchar_t* out = busy;
  EXPECT_EQ(registry.GetString(HKEY_CURRENT_USER, path, L"s", &out), RegResult::OutputInUse);
  EXPECT_EQ(out, busy);
  EXPECT_EQ(registry.GetString(nullptr, L"s", &(out = nullptr)), RegResult::NoKey);
}

TEST_F(RegistryAccessTest, ReadsCreateAMissingKeyButKeyExistsDoesNot) {
  std::wstring sub = std::wstring(path) + L"\\Sub";
  EXPECT_FALSE(registry.KeyExists(HKEY_CURRENT_USER, sub.c_str()));
  EXPECT_FALSE(registry.KeyExists(HKEY_CURRENT_USER, sub.c_str()));
  wchar_t* out = nullptr;
  EXPECT_EQ(registry.GetString(HKEY_CURRENT_USER, sub.c_str(), L"v", &out), RegResult::ReadFailed);
  EXPECT_TRUE(registry.KeyExists(HKEY_CURRENT_USER, sub.c_str()));
  EXPECT_EQ(registry.DeleteKey(HKEY_CURRENT_USER, path, L"Sub"), RegResult::Ok);
  EXPECT_EQ(registry.DeleteKey(HKEY_CURRENT_USER, path, L"Sub"), RegResult::DeleteFailed);
  EXPECT_FALSE(registry.KeyExists(HKEY_CURRENT_USER, sub.c_str()));
  EXPECT_EQ(registry.OpenKey(reinterpret_cast<HKEY>(0x1234), L"x", &key), RegResult::KeyOpenFailed);
  EXPECT_EQ(registry.CloseKey(reinterpret_cast<HKEY>(0x1234)), RegResult::KeyCloseFailed);
}

TEST_F(RegistryAccessTest, DwordAndBytesCheckTheirType) {
  DWORD value = 0;
  EXPECT_EQ(registry.SetDword(HKEY_CURRENT_USER, path, L"d", 0xA1B2C3D4), RegResult::Ok);
  EXPECT_EQ(registry.GetDword(HKEY_CURRENT_USER, path, L"d", &value), RegResult::Ok);
  EXPECT_EQ(value, 0xA1B2C3D4u);
  Put(L"bin4", REG_BINARY, "\1\2\3\4", 4);
  Put(L"str2", REG_SZ, L"", 2);
  Put(L"bin8", REG_BINARY, "12345678", 8);
  EXPECT_EQ(registry.GetDword(HKEY_CURRENT_USER, path, L"bin4", &value), RegResult::WrongType);
  EXPECT_EQ(registry.GetDword(HKEY_CURRENT_USER, path, L"str2", &value), RegResult::WrongType);
  EXPECT_EQ(registry.GetDword(HKEY_CURRENT_USER, path, L"bin8", &value), RegResult::ReadFailed);
  EXPECT_EQ(registry.GetDword(nullptr, L"d", &value), RegResult::NoKey);

  BYTE* data = nullptr;
  DWORD size = 0;
  EXPECT_EQ(registry.SetBytes(HKEY_CURRENT_USER, path, L"b", (const BYTE*)"\0\7\0", 3), RegResult::Ok);
  EXPECT_EQ(registry.GetBytes(HKEY_CURRENT_USER, path, L"b", &data, &size), RegResult::Ok);
  ASSERT_EQ(size, 3u);
  EXPECT_EQ(memcmp(data, "\0\7\0", 3), 0);
  EXPECT_EQ(registry.GetBytes(HKEY_CURRENT_USER, path, L"b", &data, &size), RegResult::OutputInUse);
  free(data);
  data = nullptr;
  EXPECT_EQ(registry.GetBytes(HKEY_CURRENT_USER, path, L"d", &data, &size), RegResult::WrongType);
  EXPECT_EQ(registry.GetBytes(HKEY_CURRENT_USER, path, L"none", &data, &size), RegResult::ReadFailed);
  EXPECT_EQ(data, nullptr);

  EXPECT_EQ(registry.DeleteValue(HKEY_CURRENT_USER, path, L"d"), RegResult::Ok);
  EXPECT_EQ(registry.DeleteValue(HKEY_CURRENT_USER, path, L"d"), RegResult::DeleteFailed);
  EXPECT_EQ(registry.DeleteValue(nullptr, L"d"), RegResult::NoKey);
}

// A key whose security grants reading only: writes are refused with the
// DWORD write reporting its own code.
TEST_F(RegistryAccessTest, RefusedWritesReportTheirCodes) {
  PSECURITY_DESCRIPTOR readOnly = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", 1,
                                                                   &readOnly, nullptr));
  HKEY sub = nullptr;
  ASSERT_EQ(RegCreateKeyExW(key, L"ReadOnly", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), 0);
  ASSERT_EQ(RegSetKeySecurity(sub, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
  RegCloseKey(sub);
  LocalFree(readOnly);
  std::wstring ro = std::wstring(path) + L"\\ReadOnly";
  EXPECT_EQ(registry.SetDword(HKEY_CURRENT_USER, ro.c_str(), L"d", 1), RegResult::DwordWriteFailed);
  EXPECT_EQ(registry.SetString(HKEY_CURRENT_USER, ro.c_str(), L"s", L"x"), RegResult::WriteFailed);
  EXPECT_EQ(registry.SetBytes(HKEY_CURRENT_USER, ro.c_str(), L"b", (const BYTE*)"x", 1),
            RegResult::WriteFailed);
  EXPECT_EQ(Read(L"ReadOnly", &text), RegResult::ReadFailed);
}
