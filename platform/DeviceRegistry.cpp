#define CE_PLATFORM_IMPLEMENTATION
#include "DeviceRegistry.h"

#include "CeApi.h"

// The device key, under HKEY_CURRENT_USER.
#define SIM_DEVICE_KEY L"Software\\CeStandIn\\SimulatedDevice"

static HKEY deviceKey;

static HKEY OpenDeviceKey() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SIM_DEVICE_KEY, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

HKEY DeviceKey() {
  HKEY key = (HKEY)InterlockedCompareExchangePointer((void* volatile*)&deviceKey, nullptr, nullptr);
  if (key) {
    return key;
  }
  key = OpenDeviceKey();
  HKEY previous =
      (HKEY)InterlockedCompareExchangePointer((void* volatile*)&deviceKey, key, nullptr);
  if (previous) {
    ScopedRegKey dropped(key);  // another thread's key won
    return previous;
  }
  return key;
}

// A shell may delete the whole key while a program runs; the kept handle then
// answers ERROR_KEY_DELETED and is replaced by a fresh one.
static bool RenewIfDeleted(HKEY* key, LONG result) {
  if (result != ERROR_KEY_DELETED || *key != deviceKey) {
    return false;
  }
  HKEY fresh = OpenDeviceKey();
  if (!fresh) {
    return false;
  }
  ScopedRegKey old((HKEY)InterlockedExchangePointer((void* volatile*)&deviceKey, fresh));
  *key = fresh;
  return true;
}

static LONG QueryValue(HKEY key, const wchar_t* name, DWORD* type, void* data, DWORD* size) {
  DWORD capacity = *size;
  LONG result = RegQueryValueExW(key, name, nullptr, type, (BYTE*)data, size);
  if (RenewIfDeleted(&key, result)) {
    *size = capacity;
    result = RegQueryValueExW(key, name, nullptr, type, (BYTE*)data, size);
  }
  return result;
}

static LONG SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size,
                     bool clock = false) {
  LONG result = RegSetValueExW(key, name, 0, type, (const BYTE*)data, size);
  if (RenewIfDeleted(&key, result)) {
    result = RegSetValueExW(key, name, 0, type, (const BYTE*)data, size);
  }
  volatile LONG* counter = clock ? DeviceClockGeneration() : DeviceGeneration();
  if (counter) InterlockedIncrement(counter);
  return result;
}

// Opened on first use. Two threads racing here both map the same named
// counter, which is harmless. (A function-local static would pull the run
// time's thread-safe initialisation into both deliverables.)
static volatile LONG* generation;
static bool generationOpened;

volatile LONG* DeviceGeneration() {
  if (!generationOpened) {
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        2 * sizeof(LONG), L"Local\\CeStandIn.DeviceGeneration");
    void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 2 * sizeof(LONG))
                         : nullptr;
    generation = static_cast<volatile LONG*>(view);  // mapped for the life of the process
    generationOpened = true;
  }
  return generation;
}

volatile LONG* DeviceClockGeneration() {
  volatile LONG* generation = DeviceGeneration();
  return generation ? generation + 1 : nullptr;
}

void WriteClockDword(HKEY key, const wchar_t* name, DWORD value) {
  SetValue(key, name, REG_DWORD, &value, sizeof(value), true);
}

void WriteClockString(HKEY key, const wchar_t* name, const wchar_t* text) {
  SetValue(key, name, REG_SZ, text, (DWORD)((lstrlenW(text) + 1) * sizeof(wchar_t)), true);
}

void NoteDeviceChanged() {
  volatile LONG* generation = DeviceGeneration();
  if (generation) InterlockedIncrement(generation);
}

static bool ParseNumber(const wchar_t* text, ULONGLONG* value) {
  while (*text == L' ') {
    text++;
  }
  unsigned base = 10;
  if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    base = 16;
    text += 2;
  }
  ULONGLONG n = 0;
  int digits = 0;
  for (;; text++, digits++) {
    unsigned d;
    if (*text >= L'0' && *text <= L'9') {
      d = *text - L'0';
    } else if (base == 16 && *text >= L'a' && *text <= L'f') {
      d = *text - L'a' + 10;
    } else if (base == 16 && *text >= L'A' && *text <= L'F') {
      d = *text - L'A' + 10;
    } else {
      break;
    }
    if (n > (~0ULL - d) / base) {
      return false;  // more than 64 bits
    }
    n = n * base + d;
  }
  while (*text == L' ') {
    text++;
  }
  if (digits == 0 || *text != 0) {
    return false;
  }
  *value = n;
  return true;
}

// A stored value as read for a number: the result, its type and its data.
struct StoredNumber {
  LONG result;
  DWORD type;
  DWORD size;
  union {
    DWORD dword;
    ULONGLONG qword;
    wchar_t text[32];
  } data;
};

__attribute__((noinline)) static void ReadStored(HKEY key, const wchar_t* name, StoredNumber* n) {
  ZeroMemory(n, sizeof(*n));
  n->size = sizeof(n->data) - sizeof(wchar_t);
  n->result = QueryValue(key, name, &n->type, &n->data, &n->size);
}

__attribute__((noinline)) static bool NumberOf(const StoredNumber& n, ULONGLONG* value) {
  if (n.result != ERROR_SUCCESS) {
    return false;
  }
  if (n.type == REG_DWORD && n.size == sizeof(DWORD)) {
    *value = n.data.dword;
    return true;
  }
  if (n.type == REG_QWORD && n.size == sizeof(ULONGLONG)) {
    *value = n.data.qword;
    return true;
  }
  return n.type == REG_SZ && ParseNumber(n.data.text, value);
}

