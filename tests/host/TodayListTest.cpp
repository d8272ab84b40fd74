// The Today list the host builds from the registry, with the test's own items
// (HostTest.*) beside the installed Quorvane.
#include <gtest/gtest.h>

#include "DeviceFiles.h"
#include "HostRun.h"
#include "TodayList.h"
#include "TodayShell.h"

namespace {

const std::wstring kKey = TODAY_ITEMS_KEY L"\\HostTest.A", kLongKey = kKey + std::wstring(40, L'n');
const wchar_t kBrowser[] = L"\\Windows\\iexplore.exe";  // loadable, but no Today item

// The test's items and library; before the first test too, as every host run
// would meet what a killed one left.
void RemoveTestItems() {
  for (const std::wstring& key : {kKey, kLongKey})
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
  DeleteFileW(DEVICE_ROOT_DRIVE L"\\Windows\\HostTest.A.dll");
}
const bool leftoversRemoved = (RemoveTestItems(), true);

void AddItem(DWORD type, DWORD enabled, DWORD order, const std::wstring& dll,
             const std::wstring& key = kKey) {
  const wchar_t* names[] = {L"Type", L"Enabled", L"Order"};
  DWORD values[] = {type, enabled, order};
  for (int i = 0; i < 3; ++i)
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), names[i], REG_DWORD, &values[i], 4);
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DLL", REG_SZ, dll.c_str(),
                  (DWORD)(dll.size() + 1) * 2);
}

struct TodayList : testing::Test {
  void TearDown() override { RemoveTestItems(); }
};

TEST_F(TodayList, CustomItemsThatAreEnabledInOrder) {
  const struct {
    DWORD type, enabled, order;
    const wchar_t* asText;  // a value written as text ("1"), not a DWORD
    std::wstring dll;
    const wchar_t* list;
    std::wstring leftOut;  // what the list says of the test item
    std::wstring key = kKey;
  } rows[] = {
      {4, 1, 10, nullptr, kBrowser, L"HostTest.A,Quorvane", L""},          // equal orders by name
      {4, 1, 9, nullptr, kBrowser, L"HostTest.A,Quorvane", L""},           // numbers, not text
      {4, 1, 0x80000000, nullptr, kBrowser, L"Quorvane,HostTest.A", L""},  // unsigned
      {4, 0, 5, nullptr, kBrowser, L"Quorvane", L""},                      // disabled
      {1, 1, 5, nullptr, kBrowser, L"Quorvane", L""},                      // not custom
      {4, 2, 5, nullptr, kBrowser, L"HostTest.A,Quorvane", L""},           // any Enabled but 0
      {4, 1, 5, L"Enabled", kBrowser, L"Quorvane", L""},  // a number written as text reads as 0
      {4, 1, 5, nullptr, L"\\Windows\\No.dll", L"Quorvane", L"\\No.dll is not on the device"},
      {4, 1, 5, nullptr, L"iexplore.exe", L"Quorvane", L"is not a device path"},
      {4, 1, 5, nullptr, L"\\Windows\\..\\iexplore.exe", L"Quorvane", L"not a device path"},
      {4, 1, 5, nullptr, L"", L"Quorvane", L"it has no DLL value", kLongKey},  // named whole
      {4, 1, 5, nullptr, L"\\Windows", L"Quorvane", L"its DLL \\Windows is a folder"},
      {4, 1, 5, nullptr, L"\\Windows\\" + std::wstring(300, L'x') + L".dll", L"Quorvane",
       L"its DLL value is longer than a device path may be (259 characters)"},
  };
  for (const auto& row : rows) {
    RemoveTestItems();
    AddItem(row.type, row.enabled, row.order, row.dll, row.key);
    if (row.asText)
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey.c_str(), row.asText, REG_SZ, L"1", 4);
    std::vector<std::wstring> leftOut;
    std::wstring names;
    for (const TodayListEntry& entry : ReadTodayList(&leftOut))
      names += (names.empty() ? L"" : L",") + std::wstring(entry.item.szName);
    EXPECT_EQ(row.list, names) << row.order << row.dll.c_str();
    std::wstring said = leftOut.empty() ? L"" : leftOut[0];
    std::wstring key = L"Items" + row.key.substr(row.key.rfind(L'\\')) + L": ";
    EXPECT_EQ(row.leftOut.empty() ? L"" : key, said.substr(0, key.size())) << said;
    EXPECT_NE(std::wstring::npos, said.find(row.leftOut)) << said;
  }
}

TEST_F(TodayList, TheHostStacksTheItemsThatLoad) {
  ASSERT_TRUE(CopyFileW(DEVICE_ROOT_DRIVE L"\\Windows\\Quorvane.dll",
                        DEVICE_ROOT_DRIVE L"\\Windows\\HostTest.A.dll", FALSE));
  const struct {
    const wchar_t* dll;  // the test item's, first in order
    const char* says;    // on the host's output
    bool below;          // a second strip below the first
  } rows[] = {
      {kBrowser, "left out: Items\\HostTest.A: D:\\Windows\\iexplore.exe has no export ordinal 240",
       false},  // the first in order is left out; the next one is first
      {L"\\Windows\\HostTest.A.dll", "", true},
  };
  for (const auto& row : rows) {
    AddItem(4, 1, 5, row.dll);  // every value of the row before
    HostResult run = RunScript(L"today-list", "refresh\nsnapshot today.png window\n");
    EXPECT_EQ(0u, run.exitCode) << run.output;
    EXPECT_SAYS(run, row.says);
    // Pixels off the Today background in a strip's height below the first strip.
    Picture today;
    std::wstring error;
    EXPECT_TRUE(ReadPng((run.folder + L"\\today.png").c_str(), &today, &error));
    int painted = 0, top = TODAY_HEADER_HEIGHT + 42;
    for (int i = top * today.width; i < (top + 42) * today.width && i < (int)today.pixels.size();
         ++i) {
      COLORREF c = TodayBackgroundAt(0, i / today.width);
      painted += today.pixels[i] != (DWORD)(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
    }
    EXPECT_TRUE(row.below ? painted > 500 : painted == 0) << painted << " " << run.output;
  }
}

}  // namespace
