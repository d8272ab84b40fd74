// The scenario commands that act on the item and the screen: refresh
// queries, taps, suspend and resume, pictures, the options dialog and other
// programs' windows.
#include "ScenarioCommands.h"

#include "Messages.h"
#include "TodayShell.h"
#include "UserPath.h"

namespace {

// The window with that title (the Today window for none), or an error saying
// there is none `to` do what the line asks.
HWND NamedWindow(const std::wstring& title, const wchar_t* to, std::wstring* error) {
  HWND window = TodayShell.today;
  if (title.empty() || CountWindows(title, &window) > 0)
    return window;
  *error = L"no window \"" + title + L"\"" + to;
  return nullptr;
}

bool ReadNothing(LineReader& r) {
  r.state->queries += r.Word(0, L"refresh");  // toward the script's limit
  return Count(r, 0, 0);
}

bool ReadTap(LineReader& r) {
  if (r.state->suspended)
    return r.Fail(L"the device is suspended: a tap needs a resume before it");
  return Count(r, 2, 2) && Number(r, 1, 0, 239, L"x", &r.c->x) &&
         Number(r, 2, 0, 41, L"y", &r.c->y);
}

bool ReadSuspendOrResume(LineReader& r) {
  bool suspend = r.Word(0, L"suspend");
  if (!Count(r, 0, 0))
    return false;
  if (r.state->suspended == suspend)
    return r.Fail(suspend ? L"the device is already suspended"
                          : L"resume needs a suspend before it");
  r.state->suspended = suspend;
  r.state->untilQueryMs = r.state->intervalMs;  // the cadence restarts at resume
  return true;
}

bool ReadTextColor(LineReader& r) {
  COLORREF color;
  if (!Count(r, 1, 1))
    return false;
  if (!ParseColor(r.t[1].text, &color))
    return r.Fail(L"expected a colour as #RRGGBB, not " + Quote(r.t[1].text));
  r.c->number = color;
  return true;
}

// The picture's file name, new in this script.
bool ReadPictureName(LineReader& r, const wchar_t* extension) {
  if (r.Arguments() == 0)
    return r.Fail(r.t[0].text + L" needs a file name");
  const std::wstring& file = r.c->name = r.t[1].text;
  if (!FitsNameLimits(file)) {
    return r.Fail(Quote(file) + L" is longer than a file name may be: " +
                  std::to_wstring(Utf8Bytes(file)) +
                  L" bytes in UTF-8, at most 255 (and 255 characters)");
  }
  if (!IsPlainFileNameWith(file, extension)) {
    return r.Fail(Quote(file) + L" is not a plain *" + extension + L" file name (no folders, " +
                  L"no control character, no trailing dot or blank, no device name such as CON, " +
                  L"CONIN$ or COM1)");
  }
  if (!r.state->pictures.insert(Upper(file)).second)
    return r.Fail(Quote(file) + L" is written twice");
  return true;
}

bool ReadScale(LineReader& r, const std::wstring& value) {
  long long scale = 1;
  if (!value.empty() && !ParseNumber(value, 1, 16, &scale))
    return r.Fail(L"scale must be a whole number from 1 to 16, not " + Quote(value));
  r.c->scale = (int)scale;
  return true;
}

bool ReadSnapshot(LineReader& r) {
  if (!ReadPictureName(r, L".png"))
    return false;
  bool window = r.Word(2, L"window"), of = r.Word(2, L"of");
  r.c->of = of ? PictureOf::OtherWindow : window ? PictureOf::TodayWindow : PictureOf::Strip;
  if (of && r.t.size() == 3)
    return r.Fail(L"of needs a window title in quotes");
  std::vector<std::wstring> v;
  if ((of && !Title(r, 3, &r.c->title)) || !Settings(r, 2 + window + 2 * of, {L"scale"}, &v) ||
      !ReadScale(r, v[0])) {
    return false;
  }
  r.state->stripSnapshots += r.c->of == PictureOf::Strip;
  return true;
}

bool ReadAnimation(LineReader& r) {
  std::vector<std::wstring> v;
  r.c->number = 1000;
  if (!ReadPictureName(r, L".gif") || !Settings(r, 2, {L"scale", L"delay"}, &v) ||
      !ReadScale(r, v[0]) ||
      (!v[1].empty() && !ParseDurationIn(v[1], 10, 655350, L"delay", &r.c->number, r.error))) {
    return false;
  }
  ULONGLONG frames = r.state->stripSnapshots, scale = r.c->scale;
  if (frames == 0)
    return r.Fail(L"an animation needs a strip snapshot before it");
  if (frames * scale * scale * 240 * 42 > (1ULL << 26)) {
    return r.Fail(L"an animation holds at most 67108864 pixels: " + std::to_wstring(frames) +
                  L" frames at scale=" + std::to_wstring(scale) + L" are more");
  }
  return true;
}

bool ReadOptions(LineReader& r) {
  if (r.Arguments() == 0 || r.Arguments() > 10u)
    return r.Fail(L"options presses 1 to 10 buttons, the last ok: for example options cancel ok");
  for (size_t i = 1; i < r.t.size(); ++i) {
    if (!r.Word(i, L"ok") && !r.Word(i, L"cancel"))
      return r.Fail(L"options presses ok or cancel, not " + Quote(r.t[i].text));
    r.c->presses.push_back(r.Word(i, L"ok") ? IDOK : IDCANCEL);
  }
  if (r.c->presses.back() != IDOK)
    return r.Fail(L"options must end with ok, which closes the dialog");
  return true;
}

// Names the picture's file as the user would in a failure to write it.
bool Written(bool ok, const Command& c, std::wstring* error) {
  if (!ok)
    *error =
        L"cannot write " + ShownPicturePath(run.settings->outputShown, c.name) + L": " + *error;
  return ok;
}

// Another program's window is read from the screen, the Today window moved
// out of its way for the moment.
bool CaptureOtherWindow(const std::wstring& title, Picture* picture, std::wstring* error) {
  HWND window = NamedWindow(title, L" to take a picture of", error);
  if (!window)
    return false;
  const UINT still = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(TodayShell.today, HWND_NOTOPMOST, 0, 0, 0, 0, still);
  // Raised while the Today window is still above it: Wine's X driver only
  // ever raises a window, and only when its place in the order changes.
  // Asynchronous: a window whose program stopped pumping cannot hold the run.
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, still | SWP_ASYNCWINDOWPOS);
  SetWindowPos(TodayShell.today, HWND_BOTTOM, 0, 0, 0, 0, still);
  // It repaints what was uncovered.
  WaitUntil(run.waitMs < 500 ? run.waitMs : 500, [] { return false; });
  RECT rc;
  GetWindowRect(window, &rc);
  bool ok = CaptureScreenRect(rc, picture);
  SetWindowPos(TodayShell.today, HWND_TOPMOST, 0, 0, 0, 0, still);
  PumpMessages();
  if (!ok)
    *error = L"cannot read \"" + title + L"\" from the screen";
  return ok;
}

