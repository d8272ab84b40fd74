// The scenario's expectations: counts the host keeps, other programs'
// windows, the foreground window and wake-up registrations.
#include "ScenarioCommands.h"
#include "Messages.h"
#include "TodayShell.h"

namespace {

bool ReadCount(LineReader& r) {
  return Count(r, 1, 1) && Number(r, 2, 0, 1000000, r.t[1].text.c_str(), &r.c->number);
}

// expect window "TITLE" [N] (-1: at least one), expect no-window "TITLE" (0).
bool ReadWindowCount(LineReader& r) {
  long long& n = r.c->number = r.Word(1, L"no-window") ? 0 : -1;
  return Count(r, 1, n ? 2 : 1) && Title(r, 2, &r.c->name) &&
         (r.Arguments() < 2 || Number(r, 3, 0, 100, L"the window count", &n));
}

bool ReadRegistered(LineReader& r) {
  if (!Count(r, 1, 1))
    return false;
  if (!IsPlainFileName(r.t[2].text.c_str(), r.t[2].text.size()))
    return r.Fail(Quote(r.t[2].text) + L" is not a file name");
  r.c->name = r.t[2].text;
  return true;
}

// A count the host keeps, against the line's.
bool Counted(const Command& c, long long got, const wchar_t* says, std::wstring* error) {
  if (got != c.number)
    *error = Sentence(says, c.number, got);
  return got == c.number;
}

bool ExpectPaints(const Command& c, std::wstring* error) {
  return Counted(c, TodayShell.itemPaints, L"expected %lld item paints, counted %lld", error);
}

bool ExpectTrueAnswers(const Command& c, std::wstring* error) {
  return Counted(c, TodayShell.trueAnswers,
                 L"expected %lld TRUE answers to refresh queries, got %lld", error);
}

bool ExpectHeight(const Command& c, std::wstring* error) {
  RECT rc = {};
  GetClientRect(TodayShell.itemWindow, &rc);
  return Counted(c, rc.bottom, L"expected the item %lld pixels high, it is %lld", error);
}

bool ExpectWakeupStarted(const Command& c, std::wstring* error) {
  return Counted(c, run.wakeupStarted, L"expected %lld programs started at wake-up, %lld were",
                 error);
}

bool ExpectWindow(const Command& c, std::wstring* error) {
  int n = 0;
  auto matches = [&] {
    n = CountWindows(c.name, nullptr);
    return c.number < 0 ? n > 0 : n == c.number;
  };
  if (WaitUntil(run.waitMs, matches))
    return true;
  *error = (c.number < 0 ? L"no window \"" + c.name + L"\" appeared within 15 s"
                         : Sentence(L"expected %lld windows, found %lld", c.number, n) +
                               L" titled \"" + c.name + L"\" after 15 s");
  return false;
}

bool ExpectForeground(const Command& c, std::wstring* error) {
  auto matches = [&] {
    HWND fg = GetForegroundWindow();
    wchar_t text[256] = L"";
    GetWindowTextW(fg, text, 256);
    return c.name.empty() ? fg == TodayShell.today : c.name == text;
  };
  if (WaitUntil(run.waitMs, matches))
    return true;
  *error = L"the foreground window is not " +
           (c.name.empty() ? std::wstring(L"the Today window") : L"\"" + c.name + L"\"") +
           L" after 15 s";
  return false;
}

bool ExpectRegistered(const Command& c, std::wstring* error) {
  wchar_t paths[8][MAX_PATH];
  int n = SimWakeupRegistrations(paths, 8);
  for (int i = 0; i < n && i < 8; ++i) {
    size_t len = wcslen(paths[i]);
    if (len >= c.name.size() && _wcsicmp(paths[i] + len - c.name.size(), c.name.c_str()) == 0)
      return true;
  }
  *error = L"no wake-up registration ends with \"" + c.name + L"\"";
  return false;
}

}  // namespace

const std::vector<CommandInfo> expectCommands = {
    {L"expect paints", ReadCount, ExpectPaints, L"expect paints N",
     L"item paints since reset-paints"},
    {L"expect true-answers", ReadCount, ExpectTrueAnswers, L"expect true-answers N",
     L"TRUE answers to refresh queries so far"},
    {L"expect height", ReadCount, ExpectHeight, L"expect height N", L"the item's height"},
    {L"expect window", ReadWindowCount, ExpectWindow, L"expect window \"TITLE\" [N]",
     L"top-level windows with that title: at least one, or N; waits up to 15 s", true},
    {L"expect no-window", ReadWindowCount, ExpectWindow, L"expect no-window \"TITLE\"",
     L"no top-level window with that title; waits up to 15 s", true},
    {L"expect foreground", ReadWindow, ExpectForeground, L"expect foreground today|\"TITLE\"",
     L"the foreground window; waits up to 15 s", true},
    {L"expect wakeup-started", ReadCount, ExpectWakeupStarted, L"expect wakeup-started N",
     L"programs started by the last resume"},
    {L"expect registered", ReadRegistered, ExpectRegistered, L"expect registered NAME.exe",
     L"a wake-up registration of that program"},
};
