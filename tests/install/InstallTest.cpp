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
#include "InstallRecord.h"
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
    if (f.cFileName[0] == L'.')
      continue;
    *out += path + L"\n";
    if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ListFiles(path, out);
  }
  if (find != INVALID_HANDLE_VALUE)
    FindClose(find);
}

void DumpKey(HKEY root, const std::wstring& path, std::wstring* out) {
  ScopedRegKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
    return;
  *out += L"[" + path + L"]\n";
  wchar_t name[256];
  BYTE data[1024];
  for (DWORD i = 0, chars = 256, type, bytes = sizeof data;
       RegEnumValueW(key, i, name, &chars, nullptr, &type, data, &bytes) == ERROR_SUCCESS;
       ++i, chars = 256, bytes = sizeof data) {
    *out += std::wstring(name) + L"=" + std::to_wstring(type) + L":";
    for (DWORD b = 0; b < bytes; ++b)
      *out += std::to_wstring(data[b]) + L" ";
    *out += L"\n";
  }
  for (DWORD i = 0, chars = 256;
       RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, chars = 256) {
    DumpKey(root, path + L"\\" + name, out);
  }
}

const std::wstring kRecord = L"HKCU\\" INSTALLED_RECORDS_KEY L"\\Tessel-Quarry Quorvane";

// The device's files, the keys an install writes, and whether a record and a
// plan are kept. (All of HKLM\Software takes seconds to read: it is compared
// around the crash points.)
std::wstring DeviceState() {
  std::wstring state, text;
  ListFiles(DEVICE_ROOT_DRIVE, &state);
  DumpKey(HKEY_LOCAL_MACHINE, L"Software\\Tessel-Quarry", &state);
  DumpKey(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today", &state);
  for (const wchar_t* value : {L"Record", L"Plan"})
    state += value + std::to_wstring(ReadTextValue(kRecord, value, &text));
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

void SetNumber(const wchar_t* name, DWORD value) {
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kItemKey.c_str(), name, REG_DWORD, &value, 4);
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
      {kItemKey, L"DLL", L"\\Windows\\Quorvane.dll"},
      {kItemKey, L"Type", L"4"},
      {kItemKey, L"Enabled", L"1"},
      {kItemKey, L"Options", L"1"},
      {kItemKey, L"Order", L"10"},
      {kItemKey, L"Flags", L"0"},
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
  SetNumber(L"Order", 99);
  std::wstring before = DeviceState();
  ASSERT_EQ(0u, Device(L"install").exitCode);
  EXPECT_EQ(L"10", ReadText(kItemKey, L"Order"));
  SetNumber(L"Extra", 1);
  EXPECT_EQ(0u, Device(L"uninstall").exitCode);
  EXPECT_EQ(L"99|1|(none)", ReadText(kItemKey, L"Order") + L"|" + ReadText(kItemKey, L"Extra") +
                                L"|" + ReadText(kItemKey, L"DLL"));
  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kItemKey.c_str(), L"Extra");
  EXPECT_EQ(before, DeviceState());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today");
  EXPECT_EQ(clean, DeviceState());
}

