// The product installed as on the device: DeviceInstall.exe applying the
// staged manifest (Quorvane.inf beside the programs) to the session's device,
// and bad manifests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DashboardContract.h"
#include "DeviceFiles.h"
#include "DeviceInstaller.h"
#include "HostRun.h"
#include "InfManifest.h"
#include "TodayList.h"

using testing::HasSubstr;

namespace {

const std::wstring kItemKey = TODAY_ITEMS_KEY L"\\Quorvane";
const std::wstring kSite = DEVICE_ROOT_DRIVE L"\\Program Files\\Tessel-Quarry\\Quorvane\\MiniSite";

HostResult Device(const std::wstring& arguments) {
  return RunProgram(L"DeviceInstall.exe", arguments);
}

void ListFiles(const std::wstring& folder, std::wstring* out) {
  WIN32_FIND_DATAW f;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &f);
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &f)) {
    std::wstring path = folder + L"\\" + f.cFileName;
    if (f.cFileName[0] == L'.') continue;
    *out += path + L"\n";
    if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListFiles(path, out);
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

void DumpKey(HKEY root, const std::wstring& path, std::wstring* out) {
  ScopedRegKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return;
  *out += L"[" + path + L"]\n";
  wchar_t name[256];
  BYTE data[1024];
  for (DWORD i = 0, chars = 256, type, bytes = sizeof data;
       RegEnumValueW(key, i, name, &chars, nullptr, &type, data, &bytes) == ERROR_SUCCESS;
       ++i, chars = 256, bytes = sizeof data) {
    *out += std::wstring(name) + L"=" + std::to_wstring(type) + L":";
    for (DWORD b = 0; b < bytes; ++b) *out += L"0123456789ABCDEF"[data[b] >> 4];
    *out += L"\n";
  }
  for (DWORD i = 0, chars = 256;
       RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, chars = 256) {
    DumpKey(root, path + L"\\" + name, out);
  }
}

// The device's files and the registry an install touches, as text.
std::wstring DeviceState() {
  std::wstring state;
  ListFiles(DEVICE_ROOT_DRIVE, &state);
  DumpKey(HKEY_LOCAL_MACHINE, L"Software\\Tessel-Quarry", &state);
  DumpKey(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today", &state);
  DumpKey(HKEY_CURRENT_USER, L"Software\\CeStandIn\\Installed", &state);
  return state;
}

std::wstring ReadText(const std::wstring& key, const wchar_t* name) {
  wchar_t text[MAX_PATH] = L"";
  DWORD bytes = sizeof text, number = 0, type = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_ANY, &type, text, &bytes))
    return L"(none)";
  memcpy(&number, text, sizeof number);
  return type == REG_DWORD ? std::to_wstring(number) : text;
}

void SetNumber(const wchar_t* item, const wchar_t* name, DWORD value) {
  std::wstring key = TODAY_ITEMS_KEY L"\\" + std::wstring(item);
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_DWORD, &value, 4);
}

// Every test leaves the product installed, as the session's provisioning does.
struct Install : testing::Test {
  void TearDown() override { EXPECT_EQ(0u, Device(L"install").exitCode); }
};

