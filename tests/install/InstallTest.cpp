// The product installed as on the device: DeviceInstall.exe applying the
// staged manifest (Quorvane.inf beside the programs) to the session's device,
// bad manifests, and the Today list the host builds from the registry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DashboardContract.h"
#include "DeviceFiles.h"
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
  ASSERT_EQ(0u, Device(L"uninstall").exitCode);
  std::wstring clean = DeviceState();
  EXPECT_EQ(0u, Device(L"uninstall").exitCode);
  EXPECT_EQ(clean, DeviceState());

  HostResult r = Device(L"install");
  ASSERT_EQ(0u, r.exitCode) << r.output;
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
  for (const auto& v : installed) EXPECT_EQ(v.value, ReadText(v.key, v.name)) << v.name;
  for (const wchar_t* file : {L"\\Windows\\Quorvane.dll",
                              L"\\Program Files\\Tessel-Quarry\\Quorvane\\AboutDashboard.exe",
                              L"\\Program Files\\Tessel-Quarry\\Quorvane\\MiniSite\\home.htm"}) {
    wchar_t path[MAX_PATH];
    EXPECT_TRUE(DeviceFilePath(file, path, MAX_PATH) &&
                GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) << file;
  }
  std::wstring after = DeviceState();
  EXPECT_EQ(0u, Device(L"install").exitCode);
  EXPECT_EQ(after, DeviceState());
  EXPECT_EQ(0u, Device(L"uninstall").exitCode);
  EXPECT_EQ(clean, DeviceState());
  EXPECT_EQ(0u, Device(L"install").exitCode);
  EXPECT_EQ(after, DeviceState());

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
  {  // An installed file in use: reinstall and uninstall both leave all as it was.
    AutoCloseHandle held(CreateFileW((kSite + L"\\init.gif").c_str(), GENERIC_READ, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.IsValid());
    EXPECT_EQ(1u, Device(L"install").exitCode);
    EXPECT_EQ(installed, DeviceState());
    EXPECT_EQ(1u, Device(L"uninstall").exitCode);
    EXPECT_EQ(installed, DeviceState());
  }
}

TEST_F(Install, RefusesToReplaceAnotherProductsFileOrToReadABadManifest) {
  ASSERT_EQ(0u, Device(L"uninstall").exitCode);
  std::wstring dll = DEVICE_ROOT_DRIVE L"\\Windows\\Quorvane.dll";
  WriteTextFile(dll, "not ours");
  std::wstring before = DeviceState();
  HostResult r = Device(L"install");
  EXPECT_EQ(2u, r.exitCode);
  EXPECT_THAT(r.output, HasSubstr("Quorvane.inf: line 36: \\Windows\\Quorvane.dll is already"));
  EXPECT_EQ(before, DeviceState());
  DeleteFileW(dll.c_str());
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
      "[Reg]\nHKLM,Software\\P\\A,Path,0x00000000,%InstallDir%\\Quorvane.dll\n"
      "HKLM,Software\\P\\A,Count,0x00010001,4\n";  // 19-21
  InfManifest m;
  std::wstring error;
  ASSERT_TRUE(ParseInfManifest(good, L".", L"m.inf", &m, &error)) << error.c_str();
  ASSERT_EQ(1u, m.files.size());
  EXPECT_EQ(L"\\Program Files\\A\\Quorvane.dll", m.files[0].target);
  EXPECT_EQ(L"P A|\\Program Files\\A\\Quorvane.dll|4",
            m.appName + L"|" + m.values[0].text + L"|" + std::to_wstring(m.values[1].number));
  const struct {
    const char *find, *replace;
    const wchar_t* error;
  } bad[] = {
      {"Provider=\"P\"\n", "", L"line 1: [Version] needs a Provider"},
      {"$Windows NT$", "$Windows XP$", L"line 1: [Version] needs Signature"},
      {"P\"\nCE", "\xff\"\nCE", L"line 3: not UTF-8 text"},
      {"[CEStrings]", "[CEStrings", L"line 5: a section name is written [NAME]"},
      {"AppName=\"A\"", "AppName=\"A", L"line 6: a quote is not closed"},
      {"InstallDir=%CE1%\\%AppName%", "InstallDir=%InstallDir%", L"line 16: the strings refer"},
      {"Quorvane.dll=1", "Quorvane.dll=2", L"line 11: no source disk 2"},
      {"CopyFiles=Files", "CopyFiles=Filez", L"line 13: no section [Filez]"},
      {"AddReg=Reg", "CEShortcuts=S", L"line 14: CEShortcuts is not applied here"},
      {"[DefaultInstall]\nCopyFiles=Files\nAddReg=Reg\n", "", L"line 18: no [DefaultInstall]"},
      {"Files=0,%InstallDir%", "Files=0,Program Files", L"line 16: the destination Program"},
      {"Files=0,%InstallDir%", "Other=0,\\A", L"line 17: no destination for [Files]"},
      {"Quorvane.dll,,,0", "Other.dll,,,0", L"line 18: Other.dll is not in [SourceDisksFiles]"},
      {"Quorvane.dll,,,0", "Quorvane.dll\nquorvane.DLL", L"line 19: \\Program Files\\A\\quorvane"},
      {"%InstallDir%\\Quorvane", "%InstalDir%\\Quorvane", L"line 20: unknown string %InstalDir%"},
      {"HKLM,Software\\P\\A,Count", "HKXX,Software\\P\\A,Count", L"line 21: the root HKXX"},
      {"Count,0x00010001", "Path,0x00010001", L"line 21: HKLM\\Software\\P\\A Path is set twice"},
      {"0x00010001,4", "0x00000001,4", L"line 21: the flags 0x00000001 are not applied"},
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

// The Today list: custom items that are enabled, in order. Test items sit
// beside the installed one and go again.
struct TodayListTest : testing::Test {
  void TearDown() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (TODAY_ITEMS_KEY L"\\TestA"));
    SetNumber(L"Quorvane", L"Enabled", 1);
  }
  static void AddTestItem(DWORD type, DWORD enabled, DWORD order) {
    for (auto v : {std::make_pair(L"Type", type), std::make_pair(L"Enabled", enabled),
                   std::make_pair(L"Order", order)})
      SetNumber(L"TestA", v.first, v.second);
    const wchar_t dll[] = L"\\Windows\\Missing.dll";
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, TODAY_ITEMS_KEY L"\\TestA", L"DLL", REG_SZ, dll,
                    sizeof dll);
  }
  static HostResult Host(const std::wstring& folder) {
    WriteTextFile(folder + L"\\s.txt", "refresh\nsnapshot strip.png\n");
    return RunHost(L"--scenario \"" + folder + L"\\s.txt\" --out \"" + folder + L"\"");
  }
};

