// The windows a scenario looks for, and its expectations.
#include "Expectations.h"

#include <stdio.h>

#include "Messages.h"
#include "SimulatedDevice.h"
#include "TodayShell.h"
#include "Words.h"

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

bool Registered(const std::wstring& ending) {
  wchar_t paths[8][MAX_PATH];
  int n = SimWakeupRegistrations(paths, 8);
  for (int i = 0; i < n && i < 8; ++i) {
    size_t len = wcslen(paths[i]);
    if (len >= ending.size() && _wcsicmp(paths[i] + len - ending.size(), ending.c_str()) == 0) {
      return true;
    }
  }
  return false;
}

bool Expect(bool ok, const std::wstring& failure, std::wstring* error) {
  if (!ok)
    *error = failure;
  return ok;
}

}  // namespace

// Visible top-level windows with exactly this title.
int CountWindows(const std::wstring& title, HWND* first) {
  WindowSearch search = {title.c_str(), 0, nullptr};
  EnumWindows(CountTitled, (LPARAM)&search);
  if (first)
    *first = search.first;
  return search.count;
}

HWND WindowFor(const std::wstring& title) {
  if (title.empty())
    return TodayShell.today;
  HWND window = nullptr;
  CountWindows(title, &window);
  return window;
}

bool CheckExpectation(const Command& c, const RunState& run, std::wstring* error) {
  switch (c.op) {
    case Op::ExpectPaints:
    case Op::ExpectTrueAnswers:
    case Op::ExpectHeight:
    case Op::ExpectWakeupStarted: {
      long long n = ArgsOf<CountArgs>(c).count;
      RECT rc = {};
      GetClientRect(TodayShell.itemWindow, &rc);
      const struct {
        Op op;
        long long got;
        const wchar_t* says;
      } counts[] = {
          {Op::ExpectPaints, TodayShell.itemPaints, L"expected %lld item paints, counted %lld"},
          {Op::ExpectTrueAnswers, TodayShell.trueAnswers,
           L"expected %lld TRUE answers to refresh queries, got %lld"},
          {Op::ExpectHeight, rc.bottom, L"expected the item %lld pixels high, it is %lld"},
          {Op::ExpectWakeupStarted, run.wakeupStarted,
           L"expected %lld programs started at wake-up, %lld were"},
      };
      for (const auto& count : counts) {
        if (count.op == c.op) {
          return Expect(count.got == n, Sentence(count.says, n, count.got), error);
        }
      }
      return true;
    }
    case Op::ExpectWindow: {
      const WindowCountArgs& w = ArgsOf<WindowCountArgs>(c);
      auto matches = [&] {
        int n = CountWindows(w.title, nullptr);
        return w.count < 0 ? n > 0 : n == w.count;
      };
      if (WaitUntil(run.waitMs, matches))
        return true;
      int n = CountWindows(w.title, nullptr);
      *error = (w.count < 0 ? L"no window \"" + w.title + L"\" appeared within 15 s"
                            : Sentence(L"expected %lld windows, found %lld", w.count, n) +
                                  L" titled \"" + w.title + L"\" after 15 s");
      return false;
    }
    case Op::ExpectForeground: {
      const std::wstring& title = ArgsOf<WindowArgs>(c).title;
      auto matches = [&] {
        HWND fg = GetForegroundWindow();
        if (title.empty())
          return fg == TodayShell.today;
        wchar_t text[256];
        return fg && GetWindowTextW(fg, text, 256) > 0 && title == text;
      };
      if (WaitUntil(run.waitMs, matches))
        return true;
      *error = L"the foreground window is not " +
               (title.empty() ? std::wstring(L"the Today window") : L"\"" + title + L"\"") +
               L" after 15 s";
      return false;
    }
    case Op::ExpectRegistered: {
      const std::wstring& name = ArgsOf<RegisteredArgs>(c).fileName;
      return Expect(Registered(name), L"no wake-up registration ends with \"" + name + L"\"",
                    error);
    }
    default:
      return true;
  }
}