TEST_F(Install, InstallUninstallAndReinstall) {
  const struct {
    std::wstring key;
    const wchar_t *name, *value;
  } installed[] = {
      {ABOUT_LOCATION_KEY, ABOUT_LOCATION_VALUE,
       L"\\Program Files\\Tessel-Quarry\\Quorvane\\AboutDashboard.exe"},
      {kItemKey, L"DLL", L"\\Windows\\Quorvane.dll"}, {kItemKey, L"Type", L"4"},
      {kItemKey, L"Enabled", L"1"}, {kItemKey, L"Options", L"1"},
      {kItemKey, L"Order", L"10"}, {kItemKey, L"Flags", L"0"},
  };
  // Every value and file is there after an install, and none after an uninstall.
  auto expectInstalled = [&](bool there) {
    for (const auto& v : installed)
      EXPECT_EQ(there ? v.value : L"(none)", ReadText(v.key, v.name)) << v.name;
    for (const wchar_t* file : {L"\\Windows\\Quorvane.dll",
                                L"\\Program Files\\Tessel-Quarry\\Quorvane\\AboutDashboard.exe",
                                L"\\Program Files\\Tessel-Quarry\\Quorvane\\MiniSite\\home.htm"}) {
      wchar_t path[MAX_PATH];
      EXPECT_EQ(there, DeviceFilePath(file, path, MAX_PATH) &&
                           GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
          << file;
    }
  };
  ASSERT_EQ(0u, Device(L"uninstall").exitCode);
  expectInstalled(false);
  std::wstring clean = DeviceState();
  EXPECT_EQ(0u, Device(L"uninstall").exitCode);
  EXPECT_EQ(clean, DeviceState());

  HostResult r = Device(L"install");
  ASSERT_EQ(0u, r.exitCode) << r.output;
  expectInstalled(true);
  const std::wstring after = DeviceState();
  for (const wchar_t* verb : {L"install", L"uninstall", L"install"}) {  // each one idempotent
    EXPECT_EQ(0u, Device(verb).exitCode);
    EXPECT_EQ(verb[0] == L'i' ? after : clean, DeviceState()) << verb;
  }

  // A value that was there before comes back; a key holding another
  // program's value stays.
  ASSERT_EQ(0u, Device(L"uninstall").exitCode);
  SetNumber(L"Quorvane", L"Order", 99);
  std::wstring before = DeviceState();
  ASSERT_EQ(0u, Device(L"install").exitCode);
  EXPECT_EQ(L"10", ReadText(kItemKey, L"Order"));
  SetNumber(L"Quorvane", L"Extra", 1);
  EXPECT_EQ(0u, Device(L"uninstall").exitCode);
  EXPECT_EQ(L"99|1|(none)", ReadText(kItemKey, L"Order") + L"|" + ReadText(kItemKey, L"Extra") +
                                L"|" + ReadText(kItemKey, L"DLL"));
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kItemKey.c_str(), L"Extra");
  EXPECT_EQ(before, DeviceState());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today");
  EXPECT_EQ(clean, DeviceState());
}