bool TakeSnapshot(const Command& c, std::wstring* error) {
  PumpMessages();
  Picture picture;
  bool strip = c.of == PictureOf::Strip;
  if (c.of == PictureOf::OtherWindow) {
    if (!CaptureOtherWindow(c.title, &picture, error))
      return false;
  } else if (!CapturePicture(strip ? TodayShell.itemWindow : TodayShell.today, &picture)) {
    *error = L"cannot capture the picture (is the item laid out?)";
    return false;
  }
  if (strip)
    run.strips.push_back(picture);
  if (c.scale > 1)
    picture = MagnifyPicture(picture, c.scale);
  std::wstring path = InFolder(run.settings->outputFolder, c.name);
  return Written(WritePng(path.c_str(), picture, error), c, error);
}

bool WriteAnimation(const Command& c, std::wstring* error) {
  std::vector<const Picture*> frames;
  for (const Picture& p : run.strips) {
    if (p.width == run.strips[0].width && p.height == run.strips[0].height)
      frames.push_back(&p);
  }
  std::wstring path = InFolder(run.settings->outputFolder, c.name);
  return Written(WriteAnimatedGif(path.c_str(), frames, c.scale, (int)c.number, error), c, error);
}

// The options dialog, driven from inside its modal loop.
const INT_PTR optionsTimedOut = -2;
struct {
  const std::vector<int>* presses;
  size_t done;
  HWND dialog;
  ULONGLONG since;
} options;

BOOL CALLBACK FindDialog(HWND window, LPARAM lParam) {
  wchar_t name[16];
  if (IsWindowVisible(window) && GetClassNameW(window, name, 16) > 0 &&
      wcscmp(name, L"#32770") == 0) {
    *(HWND*)lParam = window;
    return FALSE;
  }
  return TRUE;
}

