#include "StripHost.h"

#include <stdlib.h>
#include <tlhelp32.h>

// Programs are started here as a desktop user starts them (the whole command
// line, program first), not through the CE form that the system's code uses.
#undef CreateProcessW

namespace hardening {

const wchar_t* const kQuorvaneKey = L"Software\\Tessel-Quarry\\Quorvane";
const wchar_t* const kAboutLocation = L"AboutLocation";

namespace {

const wchar_t kTodayClass[] = L"DesktopExplorerWindow";

LRESULT CALLBACK TodayProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == TODAYM_GETCOLOR) return wp == TODAYCOLOR_TEXT ? kTodayText : RGB(255, 0, 255);
  if (msg == TODAYM_DRAWWATERMARK) {
    const TODAYDRAWWATERMARKINFO* info = reinterpret_cast<TODAYDRAWWATERMARKINFO*>(lp);
    HBRUSH brush = CreateSolidBrush(kTodayBackground);
    FillRect(info->hdc, &info->rc, brush);
    DeleteObject(brush);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// The item's own window procedure, and a count of the paints it was asked for.
WNDPROC itemProc;
long paintCount;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) paintCount++;
  return CallWindowProcW(itemProc, hwnd, msg, wp, lp);
}

bool IsBackground(DWORD pixel) {
  return pixel == (DWORD(GetRValue(kTodayBackground)) << 16 |
                   DWORD(GetGValue(kTodayBackground)) << 8 | GetBValue(kTodayBackground));
}

}  // namespace

bool Strip::RegionEquals(const Strip& other, Slot slot, int top, int bottom) const {
  if (pixels.size() != kStripWidth * kStripHeight || other.pixels.size() != pixels.size())
    return false;
  for (int y = top; y < bottom; y++)
    for (int x = slot.left; x < slot.right; x++)
      if (At(x, y) != other.At(x, y)) return false;
  return true;
}

int Strip::LabelInk(Slot slot) const {
  int ink = 0;
  if (pixels.size() != kStripWidth * kStripHeight) return 0;
  for (int y = kLabelTop; y < kLabelBottom; y++)
    for (int x = slot.left; x < slot.right; x++)
      if (!IsBackground(At(x, y))) ink++;
  return ink;
}

int Strip::Differences(const Strip& other) const {
  int n = 0;
  for (size_t i = 0; i < pixels.size() && i < other.pixels.size(); i++)
    if (pixels[i] != other.pixels[i]) n++;
  return n;
}

bool StripHost::Load() {
  Unload();
  dll = LoadLibraryW(BesideTest(L"Quorvane.dll").c_str());
  if (!dll) return false;
  auto init = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
      reinterpret_cast<void*>(GetProcAddress(dll, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM))));
  if (!init) return false;

  WNDCLASSW wc = {};
  wc.lpfnWndProc = TodayProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kTodayClass;
  RegisterClassW(&wc);
  today = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kTodayClass, L"Today",
                          WS_POPUP | WS_VISIBLE, 0, 0, kStripWidth, 60, nullptr, nullptr,
                          wc.hInstance, nullptr);
  listItem = {};
  listItem.fEnabled = TRUE;
  listItem.hinstDLL = dll;
  listItem.tlit = tlitCustom;
  item = init(&listItem, today);
  if (!item) return false;
  DWORD cyp = 0;
  if (Query(&cyp) != TRUE) return false;
  SetWindowPos(item, nullptr, 0, 0, kStripWidth, int(cyp), SWP_NOZORDER | SWP_NOACTIVATE);
  itemProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(item, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
  paintCount = 0;
  PumpMessages();
  return true;
}

void StripHost::Unload() {
  if (item && IsWindow(item)) DestroyWindow(item);
  if (today) DestroyWindow(today);
  item = today = nullptr;
  PumpMessages();
  if (dll) {
    UnregisterClassW(L"DashBoard", dll);
    FreeLibrary(dll);
    dll = nullptr;
  }
}

LRESULT StripHost::Query(DWORD* cyp) {
  listItem.cyp = 0;
  LRESULT answer =
      SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, reinterpret_cast<WPARAM>(&listItem), 0);
  if (cyp) *cyp = listItem.cyp;
  return answer;
}

long StripHost::Paints() const { return paintCount; }

void StripHost::Tap(int x, int y) {
  SendMessageW(item, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

Strip StripHost::Capture() const {
  Strip strip;
  strip.pixels.assign(kStripWidth * kStripHeight, 0);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = kStripWidth;
  bi.bmiHeader.biHeight = -kStripHeight;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = GetDC(item);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, kStripWidth, kStripHeight, dc, 0, 0, SRCCOPY);
  GdiFlush();
  const DWORD* src = static_cast<const DWORD*>(bits);
  for (size_t i = 0; i < strip.pixels.size(); i++) strip.pixels[i] = src[i] & 0x00FFFFFF;
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(item, dc);
  return strip;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void PumpFor(DWORD ms) {
  ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    PumpMessages();
    ULONGLONG now = GetTickCount64();
    if (now >= end) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now), QS_ALLINPUT);
  }
}

int GdiHeadroom() {
  static HPEN pens[70000];
  int n = 0;
  while (n < 70000) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(n & 255, 0, 0));
    if (!pen) break;
    pens[n++] = pen;
  }
  for (int i = 0; i < n; i++) DeleteObject(pens[i]);
  return n;
}