// Stopped after each of its steps, as a kill would, an install or uninstall
// leaves the device fully installed or as it was once the next run is done.
TEST_F(Install, EveryStepCutOffIsHealedByTheNextRun) {
  InfManifest m;
  std::wstring report;
  ASSERT_EQ(InstallResult::Done, ReadInfManifest(L"Quorvane.inf", L"Quorvane.inf", &m, &report));
  auto run = [&](bool install, int stop, Go how = Go::Stop) {
    report.clear();
    StepCheck check = [=](int step) { return step == stop ? how : Go::On; };
    return install ? InstallManifest(m, check, &report) : UninstallManifest(m, check, &report);
  };
  ASSERT_EQ(InstallResult::Done, run(false, -1)) << report.c_str();
  std::wstring software, after;
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
    HostResult r = Device(row.verb);
    EXPECT_EQ(row.exitCode, r.exitCode) << r.output;
    EXPECT_THAT(r.output, HasSubstr(row.says));
    EXPECT_EQ(installed, DeviceState());
  }
  {  // Installed again while the item's DLL is loaded: its old copy cannot go
     // yet, is named, and goes with the next run.
    HMODULE item = LoadLibraryW(DEVICE_ROOT_DRIVE L"\\Windows\\Quorvane.dll");
    ASSERT_TRUE(item);
    HostResult r = Device(L"install");
    FreeLibrary(item);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_THAT(r.output,
                HasSubstr("\\Windows\\Quorvane.dll.~old is in use: the next run removes"));
    r = Device(L"install");
    EXPECT_THAT(r.output,
                HasSubstr("an interrupted install of Tessel-Quarry Quorvane was finished"));
    EXPECT_EQ(installed, DeviceState());
  }
  // A record not as an install wrote it is trusted by neither command.
  std::wstring text, path;
  ASSERT_TRUE(ReadTextValue(kRecord, L"Record", &text));
  const struct {
    const wchar_t *find, *replace;
  } edits[] = {
      {L"\\Windows\\Quorvane.dll", L"\\Windows\\iexplore.exe"},
      {L"value\tHKLM\\Software\\Microsoft", L"x"},
      {L"check\t", L"check\t0"},
  };
  HKEY root = SplitKey(kRecord, &path);
  for (const auto& edit : edits) {
    std::wstring edited = text;
    edited.replace(edited.find(edit.find), wcslen(edit.find), edit.replace);
    RegSetKeyValueW(root, path.c_str(), L"Record", REG_SZ, edited.c_str(),
                    (DWORD)edited.size() * 2 + 2);
    std::wstring state = DeviceState();
    for (const wchar_t* verb : {L"uninstall", L"install"}) {
      HostResult r = Device(verb);
      EXPECT_EQ(2u, r.exitCode);
      EXPECT_THAT(r.output, HasSubstr("Quorvane is damaged; nothing was changed"));
      EXPECT_EQ(state, DeviceState());
    }
  }
  // Whole but naming another file: that file is not what the install made, and stays.
  Record record;
  ASSERT_TRUE(ParseRecord(text, &record));
  record.files[0].path = L"\\Windows\\iexplore.exe";
  text = RecordText(record);
  RegSetKeyValueW(root, path.c_str(), L"Record", REG_SZ, text.c_str(), (DWORD)text.size() * 2 + 2);
  std::wstring home = kSite + L"\\home.htm";  // and a folder where a file was
  ASSERT_TRUE(DeleteFileW(home.c_str()) && CreateDirectoryW(home.c_str(), nullptr));
  HostResult r = Device(L"uninstall");
  EXPECT_EQ(0u, r.exitCode);
  EXPECT_THAT(
      r.output,
      HasSubstr("kept \\Windows\\iexplore.exe, changed since the install; kept "
                "\\Program Files\\Tessel-Quarry\\Quorvane\\MiniSite\\home.htm, now a folder"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES,
            GetFileAttributesW(DEVICE_ROOT_DRIVE L"\\Windows\\iexplore.exe"));
  RemoveDirectoryW(home.c_str());
  // Quorvane.dll is now on the device without a record: not known to be ours.
  std::wstring state = DeviceState();
  for (const auto& v :
       {std::make_pair(L"install", "line 36: \\Windows\\Quorvane.dll is already on"),
        std::make_pair(L"uninstall", "no install record of Tessel-Quarry Quorvane, yet")}) {
    r = Device(v.first);
    EXPECT_EQ(2u, r.exitCode);
    EXPECT_THAT(r.output, HasSubstr(v.second));
  }
  EXPECT_EQ(state, DeviceState());
  DeleteFileW(DEVICE_ROOT_DRIVE L"\\Windows\\Quorvane.dll");
}