// Presses the next button, one per tick, as a person would.
void CALLBACK PressOptionsButton(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&options.dialog);
  if (!options.dialog)
    return;
  if (GetTickCount64() - options.since > run.waitMs) {
    EndDialog(options.dialog, optionsTimedOut);  // a dialog that ignores its buttons
    return;
  }
  if (options.done == options.presses->size())
    return;
  int id = (*options.presses)[options.done++];
  // What the caption's OK button (or a Cancel key) sends.
  SendMessageW(options.dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool PressOptions(const Command& c, std::wstring* error) {
  if (!TodayShell.optionsDialogProc) {
    *error = L"the item has no options dialog procedure (ordinal 241)";
    return false;
  }
  options = {&c.presses, 0, nullptr, GetTickCount64()};
  UINT_PTR timer = SetTimer(nullptr, 0, 50, PressOptionsButton);
  INT_PTR result = ShowItemOptions();
  KillTimer(nullptr, timer);
  if (result == -1 || !options.dialog)
    *error = L"the options dialog (template 500) did not open";
  else if (result == optionsTimedOut)
    *error = L"the options dialog did not close within 15 s";
  else if (options.done < c.presses.size())
    *error = Sentence(L"the options dialog closed after press %lld of %lld",
                      (long long)options.done, (long long)c.presses.size());
  else if (result != 1)
    *error = Sentence(L"the options dialog ended with %lld, not 1", (long long)result);
  else
    return true;
  return false;
}

bool BringForward(const Command& c, std::wstring* error) {
  HWND window = NamedWindow(c.name, L"", error);
  if (!window)
    return false;
  // A program started just before may still be taking the activation it
  // asked for: ask again until this window is in front (up to 15 s).
  WaitUntil(run.waitMs, [&] {
    SetForegroundWindow(window);
    PumpMessages();
    return GetForegroundWindow() == window;
  });
  return true;
}

bool CloseWindowTitled(const Command& c, std::wstring* error) {
  HWND window = NamedWindow(c.name, L" to close", error);
  if (!window)
    return false;
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (WaitUntil(run.waitMs, [&] { return !IsWindow(window) || !IsWindowVisible(window); }))
    return true;
  *error = L"\"" + c.name + L"\" did not close on OK";
  return false;
}

bool Refresh(const Command&, std::wstring*) {
  QueryTodayItems();
  PumpMessages();
  return true;
}

bool Tap(const Command& c, std::wstring*) {
  LPARAM at = MAKELPARAM(c.x, c.y);
  PostMessageW(TodayShell.itemWindow, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(TodayShell.itemWindow, WM_LBUTTONUP, 0, at);
  PumpMessages();
  return true;
}

bool Resume(const Command&, std::wstring* error) {
  run.wakeupStarted = FireWakeupAndWait(run.waitMs);
  if (run.wakeupStarted < 0)
    *error = L"a program started at wake-up did not finish within 15 s";
  return run.wakeupStarted >= 0;
}

bool SetTextColor(const Command& c, std::wstring*) {
  TodayShell.textColor = (COLORREF)c.number;
  return true;
}

bool ResetPaints(const Command&, std::wstring*) {
  TodayShell.itemPaints = 0;
  return true;
}

}  // namespace

const std::vector<CommandInfo> itemCommands = {
    {L"refresh", ReadNothing, Refresh, L"refresh", L"one refresh query now"},
    {L"tap", ReadTap, Tap, L"tap X Y",
     L"a pen tap (button down and up) at item coordinates, X 0-239, Y 0-41; not while "
     L"suspended"},
    {L"suspend", ReadSuspendOrResume, nullptr, L"suspend", L"suspends the device"},
    {L"resume", ReadSuspendOrResume, Resume, L"resume",
     L"fires the wake-up event and waits (up to 15 s) for the programs it starts", true},
    {L"text-color", ReadTextColor, SetTextColor, L"text-color #RRGGBB",
     L"the Today text colour, used from the item's next paint"},
    {L"snapshot", ReadSnapshot, TakeSnapshot, L"snapshot NAME.png [window|of \"TITLE\"] [scale=N]",
     L"a PNG of the 240 x 42 strip as painted (scale 1-16, nearest neighbour), or of the whole "
     L"Today window, or of another program's window"},
    {L"animation", ReadAnimation, WriteAnimation, L"animation NAME.gif [scale=N] [delay=DURATION]",
     L"a looping GIF of every strip snapshot so far (delay 10ms-655350ms, default 1s; at most "
     L"67108864 pixels in all frames: 400 frames at scale=4, 26 at scale=16)"},
    {L"options", ReadOptions, PressOptions, L"options ok|cancel ... ok",
     L"opens the options dialog and presses up to 10 buttons in turn; it must close on the "
     L"last press (OK) with result 1, within 15 s",
     true},
    {L"foreground", ReadWindow, BringForward, L"foreground today|\"TITLE\"",
     L"brings a window to the front", true},
    {L"close", ReadWindow, CloseWindowTitled, L"close \"TITLE\"",
     L"presses OK in a window and waits (up to 15 s) until it closes", true},
    {L"reset-paints", ReadNothing, ResetPaints, L"reset-paints",
     L"sets the count of the item's WM_PAINTs to zero"},
};