std::wstring BesideTest(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  wchar_t* slash = wcsrchr(path, L'\\');
  if (slash) slash[1] = 0;
  return std::wstring(path) + name;
}

namespace {
template <typename F>
void ForEachProcess(F f) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W pe = {};
  pe.dwSize = sizeof pe;
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) f(pe);
  CloseHandle(snap);
}
}  // namespace

std::vector<DWORD> ChildProcesses() {
  std::vector<DWORD> children;
  DWORD self = GetCurrentProcessId();
  ForEachProcess([&](const PROCESSENTRY32W& pe) {
    if (pe.th32ParentProcessID == self) children.push_back(pe.th32ProcessID);
  });
  return children;
}

std::wstring NewChildren(const std::vector<DWORD>& before, const std::vector<DWORD>& now) {
  std::wstring text;
  for (DWORD pid : now) {
    bool old = false;
    for (DWORD b : before) old = old || b == pid;
    if (old) continue;
    ForEachProcess([&](const PROCESSENTRY32W& pe) {
      if (pe.th32ProcessID == pid) text += std::wstring(pe.szExeFile) + L" ";
    });
  }
  return text;
}

void EndNewChildren(const std::vector<DWORD>& before) {
  for (DWORD pid : ChildProcesses()) {
    bool old = false;
    for (DWORD b : before) old = old || b == pid;
    HANDLE process = old ? nullptr : OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (!process) continue;
    TerminateProcess(process, 1);
    CloseHandle(process);
  }
}

namespace {
struct WindowSearch {
  DWORD pid;
  std::wstring found;
  HWND dialog;
};
}  // namespace

std::wstring VisibleWindowsOf(DWORD pid) {
  WindowSearch search = {pid, L"", nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<WindowSearch*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == s->pid && IsWindowVisible(hwnd)) {
          wchar_t cls[64] = L"", title[64] = L"";
          GetClassNameW(hwnd, cls, 64);
          GetWindowTextW(hwnd, title, 64);
          s->found += std::wstring(cls) + L"/" + title + L" ";
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND AboutDialogOf(DWORD pid) {
  WindowSearch search = {pid, L"", nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<WindowSearch*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        wchar_t cls[64] = L"", title[64] = L"";
        GetClassNameW(hwnd, cls, 64);
        GetWindowTextW(hwnd, title, 64);
        if (owner == s->pid && !wcscmp(cls, L"#32770") && !wcscmp(title, L"About Quorvane")) {
          s->dialog = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.dialog;
}

bool StartProgram(const std::wstring& path, const std::wstring& argument,
                  PROCESS_INFORMATION* pi) {
  std::wstring cmd = L"\"" + path + L"\" " + argument;
  std::vector<wchar_t> buffer(cmd.begin(), cmd.end());
  buffer.push_back(0);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  *pi = {};
  return CreateProcessW(path.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, pi) != FALSE;
}

long CountFromEnvironment(const char* name, long fallback) {
  const char* text = getenv(name);
  if (!text || !*text) return fallback;
  long value = strtol(text, nullptr, 10);
  return value > 0 ? value : fallback;
}

KeySnapshot SnapshotQuorvaneKey() {
  KeySnapshot snap;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kQuorvaneKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return snap;
  snap.exists = true;
  DWORD values = 0, maxName = 0, maxData = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &snap.subkeys, nullptr, nullptr, &values,
                   &maxName, &maxData, nullptr, nullptr);
  for (DWORD i = 0; i < values; i++) {
    std::vector<wchar_t> name(maxName + 1);
    std::vector<BYTE> data(maxData + 1);
    DWORD nameLen = maxName + 1, dataLen = maxData + 1, type = 0;
    if (RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen) !=
        ERROR_SUCCESS)
      continue;
    data.resize(dataLen);
    snap.values.push_back({std::wstring(name.data(), nameLen), type, data});
  }
  RegCloseKey(key);
  return snap;
}

bool WriteAboutLocation(DWORD type, const void* data, DWORD bytes) {
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kQuorvaneKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG r = RegSetValueExW(key, kAboutLocation, 0, type, static_cast<const BYTE*>(data), bytes);
  RegCloseKey(key);
  return r == ERROR_SUCCESS;
}

bool WriteAboutLocation(const std::wstring& text) {
  return WriteAboutLocation(REG_SZ, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
}

void DeleteAboutLocation() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kQuorvaneKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, kAboutLocation);
  RegCloseKey(key);
}

void DeleteQuorvaneKey() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kQuorvaneKey); }

void AboutLocationGuard::Restore() {
  DeleteAboutLocation();
  if (!saved.exists) return;
  HKEY key;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kQuorvaneKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  for (const RegValue& v : saved.values)
    RegSetValueExW(key, v.name.c_str(), 0, v.type, v.data.data(), DWORD(v.data.size()));
  RegCloseKey(key);
}

std::wstring AboutLocationGuard::ValidPath() const {
  for (const RegValue& v : saved.values) {
    if (v.name != kAboutLocation || v.type != REG_SZ || v.data.size() < 2) continue;
    std::wstring text(reinterpret_cast<const wchar_t*>(v.data.data()), v.data.size() / 2);
    while (!text.empty() && text.back() == 0) text.pop_back();
    if (!text.empty()) return text;
  }
  return BesideTest(L"AboutDashboard.exe");
}

}  // namespace hardening