bool ReadDeviceNumber(HKEY key, const wchar_t* name, ULONGLONG* value) {
  StoredNumber n;
  ReadStored(key, name, &n);
  return NumberOf(n, value);
}

ULONGLONG ReadDeviceNumberOr(HKEY key, const wchar_t* name, ULONGLONG fallback) {
  ULONGLONG value;
  return ReadDeviceNumber(key, name, &value) ? value : fallback;
}

// Up to eight notes, on the heap (kept out of the deliverables' data).
static const int ignoredCapacity = 8;
static IgnoredDeviceValue* ignoredValues;
static int ignoredCount;

void NoteIgnoredDeviceValue(const wchar_t* name, const wchar_t* value) {
  if (!ignoredValues) {
    ignoredValues = (IgnoredDeviceValue*)HeapAlloc(GetProcessHeap(), 0,
                                                   ignoredCapacity * sizeof(IgnoredDeviceValue));
  }
  if (ignoredValues && ignoredCount < ignoredCapacity) {
    lstrcpynW(ignoredValues[ignoredCount].name, name, 48);
    lstrcpynW(ignoredValues[ignoredCount].value, value, 32);
    ignoredCount++;
  }
}

int IgnoredDeviceValues(IgnoredDeviceValue* values, int max) {
  int n = ignoredCount < max ? ignoredCount : max;
  if (n > 0) {
    CopyMemory(values, ignoredValues, n * sizeof(IgnoredDeviceValue));
  }
  return ignoredCount;
}

void ForgetIgnoredDeviceValues() {
  ignoredCount = 0;
}

ULONGLONG ReadDeviceNumberIn(HKEY key, const wchar_t* name, const wchar_t* shownName,
                             ULONGLONG low, ULONGLONG high, ULONGLONG fallback) {
  StoredNumber n;
  ReadStored(key, name, &n);
  ULONGLONG value;
  if (NumberOf(n, &value) && value >= low && value <= high) {
    return value;
  }
  if (n.result == ERROR_FILE_NOT_FOUND) {
    return fallback;  // absent: the default, quietly
  }
  wchar_t text[32];
  if (n.result == ERROR_MORE_DATA) {
    lstrcpyW(text, L"(too long)");
  } else if (n.type == REG_SZ) {
    lstrcpynW(text, n.data.text, 32);
  } else if (n.type == REG_QWORD || n.type == REG_DWORD) {
    wsprintfW(text, L"%I64u", n.type == REG_QWORD ? n.data.qword : (ULONGLONG)n.data.dword);
  } else {
    wsprintfW(text, L"(type %lu)", (unsigned long)n.type);
  }
  NoteIgnoredDeviceValue(shownName ? shownName : name, text);
  return fallback;
}

bool ReadDeviceString(HKEY key, const wchar_t* name, wchar_t* text, DWORD chars) {
  DWORD type = 0;
  DWORD size = (chars - 1) * sizeof(wchar_t);
  if (QueryValue(key, name, &type, text, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    text[0] = 0;
    return false;
  }
  text[size / sizeof(wchar_t)] = 0;
  return true;
}

void WriteDeviceDword(HKEY key, const wchar_t* name, DWORD value) {
  SetValue(key, name, REG_DWORD, &value, sizeof(value));
}

void WriteDeviceQword(HKEY key, const wchar_t* name, ULONGLONG value) {
  SetValue(key, name, REG_QWORD, &value, sizeof(value));
}

void WriteDeviceString(HKEY key, const wchar_t* name, const wchar_t* text) {
  SetValue(key, name, REG_SZ, text, (DWORD)((lstrlenW(text) + 1) * sizeof(wchar_t)));
}

void DeleteDeviceValue(HKEY key, const wchar_t* name) {
  LONG result = RegDeleteValueW(key, name);
  if (RenewIfDeleted(&key, result)) {
    RegDeleteValueW(key, name);
  }
  NoteDeviceChanged();
}

HKEY OpenDeviceSubkey(const wchar_t* path) {
  HKEY key = DeviceKey();
  HKEY sub = nullptr;
  LONG result = RegOpenKeyExW(key, path, 0, KEY_READ | KEY_WRITE, &sub);
  if (RenewIfDeleted(&key, result)) {
    result = RegOpenKeyExW(key, path, 0, KEY_READ | KEY_WRITE, &sub);
  }
  return result == ERROR_SUCCESS ? sub : nullptr;
}

bool WatchDeviceKey(HANDLE event) {
  const DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
  HKEY key = DeviceKey();
  // Thread-agnostic, so the watch outlives the thread that armed it.
  LONG result = RegNotifyChangeKeyValue(key, TRUE, filter | REG_NOTIFY_THREAD_AGNOSTIC, event, TRUE);
  if (result == ERROR_INVALID_PARAMETER) {
    result = RegNotifyChangeKeyValue(key, TRUE, filter, event, TRUE);
  }
  if (RenewIfDeleted(&key, result)) {
    result = RegNotifyChangeKeyValue(key, TRUE, filter, event, TRUE);
  }
  return result == ERROR_SUCCESS;
}

HKEY CreateDeviceSubkey(const wchar_t* path) {
  wchar_t full[80];
  if (lstrlenW(path) > 40) {
    return nullptr;
  }
  wsprintfW(full, SIM_DEVICE_KEY L"\\%s", path);
  HKEY key = nullptr;
  // By its full path, so that it is made even when the kept key was deleted.
  return RegCreateKeyExW(HKEY_CURRENT_USER, full, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                         &key, nullptr) == ERROR_SUCCESS
             ? key
             : nullptr;
}