TEST_F(TodayListTest, CustomItemsThatAreEnabledInOrder) {
  const struct {
    DWORD quorvaneEnabled, type, enabled, order;
    const wchar_t* list;
  } rows[] = {
      {1, 0, 0, 0, L"Quorvane"},  {0, 0, 0, 0, L""},  // no test item (type 0: none)
      {1, 4, 1, 5, L"TestA,Quorvane"}, {1, 4, 1, 20, L"Quorvane,TestA"},
      {1, 4, 1, 10, L"Quorvane,TestA"},  // equal orders by name
      {1, 4, 0, 5, L"Quorvane"}, {1, 1, 1, 5, L"Quorvane"},  // disabled; not custom
  };
  for (const auto& row : rows) {
    TearDown();
    SetNumber(L"Quorvane", L"Enabled", row.quorvaneEnabled);
    if (row.type) AddTestItem(row.type, row.enabled, row.order);
    std::wstring names;
    for (const TODAYLISTITEM& item : ReadTodayList())
      names += (names.empty() ? L"" : L",") + std::wstring(item.szName);
    EXPECT_EQ(row.list, names);
  }
  TearDown();
  std::vector<TODAYLISTITEM> list = ReadTodayList();
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ(L"\\Windows\\Quorvane.dll|10|1|1|0",
            std::wstring(list[0].szDLLPath) + L"|" + std::to_wstring(list[0].dwOrder) + L"|" +
                std::to_wstring(list[0].fOptions) + L"|" + std::to_wstring(list[0].tlit == 4) +
                L"|" + std::to_wstring(list[0].grfFlags));
}

TEST_F(TodayListTest, TheHostShowsTheFirstEnabledItem) {
  std::wstring folder = FreshFolder(L"today-list");
  CreateDirectoryW(folder.c_str(), nullptr);
  SetNumber(L"Quorvane", L"Enabled", 0);
  HostResult r = Host(folder);
  EXPECT_EQ(3u, r.exitCode);
  EXPECT_THAT(r.output, HasSubstr("no Today item is enabled"));
  SetNumber(L"Quorvane", L"Enabled", 1);
  r = Host(folder);
  EXPECT_EQ(0u, r.exitCode) << r.output;
  // A second item first in order is the one loaded; later, it is only named.
  AddTestItem(4, 1, 5);
  r = Host(folder);
  EXPECT_EQ(3u, r.exitCode);
  EXPECT_THAT(r.output, HasSubstr("D:\\Windows\\Missing.dll"));
  SetNumber(L"TestA", L"Order", 20);
  r = Host(folder);
  EXPECT_EQ(0u, r.exitCode) << r.output;
  EXPECT_THAT(r.output, HasSubstr("also enabled: TestA"));
}

}  // namespace
