// Runs a checked scenario line by line: each line by its row's runner,
// within the run's budget for waiting on other programs.
#include "ScenarioCommands.h"
#include "Messages.h"
#include "TodayShell.h"

RunState run;

namespace {

struct WindowSearch {
  const wchar_t* title;
  int count;
  HWND first;
};

BOOL CALLBACK CountTitled(HWND window, LPARAM lParam) {
  WindowSearch* search = (WindowSearch*)lParam;
  wchar_t title[256];
  if (IsWindowVisible(window) && GetWindowTextW(window, title, 256) > 0 &&
      wcscmp(title, search->title) == 0) {
    if (!search->first)
      search->first = window;
    ++search->count;
  }
  return TRUE;
}

// Runs a line within what is left of the run's budget for waiting on other
// programs: each wait ends after otherProgramTimeoutMs or when the budget
// is spent, whichever comes first.
bool RunLine(const Command& c, std::wstring* error) {
  if (!c.row->waits && c.of != PictureOf::OtherWindow)
    return c.row->run(c, error);
  ULONGLONG budget = run.settings->waitBudgetMs;
  ULONGLONG left = run.waitedMs < budget ? budget - run.waitedMs : 0;
  run.waitMs = left < otherProgramTimeoutMs ? (DWORD)left : otherProgramTimeoutMs;
  ULONGLONG start = GetTickCount64();
  bool ok = left > 0 && c.row->run(c, error);
  run.waitedMs += GetTickCount64() - start;
  if (!ok && run.waitMs < otherProgramTimeoutMs && run.waitedMs >= budget) {
    *error = L"a run waits at most " + DurationText((long long)budget) +
             L" in all for other programs and windows (--wait-budget); that time ran out here";
  }
  return ok;
}

}  // namespace

int CountWindows(const std::wstring& title, HWND* first) {
  WindowSearch search = {title.c_str(), 0, nullptr};
  EnumWindows(CountTitled, (LPARAM)&search);
  if (first)
    *first = search.first;
  return search.count;
}

HWND WindowFor(const std::wstring& title) {
  HWND window = TodayShell.today;
  if (!title.empty())
    CountWindows(title, &window);
  return window;
}

bool RunScenario(const Scenario& scenario, const ScenarioSettings& settings, std::wstring* error) {
  run = RunState();
  run.settings = &settings;
  run.untilQueryMs = TodayShell.intervalMs;
  PumpMessages();
  for (const Command& c : scenario.commands) {
    std::wstring message;
    if (!RunLine(c, &message)) {
      *error = L"line " + std::to_wstring(c.line) + L": " + message;
      return false;
    }
  }
  PumpMessages();
  return true;
}

const std::wstring* PictureFile(const Command& c) {
  std::wstring kind = c.row->name;
  return kind == L"snapshot" || kind == L"animation" ? &c.name : nullptr;
}

int CountScenarioPictures(const Scenario& scenario) {
  int n = 0;
  for (const Command& c : scenario.commands)
    n += PictureFile(c) != nullptr;
  return n;
}

std::wstring ShownPicturePath(const std::wstring& folderShown, const std::wstring& name) {
  if (folderShown.empty() || folderShown.back() == L'/' || folderShown.back() == L'\\')
    return folderShown + name;
  // The separator the user wrote; a bare name takes the Unix one.
  bool windows = folderShown.find(L'\\') != std::wstring::npos ||
                 (folderShown.size() >= 2 && folderShown[1] == L':');
  return folderShown + (windows ? L"\\" : L"/") + name;
}
