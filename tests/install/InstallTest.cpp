// DeviceInstall.exe applying the staged Quorvane.inf to the session's device,
// and bad manifests.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "DashboardContract.h"
#include "DeviceFiles.h"
#include "DeviceInstaller.h"
#include "HostRun.h"
#include "InstallRecord.h"
#include "TodayList.h"

namespace {

const std::wstring kItemKey = TODAY_ITEMS_KEY L"\\Quorvane";
const std::wstring kSite = DEVICE_ROOT_DRIVE L"\\Program Files\\Tessel-Quarry\\Quorvane\\MiniSite";
#define RECORD_KEY INSTALLED_RECORDS_KEY L"\\Tessel-Quarry Quorvane"
const std::wstring kRecord = L"HKCU\\" RECORD_KEY;

HostResult Device(const std::wstring& arguments) {
  return RunHost(arguments, L"DeviceInstall.exe");
}

void DumpKey(HKEY root, const std::wstring& path, std::wstring* out) {
  ScopedRegKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
    return;
  *out += L"[" + path + L"]\n";
  wchar_t name[256];
  BYTE data[1024] = {};
  for (DWORD i = 0, chars = 256, type, bytes = sizeof data;
       RegEnumValueW(key, i, name, &chars, nullptr, &type, data, &bytes) == ERROR_SUCCESS;
       ++i, chars = 256, bytes = sizeof data) {
    *out += std::wstring(name) + L"=" + std::to_wstring(type) + L":" +
            (type == REG_DWORD ? std::to_wstring(*(DWORD*)data) : (wchar_t*)data) + L"\n";
  }
  for (DWORD i = 0, chars = 256;
       RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, chars = 256)
    DumpKey(root, path + L"\\" + name, out);
}

// The device's files, the keys an install writes, and whether a record and a
// plan are kept (all of HKLM\Software takes seconds: it is read around crash points).
std::wstring DeviceState() {
  std::wstring state, text;
  std::error_code error;
  for (const auto& f :
       std::filesystem::recursive_directory_iterator(DEVICE_ROOT_DRIVE L"\\", error))
    state += f.path().wstring() + L"\n";
  DumpKey(HKEY_LOCAL_MACHINE, L"Software\\Tessel-Quarry", &state);
  DumpKey(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today", &state);
  for (const wchar_t* value : {L"Record", L"Plan"})
    state += value + std::to_wstring(ReadTextValue(kRecord, value, &text));
  return state;
}

void SetText(const wchar_t* name, const std::wstring& text) {
  RegSetKeyValueW(HKEY_CURRENT_USER, RECORD_KEY, name, REG_SZ, text.c_str(),
                  (DWORD)text.size() * 2 + 2);
}

// Every test leaves the product installed, as the session's provisioning does.
struct Install : testing::Test {
  void TearDown() override { EXPECT_EQ(0u, Device(L"install").exitCode); }
  void Expect(const wchar_t* verb, DWORD exitCode, const char* says, const std::wstring& state) {
    HostResult r = Device(verb);
    EXPECT_EQ(exitCode, r.exitCode) << verb << ": " << r.output;
    EXPECT_THAT(r.output, testing::HasSubstr(says)) << verb;
    EXPECT_EQ(state, DeviceState()) << verb << ": " << r.output;
  }
};

TEST_F(Install, InstallUninstallAndReinstall) {
  const std::wstring gif = kSite + L"\\init.gif";
  ASSERT_EQ(0u, Device(L"uninstall").exitCode);
  const std::wstring clean = DeviceState();
  Expect(L"uninstall", 0, "Tessel-Quarry Quorvane is not installed; nothing to do", clean);
  Expect(L"reinstall", 2, "usage: DeviceInstall.exe install|uninstall [MANIFEST.inf]", clean);
  Expect(L"install none.inf", 2, "none.inf: cannot read the manifest (error 2); nothing was",
         clean);
  // A read-only source is installed as an ordinary file.
  ASSERT_TRUE(SetFileAttributesW(L"MiniSite\\init.gif", FILE_ATTRIBUTE_READONLY));
  HostResult r = Device(L"install");
  SetFileAttributesW(L"MiniSite\\init.gif", FILE_ATTRIBUTE_NORMAL);
  ASSERT_EQ(0u, r.exitCode) << r.output;
  EXPECT_EQ(0u, GetFileAttributesW(gif.c_str()) & FILE_ATTRIBUTE_READONLY);
  const std::wstring after = DeviceState();
  for (const wchar_t* installed : {
           DEVICE_ROOT_DRIVE L"\\Program Files\\Tessel-Quarry\\Quorvane\\AboutDashboard.exe\n",
           L"[Software\\Tessel-Quarry\\Quorvane]"
           L"\n" ABOUT_LOCATION_VALUE L"=1:\\Program "
           L"Files\\Tessel-Quarry\\Quorvane\\AboutDashboard.exe\n",
           L"Quorvane]\nDLL=1:\\Windows\\Quorvane.dll\nEnabled=4:1\nFlags=4:0\nOptions=4:1\n"
           L"Order=4:10\nType=4:4\n",  // (the registry lists values by name)
       }) {
    EXPECT_TRUE(clean.find(installed) == std::wstring::npos &&
                after.find(installed) != std::wstring::npos)
        << installed;
  }
  // Each run again is idempotent, and replaces or removes a file made read-only.
  const struct {
    const wchar_t* verb;
    const char* says;
    const std::wstring& state;
  } runs[] = {
      {L"install", "installed Tessel-Quarry Quorvane again: 5 files, 7 registry values", after},
      {L"uninstall", "uninstalled Tessel-Quarry Quorvane", clean},
      {L"install", "installed Tessel-Quarry Quorvane: 5 files, 7 registry values", after},
  };
  for (const auto& run : runs) {
    SetFileAttributesW(gif.c_str(), FILE_ATTRIBUTE_READONLY);
    Expect(run.verb, 0, run.says, run.state);
  }
  // Four runs at once: each waits for the one before, none sees a half-done one.
  std::vector<DWORD> exitCodes(4, 1);
  std::vector<std::thread> threads;
  for (DWORD& exitCode : exitCodes)
    threads.emplace_back([&exitCode] { exitCode = Device(L"install").exitCode; });
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(std::vector<DWORD>(4, 0), exitCodes);
  EXPECT_EQ(after, DeviceState());

  // A value that was there before comes back; a key holding another
  // program's value stays.
  ASSERT_EQ(0u, Device(L"uninstall").exitCode);
  DWORD order = 99, extra = 1;
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kItemKey.c_str(), L"Order", REG_DWORD, &order, 4);
  const std::wstring before = DeviceState();
  ASSERT_EQ(0u, Device(L"install").exitCode);
  EXPECT_NE(std::wstring::npos, DeviceState().find(L"Order=4:10\n"));
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kItemKey.c_str(), L"Extra", REG_DWORD, &extra, 4);
  ASSERT_EQ(0u, Device(L"uninstall").exitCode);
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kItemKey.c_str(), L"Extra"));
  EXPECT_EQ(before, DeviceState());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today");
}

