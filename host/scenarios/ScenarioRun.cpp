// Runs a checked scenario line by line: each line by its row's runner,
// within the run's budget for waiting on other programs.
#include "ScenarioCommands.h"
#include "Messages.h"
#include "TodayShell.h"

RunState run;

namespace {

// Each wait of the line ends after otherProgramTimeoutMs or when the run's
// budget is spent, whichever comes first.
bool RunLine(const Command& c, std::wstring* error) {
  if (!c.row->run)
    return true;
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
  int count = 0;
  HWND window = nullptr;
  // FindWindowEx takes the title in any case; a window counts with it exactly.
  while ((window = FindWindowExW(nullptr, window, nullptr, title.c_str())) != nullptr) {
    wchar_t text[256];
    if (IsWindowVisible(window) && GetWindowTextW(window, text, 256) > 0 && title == text &&
        count++ == 0 && first) {
      *first = window;
    }
  }
  return count;
}

bool RunScenario(const Scenario& scenario, const ScenarioSettings& settings, std::wstring* error) {
  run = RunState();
  run.settings = &settings;
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

std::wstring ShownPicturePath(const std::wstring& folderShown, const std::wstring& name) {
  if (folderShown.empty() || folderShown.back() == L'/' || folderShown.back() == L'\\')
    return folderShown + name;
  // The separator the user wrote; a bare name takes the Unix one.
  bool windows = folderShown.find(L'\\') != std::wstring::npos ||
                 (folderShown.size() >= 2 && folderShown[1] == L':');
  return folderShown + (windows ? L"\\" : L"/") + name;
}