TEST_F(Install, AFailureHalfwayPutsEverythingBack) {
  ASSERT_EQ(0u, Device(L"uninstall").exitCode);
  std::wstring before = DeviceState();
  {  // The last source file cannot be read: the install fails on its last copy.
    AutoCloseHandle held(CreateFileW(L"MiniSite\\init.gif", GENERIC_READ, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.IsValid());
    HostResult r = Device(L"install");
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_THAT(r.output, HasSubstr("put back"));
    EXPECT_EQ(before, DeviceState());
  }
  ASSERT_EQ(0u, Device(L"install").exitCode);
  std::wstring installed = DeviceState();
  // An installed file in use, or made read-only: reinstall and uninstall both
  // leave all as it was (no backup left beside it).
  std::wstring gif = kSite + L"\\init.gif";
  for (bool readOnly : {false, true}) {
    AutoCloseHandle held(readOnly ? INVALID_HANDLE_VALUE
                                  : CreateFileW(gif.c_str(), GENERIC_READ, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(readOnly ? SetFileAttributesW(gif.c_str(), FILE_ATTRIBUTE_READONLY)
                         : held.IsValid());
    std::wstring state = DeviceState();
    EXPECT_EQ(1u, Device(L"install").exitCode) << readOnly;
    EXPECT_EQ(state, DeviceState());
    HostResult r = Device(L"uninstall");
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_THAT(r.output, HasSubstr(readOnly ? "init.gif: it is read-only" : "is it in use?"));
    EXPECT_EQ(state, DeviceState());
    SetFileAttributesW(gif.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  EXPECT_EQ(installed, DeviceState());
}

TEST_F(Install, RefusesToReplaceAnotherProductsFileOrToReadABadManifest) {
  ASSERT_EQ(0u, Device(L"uninstall").exitCode);
  std::wstring dll = DEVICE_ROOT_DRIVE L"\\Windows\\Quorvane.dll";
  WriteTextFile(dll, "not ours");
  std::wstring before = DeviceState();
  HostResult r = Device(L"install");
  EXPECT_EQ(2u, r.exitCode);
  EXPECT_THAT(r.output, HasSubstr("Quorvane.inf: line 36: \\Windows\\Quorvane.dll is already"));
  r = Device(L"uninstall");  // without a record, it is not known to be ours either
  EXPECT_EQ(2u, r.exitCode);
  EXPECT_THAT(r.output, HasSubstr("no install record of Tessel-Quarry Quorvane, yet \\Windows"));
  EXPECT_EQ(before, DeviceState());
  DeleteFileW(dll.c_str());
  // A damaged record: nothing is removed, and nothing installed over it.
  const std::wstring record = INSTALLED_RECORDS_KEY L"\\Tessel-Quarry Quorvane";
  ASSERT_EQ(0u, Device(L"install").exitCode);
  wchar_t files[2048];
  DWORD bytes = sizeof files;
  ASSERT_EQ(0, RegGetValueW(HKEY_CURRENT_USER, record.c_str(), L"Files", RRF_RT_REG_MULTI_SZ,
                            nullptr, files, &bytes));
  RegSetKeyValueW(HKEY_CURRENT_USER, record.c_str(), L"Files", REG_SZ, L"\\", 4);
  before = DeviceState();
  for (const wchar_t* verb : {L"uninstall", L"install"}) {
    r = Device(verb);
    EXPECT_EQ(2u, r.exitCode);
    EXPECT_THAT(r.output, HasSubstr("Quorvane is damaged; nothing was changed"));
    EXPECT_EQ(before, DeviceState());
  }
  RegSetKeyValueW(HKEY_CURRENT_USER, record.c_str(), L"Files", REG_MULTI_SZ, files, bytes);
  WriteTextFile(L"bad.inf", "[Version]\nSignature=\"$Windows NT$\"\n");
  r = Device(L"install bad.inf");
  EXPECT_EQ(2u, r.exitCode);
  EXPECT_THAT(r.output, HasSubstr("bad.inf: line 1: [Version] needs CESignature"));
}

TEST(InfManifest, BadManifestsNameTheirLine) {
  const std::string good =
      "[Version]\nSignature=\"$Windows NT$\"\nProvider=\"P\"\nCESignature=\"$Windows CE$\"\n"
      "[CEStrings]\nAppName=\"A\"\nInstallDir=%CE1%\\%AppName%\n"             // 5-7
      "[SourceDisksNames]\n1=,\"Programs\",,.\n[SourceDisksFiles]\nQuorvane.dll=1\n"  // 8-11
      "[DefaultInstall]\nCopyFiles=Files\nAddReg=Reg\n"                       // 12-14
      "[DestinationDirs]\nFiles=0,%InstallDir%\n[Files]\nQuorvane.dll,,,0\n"  // 15-18
      "[Reg]\nHKLM,Software\\P\\A,Path,0x00000000,\"%InstallDir%\\Quorvane.dll, a;b\" ; c\n"
      "HKLM,Software\\P\\A,Count,0x00010001,4\n";  // 19-21
  InfManifest m;
  std::wstring error;
  std::string crlf = "\xEF\xBB\xBF";  // the same with a byte order mark and CRLF lines
  for (char c : good) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {good, crlf}) {
    ASSERT_TRUE(ParseInfManifest(text, L".", L"m.inf", &m, &error)) << error.c_str();
    ASSERT_EQ(1u, m.files.size());
    EXPECT_EQ(L"\\Program Files\\A\\Quorvane.dll", m.files[0].target);
    EXPECT_EQ(L"P A|\\Program Files\\A\\Quorvane.dll, a;b|4",
              m.appName + L"|" + m.values[0].text + L"|" + std::to_wstring(m.values[1].number));
  }
  const struct {
    const char *find, *replace;
    const wchar_t* error;
  } bad[] = {
      {"Provider=\"P\"\n", "", L"line 1: [Version] needs a Provider"},
      {"$Windows NT$", "$Windows XP$", L"line 1: [Version] needs Signature"},
      {"P\"\nCE", "\xe9\"\nCE", L"line 3: not UTF-8 text (an ANSI character?)"},
      {"[Version]", "\xff\xfe[Version]", L"line 1: UTF-16 text"},
      {"Provider=\"P\"", "Provider=\"P\"\nprovider=\"Q\"", L"line 4: provider appears twice in"},
      {"Provider=\"P\"", "Provider=\"P\\Q\"", L"line 5: 'P\\Q A' (Provider AppName) is not a"},
      {"AppName=\"A\"", "AppName=\"A\"\nappname=\"B\"", L"line 7: the string appname is defined"},
      {"[CEStrings]", "[CEStrings", L"line 5: a section name is written [NAME]"},
      {"AppName=\"A\"", "AppName=\"A", L"line 6: a quote is not closed"},
      {"InstallDir=%CE1%\\%AppName%", "InstallDir=%InstallDir%", L"line 16: the strings refer"},
      {"Quorvane.dll=1", "Quorvane.dll=2", L"line 11: no source disk 2"},
      {"Quorvane.dll=1", "..\\Quorvane.dll=1", L"line 11: '..\\Quorvane.dll' is not a file name"},
      {"Quorvane.dll=1", "Quorvane.dll=1\nquorvane.dll=1", L"line 12: quorvane.dll appears twice"},
      {"CopyFiles=Files", "CopyFiles=Filez", L"line 13: no section [Filez]"},
      {"AddReg=Reg", "CEShortcuts=S", L"line 14: CEShortcuts is not applied here"},
      {"[DefaultInstall]\nCopyFiles=Files\nAddReg=Reg\n", "", L"line 18: no [DefaultInstall]"},
      {"Files=0,%InstallDir%", "Files=0,Program Files", L"line 16: the destination Program"},
      {"Files=0,%InstallDir%", "Files=0,%CE2%\\..\\..\\x", L"line 16: the destination \\Windows\\.."},
      {"Files=0,%InstallDir%", "Files=0,\\\\?\\C:\\x", L"line 16: the destination \\\\?\\C:"},
      {"Files=0,%InstallDir%", "Files=0,\\Windows\\c:x", L"line 16: the destination \\Windows\\c:x"},
      {"Files=0,%InstallDir%", "Other=0,\\A", L"line 17: no destination for [Files]"},
      {"Quorvane.dll,,,0", "Other.dll,,,0", L"line 18: Other.dll is not in [SourceDisksFiles]"},
      {"Quorvane.dll,,,0", "Quorvane.dll\nquorvane.DLL", L"line 19: \\Program Files\\A\\quorvane"},
      {"Quorvane.dll,,,0", "NUL.dll,Quorvane.dll", L"line 18: 'NUL.dll' is not a file name"},
      {"%InstallDir%\\Quorvane", "%InstalDir%\\Quorvane", L"line 20: unknown string %InstalDir%"},
      {"HKLM,Software\\P\\A,Count", "HKCR,Software\\P\\A,Count", L"line 21: the root HKCR is not"},
      {"Count,0x00010001", "Path,0x00010001", L"line 21: HKLM\\Software\\P\\A Path is set twice"},
      {"0x00010001,4", "0x00000001,00,01", L"line 21: the flags 0x00000001 are not applied"},
      {"0x00010001,4", "0x00010001,4294967296", L"line 21: '4294967296' is not a number"},
      {"[Version]", "x=1\n[Version]", L"line 1: text before the first [section]"},
      {"[Reg]", "[Files]", L"line 19: [Files] appears twice (first at line 17)"},
  };
  for (const auto& row : bad) {
    std::string text = good;
    text.replace(text.find(row.find), strlen(row.find), row.replace);
    EXPECT_FALSE(ParseInfManifest(text, L".", L"m.inf", &m, &error)) << row.replace;
    EXPECT_EQ(0u, error.find(std::wstring(L"m.inf: ") + row.error)) << error.c_str();
  }
}

}  // namespace