// Stopped after each of its steps, as a kill would, an install or uninstall
// leaves the device fully installed or as it was once the next run is done.
TEST_F(Install, EveryStepCutOffIsHealedByTheNextRun) {
  InfManifest m;
  std::wstring report, software, after;
  ASSERT_TRUE(ReadInfManifest(L"Quorvane.inf", L"Quorvane.inf", &m, &report)) << report.c_str();
  auto run = [&](bool install, int stop, Go how = Go::Stop) {
    report.clear();
    return ApplyManifest(
        install, m, [=](int step) { return step == stop ? how : Go::On; }, &report);
  };
  ASSERT_EQ(InstallResult::Done, run(false, -1)) << report.c_str();
  DumpKey(HKEY_LOCAL_MACHINE, L"Software", &software);
  const std::wstring before = DeviceState();
  ASSERT_EQ(InstallResult::Done, run(true, -1));
  const std::wstring installed = DeviceState();
  for (bool install : {true, false}) {
    for (int step = 1;; ++step) {
      ASSERT_EQ(InstallResult::Done, run(!install, -1)) << report.c_str();
      if (run(install, step) == InstallResult::Done)
        break;
      ASSERT_EQ(InstallResult::Stopped, run(install, 0)) << report.c_str();  // the next run's heal
      std::wstring now = DeviceState();
      EXPECT_TRUE(now == before || now == installed) << install << " stopped at " << step;
      EXPECT_NE(std::wstring::npos, report.find(L"an interrupted ")) << report.c_str();
    }
    EXPECT_EQ(install ? installed : before, DeviceState());
    // Interrupted (Ctrl-C) before its commit: rolled back, and said.
    ASSERT_EQ(InstallResult::Done, run(!install, -1));
    ASSERT_EQ(InstallResult::RolledBack, run(install, 3, Go::RollBack));
    EXPECT_EQ(L"interrupted; everything it had changed is put back", report);
    EXPECT_EQ(install ? before : installed, DeviceState());
  }
  ASSERT_EQ(InstallResult::Done, run(false, -1));
  DumpKey(HKEY_LOCAL_MACHINE, L"Software", &after);
  EXPECT_TRUE(software == after) << "something else in HKLM\\Software moved";
}