TEST_F(Install, ReadOnlyFilesAndRunsAtOnce) {
  ASSERT_EQ(0u, Device(L"uninstall").exitCode);
  const std::wstring clean = DeviceState(), gif = kSite + L"\\init.gif";
  // A read-only source is installed as an ordinary file, which a reinstall
  // and an uninstall replace and remove.
  ASSERT_TRUE(SetFileAttributesW(L"MiniSite\\init.gif", FILE_ATTRIBUTE_READONLY));
  HostResult r = Device(L"install");
  SetFileAttributesW(L"MiniSite\\init.gif", FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(0u, r.exitCode) << r.output;
  EXPECT_EQ(0u, GetFileAttributesW(gif.c_str()) & FILE_ATTRIBUTE_READONLY);
  const std::wstring installed = DeviceState();
  for (const wchar_t* verb : {L"install", L"uninstall"}) {
    SetFileAttributesW(gif.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0u, Device(verb).exitCode) << verb;
  }
  EXPECT_EQ(clean, DeviceState());
  // Four runs at once: each waits for the one before, none sees a half-done one.
  std::vector<AutoCloseHandle> runs;
  for (int i = 0; i < 4; ++i) {
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    wchar_t line[] = L"DeviceInstall.exe install";
    ASSERT_TRUE(
        CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << "error " << GetLastError();
    CloseHandle(pi.hThread);
    runs.emplace_back(pi.hProcess);
  }
  for (AutoCloseHandle& run : runs) {
    DWORD code = 1;
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(run, 120000));
    EXPECT_TRUE(GetExitCodeProcess(run, &code) && code == 0);
  }
  EXPECT_EQ(installed, DeviceState());
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
  std::string crlf = "\xEF\xBB\xBF";  // the same with a byte order mark and CRLF lines
  for (char c : good)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {good, crlf}) {
    ASSERT_EQ(InstallResult::Done, ParseInfManifest(text, L".", L"m.inf", &m, &error))
        << error.c_str();
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
      {"InstallDir=%CE1%\\%AppName%", "InstallDir=%InstallDir%",
       L"line 7: the string %installdir% refers back"},
      {"Quorvane.dll=1", "Quorvane.dll=2", L"line 11: no source disk 2"},
      {"Quorvane.dll=1", "..\\Quorvane.dll=1", L"line 11: '..\\Quorvane.dll' is not a file name"},
      {"Quorvane.dll=1", "Quorvane.dll=1\nquorvane.dll=1", L"line 12: quorvane.dll appears twice"},
      {"CopyFiles=Files", "CopyFiles=Filez", L"line 13: no section [Filez]"},
      {"AddReg=Reg", "CEShortcuts=S", L"line 14: CEShortcuts is not applied here"},
      {"[DefaultInstall]\nCopyFiles=Files\nAddReg=Reg\n", "", L"line 18: no [DefaultInstall]"},
      {"Files=0,%InstallDir%", "Files=0,Program Files", L"line 16: the destination Program"},
      {"Files=0,%InstallDir%", "Files=0,%CE2%\\..\\..\\x",
       L"line 16: the destination \\Windows\\.."},
      {"Files=0,%InstallDir%", "Files=0,\\\\?\\C:\\x", L"line 16: the destination \\\\?\\C:"},
      {"Files=0,%InstallDir%", "Files=0,\\Windows\\c:x",
       L"line 16: the destination \\Windows\\c:x"},
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
      {"AppName=\"A\"", "AppName=%Nope%", L"line 6: unknown string %Nope%"},
      {"AddReg=Reg", "CopyFiles=Files", L"line 14: CopyFiles appears twice"},
      {"InstallDir=%CE1%\\%AppName%",
       "InstallDir=%S1%\nS1=%S2%\nS2=%S3%\nS3=%S4%\nS4=%S5%\nS5=%S6%\n"
       "S6=%S7%\nS7=%S8%\nS8=%S9%\nS9=\\x",
       L"line 14: strings nest more than 8 deep"},
      {"InstallDir=%CE1%\\%AppName%", "InstallDir=%S1%\nS1=%InstallDir%",
       L"line 8: the string %installdir% refers back"},
  };
  for (const auto& row : bad) {
    std::string text = good;
    text.replace(text.find(row.find), strlen(row.find), row.replace);
    EXPECT_EQ(InstallResult::Refused, ParseInfManifest(text, L".", L"m.inf", &m, &error))
        << row.replace;
    EXPECT_EQ(0u, error.find(std::wstring(L"m.inf: ") + row.error)) << error.c_str();
  }
  // Strings that name each other over and over are expanded once each:
  // seven naming the next twenty times cost no more than their text, and
  // what they come to is bounded.
  for (const char* last : {"", "x"}) {
    std::string bomb = "InstallDir=%CE1%%S0%\n";
    for (int i = 0; i < 6; ++i) {
      bomb += "S" + std::to_string(i) + "=";
      for (int n = 0; n < 20; ++n)
        bomb += "%S" + std::to_string(i + 1) + "%";
      bomb += "\n";
    }
    std::string text = good;
    text.replace(text.find("InstallDir="), strlen("InstallDir=%CE1%\\%AppName%\n"),
                 bomb + "S6=" + last + "\n");
    std::wstring error;
    EXPECT_EQ(*last ? InstallResult::Refused : InstallResult::Done,
              ParseInfManifest(text, L".", L"m.inf", &m, &error));
    EXPECT_EQ(*last != 0,
              error.find(L"expands to more than 1024 characters") != std::wstring::npos);
  }
  EXPECT_EQ(InstallResult::Refused, ParseInfManifest("", L".", L"m.inf", &m, &error));
  EXPECT_EQ(L"m.inf: the manifest is empty", error);
}

}  // namespace