TEST_F(Install, AFileInUseOrAnEditedRecordChangesNothing) {
  ASSERT_EQ(0u, Device(L"install").exitCode);
  const std::wstring installed = DeviceState(), gif = kSite + L"\\init.gif";
  const struct {
    const wchar_t *held, *verb;  // a file held open, shared with no one
    DWORD exitCode;
    const char* says;
  } inUse[] = {
      {L"MiniSite\\init.gif", L"install", 2, "init.gif cannot be read; nothing was changed"},
      {gif.c_str(), L"install", 1, "everything it had changed is put back"},
      {gif.c_str(), L"uninstall", 2, "cannot read \\Program Files\\Tessel-Quarry\\Quorvane\\Mini"},
  };
  for (const auto& row : inUse) {
    AutoCloseHandle held(
        CreateFileW(row.held, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.IsValid());
    Expect(row.verb, row.exitCode, row.says, installed);
  }
  // Installed again while the item's DLL is loaded: its old copy cannot go
  // yet, is named, and goes with the next run.
  HMODULE item = LoadLibraryW(DEVICE_ROOT_DRIVE L"\\Windows\\Quorvane.dll");
  ASSERT_TRUE(item);
  HostResult r = Device(L"install");
  FreeLibrary(item);
  EXPECT_EQ(0u, r.exitCode);
  EXPECT_THAT(r.output, testing::HasSubstr("\\Quorvane.dll.~old is in use: the next run removes"));
  Expect(L"install", 0, "an interrupted install of Tessel-Quarry Quorvane was finished", installed);
  // A record or plan not as a run wrote it is trusted by no run.
  std::wstring text;
  ASSERT_TRUE(ReadTextValue(kRecord, L"Record", &text));
  const struct {
    const wchar_t *value, *find, *replace, *verb;
    const char* says;
  } edits[] = {
      {L"Record", L"\\Quorvane.dll", L"\\iexplore.exe", L"uninstall",
       "Quorvane is damaged; nothing"},
      {L"Plan", L"run", L"run", L"install", "Quorvane Plan) is damaged; nothing was changed"},
  };
  for (const auto& edit : edits) {
    std::wstring edited = text;
    SetText(edit.value, edited.replace(edited.find(edit.find), wcslen(edit.find), edit.replace));
    Expect(edit.verb, 2, edit.says, DeviceState());
  }
  RegDeleteKeyValueW(HKEY_CURRENT_USER, RECORD_KEY, L"Plan");
  // Whole but naming another file: that file is not what the install made,
  // and stays; nor does a folder where a file was.
  Plan record;
  ASSERT_TRUE(ParsePlan(text, &record));
  ASSERT_EQ(L"\\Windows\\Quorvane.dll", record.changes[0].path);
  record.changes[0].path = L"\\Windows\\..\\Quorvane.dll";  // whole, but off the device
  SetText(L"Record", PlanText(record));
  Expect(L"uninstall", 2, "Quorvane is damaged; nothing was changed", DeviceState());
  record.changes[0].path = L"\\Windows\\iexplore.exe";
  SetText(L"Record", PlanText(record));
  std::wstring home = kSite + L"\\home.htm";
  ASSERT_TRUE(DeleteFileW(home.c_str()) && CreateDirectoryW(home.c_str(), nullptr));
  r = Device(L"uninstall");
  EXPECT_EQ(0u, r.exitCode);
  EXPECT_THAT(r.output, testing::HasSubstr(
                            "kept \\Windows\\iexplore.exe, changed since the install; kept "
                            "\\Program Files\\Tessel-Quarry\\Quorvane\\MiniSite\\home.htm, now a "
                            "folder"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES,
            GetFileAttributesW(DEVICE_ROOT_DRIVE L"\\Windows\\iexplore.exe"));
  RemoveDirectoryW(home.c_str());
  // Quorvane.dll is now on the device without a record: not known to be ours.
  std::wstring state = DeviceState();
  Expect(L"install", 2, "line 36: \\Windows\\Quorvane.dll is already on", state);
  Expect(L"uninstall", 2, "no install record of Tessel-Quarry Quorvane, yet", state);
  DeleteFileW(DEVICE_ROOT_DRIVE L"\\Windows\\Quorvane.dll");
}

TEST(InfManifest, BadManifestsNameTheirLine) {
  const std::string good =
      "[Version]\nSignature=\"$Windows NT$\"\nProvider=\"P\"\nCESignature=\"$Windows CE$\"\n"
      "[CEStrings]\nAppName=\"A\"\nInstallDir=%CE1%\\%AppName%\n"                     // 5-7
      "[SourceDisksNames]\n1=,\"Programs\",,.\n[SourceDisksFiles]\nQuorvane.dll=1\n"  // 8-11
      "[DefaultInstall]\nCopyFiles=Files\nAddReg=Reg\n"                               // 12-14
      "[DestinationDirs]\nFiles=0,%InstallDir%\n[Files]\nQuorvane.dll,,,0\n"          // 15-18
      "[Reg]\nHKLM,Software\\P\\A,Path,0x00000000,\"%InstallDir%\\Quorvane.dll, a;b\" ; c\n"
      "HKLM,Software\\P\\A,Count,0x00010001,4\n";  // 19-21
  InfManifest m;
  std::wstring error;
  auto parse = [&](const std::string& text) {
    WriteTextFile(L"m.inf", text);
    return ReadInfManifest(L"m.inf", L"m.inf", &m, &error);
  };
  std::string crlf = "\xEF\xBB\xBF";  // the same with a byte order mark and CRLF lines
  for (char c : good)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {good, crlf}) {
    ASSERT_TRUE(parse(text) && m.files.size() == 1 && m.values.size() == 2) << error.c_str();
    EXPECT_EQ(L"P A|\\Program Files\\A\\Quorvane.dll|\\Program Files\\A\\Quorvane.dll, a;b|4",
              m.appName + L"|" + m.files[0].target + L"|" + m.values[0].text + L"|" +
                  std::to_wstring(m.values[1].number));
  }
  // Each string is expanded once: seven naming the next twenty times cost no
  // more than their text (the "" row), and what they come to is bounded ("x").
  std::string bomb = "InstallDir=%CE1%%S0%\n";
  for (int i = 0; i < 6; ++i) {
    bomb += "S" + std::to_string(i) + "=";
    for (int n = 0; n < 20; ++n)
      bomb += "%S" + std::to_string(i + 1) + "%";
    bomb += "\n";
  }
  const struct {
    std::string find, replace;
    const wchar_t* error;
  } cases[] = {
      {"InstallDir=%CE1%\\%AppName%\n", bomb + "S6=\n", nullptr},
      {"InstallDir=%CE1%\\%AppName%\n", bomb + "S6=x\n", L"line 11: a string expands to more than"},
      {good, "", L"the manifest is empty"},
      {"Provider=\"P\"\n", "", L"line 1: [Version] needs a Provider"},
      {"\"P\"", "\"P", L"line 3: a quote is not closed"},
      {"$Windows NT$", "$Windows XP$", L"line 1: [Version] needs Signature"},
      {"P\"\nCE", "\xe9\"\nCE", L"line 3: not UTF-8 text (an ANSI character?)"},
      {"[Version]", "\xff\xfe[Version]", L"line 1: UTF-16 text"},
      {"Provider=\"P\"", "Provider=\"P\"\nprovider=\"Q\"", L"line 4: provider appears twice in"},
      {"Provider=\"P\"", "Provider=\"P\\Q\"", L"line 5: 'P\\Q A' (Provider AppName) is not a"},
      {"AppName=\"A\"", "AppName=\"A\"\nappname=\"B\"", L"line 7: the string appname is defined"},
      {"[CEStrings]", "[CEStrings", L"line 5: a section name is written [NAME]"},
      {"Quorvane.dll=1", "Quorvane.dll=2", L"line 11: no source disk 2"},
      {"Quorvane.dll=1", "..\\Quorvane.dll=1", L"line 11: '..\\Quorvane.dll' is not a file name"},
      {"CopyFiles=Files", "CopyFiles=Filez", L"line 13: no section [Filez]"},
      {"AddReg=Reg", "CEShortcuts=S", L"line 14: CEShortcuts is not applied here"},
      {"[DefaultInstall]\nCopyFiles=Files\nAddReg=Reg\n", "", L"line 18: no [DefaultInstall]"},
      {"Files=0,%InstallDir%", "Files=0,Program Files", L"line 16: the destination Program"},
      {"Files=0,%InstallDir%", "Other=0,\\A", L"line 17: no destination for [Files]"},
      {"Quorvane.dll,,,0", "Other.dll,,,0", L"line 18: Other.dll is not in [SourceDisksFiles]"},
      {"Quorvane.dll,,,0", "Quorvane.dll\nquorvane.DLL", L"line 19: \\Program Files\\A\\quorvane"},
      {"Quorvane.dll,,,0", "NUL.dll,Quorvane.dll", L"line 18: 'NUL.dll' is not a file name"},
      {"Quorvane.dll,,,0", "Quorvane.dll,,,0,1", L"line 18: a file is written TARGET[,SOURCE"},
      {"%InstallDir%\\Quorvane", "%InstalDir%\\Quorvane", L"line 20: unknown string %InstalDir%"},
      {"HKLM,Software\\P\\A,Count", "HKCR,Software\\P\\A,Count", L"line 21: the root HKCR is not"},
      {"Count,0x00010001", "Path,0x00010001", L"line 21: HKLM\\Software\\P\\A Path is set twice"},
      {"0x00010001,4", "0x00000001,00,01", L"line 21: the flags 0x00000001 are not applied"},
      {"0x00010001,4", "0x00010001,4294967296", L"line 21: '4294967296' is not a number"},
      {"0x00010001,4", "0x00010001", L"line 21: a registry value is written ROOT,SUBKEY"},
      {"[Version]", "x=1\n[Version]", L"line 1: text before the first [section]"},
      {"[Reg]", "[Files]", L"line 19: [Files] appears twice (first at line 17)"},
      {"InstallDir=%CE1%\\%AppName%",
       "InstallDir=%S1%\nS1=%S2%\nS2=%S3%\nS3=%S4%\nS4=%S5%\nS5=%S6%\n"
       "S6=%S7%\nS7=%S8%\nS8=%S9%\nS9=\\x",
       L"line 14: strings nest more than 8 deep"},
      {"%CE1%\\%AppName%", "%S1%\nS1=%InstallDir%", L"line 8: the string %installdir% refers"},
  };
  for (const auto& row : cases) {
    std::string text = good;
    text.replace(text.find(row.find), row.find.size(), row.replace);
    error.clear();
    EXPECT_EQ(!row.error, parse(text)) << row.replace;
    EXPECT_EQ(row.error ? 0 : std::wstring::npos,
              error.find(std::wstring(L"m.inf: ") + (row.error ? row.error : L"")))
        << row.replace << " gave " << error.c_str();
  }
  DeleteFileW(L"m.inf");
}

}  // namespace
