// The device key, and how the simulated device takes what a shell writes there.
//
// The device looks at the key when a process first maps the record, when the
// session's keep-alive process sees the key change (SimWatchShell), and when
// asked (SimReloadDevice). Each look takes a value only when it differs from
// what the key held at the previous look (one hash a value, kept in the
// record), so a look never undoes a write made through the device's control.
// A key without the value `Taken` (new, or deleted by a shell) puts the device
// back to its defaults first, then takes every value present.
#define CE_PLATFORM_IMPLEMENTATION
#include "DeviceRegistry.h"

#include "CeApi.h"
#include "SimulatedState.h"

static const ULONGLONG anyDword = 0xFFFFFFFF;
static const wchar_t takenValue[] = L"Taken";

// --- The key ------------------------------------------------------------------------

static HKEY OpenDeviceKey() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SIM_DEVICE_KEY, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

// Replaced only by InterlockedCompareExchangePointer, never closed.
static HKEY deviceKey;

HKEY DeviceKey() {
  HKEY key = (HKEY)InterlockedCompareExchangePointer((void* volatile*)&deviceKey, nullptr, nullptr);
  DWORD values;
  if (key && RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                              nullptr, nullptr, nullptr, nullptr) != ERROR_KEY_DELETED) {
    return key;
  }
  HKEY fresh = OpenDeviceKey();
  HKEY previous = (HKEY)InterlockedCompareExchangePointer((void* volatile*)&deviceKey, fresh, key);
  if (previous != key) {
    ScopedRegKey dropped(fresh);  // another thread's key won; ours was never shared
    return previous;
  }
  return fresh;
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

// A stored value as read: the result, its type, its data and a hash of all
// three (0 when absent).
struct Stored {
  LONG result;
  DWORD type;
  DWORD size;
  union {
    DWORD dword;
    ULONGLONG qword;
    wchar_t text[32];
  } data;
  DWORD hash;
};

static DWORD Fnv(DWORD h, const void* data, DWORD bytes) {
  for (DWORD i = 0; i < bytes; i++)
    h = (h ^ ((const BYTE*)data)[i]) * 16777619u;
  return h;
}

static void ReadStored(HKEY key, const wchar_t* name, Stored* s) {
  ZeroMemory(s, sizeof(*s));
  s->size = sizeof(s->data) - sizeof(wchar_t);
  s->result = key ? RegQueryValueExW(key, name, nullptr, &s->type, (BYTE*)&s->data, &s->size)
                  : ERROR_FILE_NOT_FOUND;
  if (s->result == ERROR_SUCCESS || s->result == ERROR_MORE_DATA) {
    DWORD h = Fnv(Fnv(2166136261u, &s->type, 4), &s->size, 4);
    s->hash = Fnv(h, &s->data, s->result == ERROR_SUCCESS ? s->size : 0) | 1;
  }
}

static bool NumberOf(const Stored& s, ULONGLONG* value) {
  if (s.result != ERROR_SUCCESS) {
    return false;
  }
  if (s.type == REG_DWORD && s.size == sizeof(DWORD)) {
    *value = s.data.dword;
    return true;
  }
  if (s.type == REG_QWORD && s.size == sizeof(ULONGLONG)) {
    *value = s.data.qword;
    return true;
  }
  return s.type == REG_SZ && ParseNumber(s.data.text, value);
}

ULONGLONG ReadDeviceNumberOr(HKEY key, const wchar_t* name, ULONGLONG fallback) {
  Stored s;
  ReadStored(key, name, &s);
  ULONGLONG value;
  return NumberOf(s, &value) ? value : fallback;
}

void WriteDeviceDword(HKEY key, const wchar_t* name, DWORD value) {
  RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof(value));
}

// --- A look at the key ----------------------------------------------------------------

// What the key holds, as the device would take it.
struct Look {
  SimDevice values;  // numbers, local time, cards, ignored values and hashes (seen)
  bool taken;
};

static SimIgnored* NoteIgnored(Look* look, const wchar_t* name) {
  SimDevice& v = look->values;
  if (v.ignoredCount >= maxIgnored)
    return nullptr;
  SimIgnored* note = &v.ignored[v.ignoredCount++];
  lstrcpynW(note->name, name, 48);
  return note;
}

static void NoteIgnored(Look* look, const wchar_t* name, const Stored& s) {
  SimIgnored* ignored = NoteIgnored(look, name);
  if (!ignored)
    return;
  SimIgnored& note = *ignored;
  if (s.result == ERROR_MORE_DATA) {
    lstrcpyW(note.value, L"(too long)");
  } else if (s.type == REG_SZ) {
    lstrcpynW(note.value, s.data.text, 32);
  } else if (s.type == REG_QWORD || s.type == REG_DWORD) {
    wsprintfW(note.value, L"%I64u", s.type == REG_QWORD ? s.data.qword : (ULONGLONG)s.data.dword);
  } else {
    wsprintfW(note.value, L"(type %lu)", (unsigned long)s.type);
  }
}

// A number up to `high`; absent, `fallback`; anything else reads as `fallback`
// too and is noted as ignored. Returns the value's hash.
static DWORD LookNumber(Look* look, HKEY key, const wchar_t* name, const wchar_t* shown,
                        ULONGLONG high, ULONGLONG fallback, ULONGLONG* value) {
  Stored s;
  ReadStored(key, name, &s);
  if (!NumberOf(s, value) || *value > high) {
    if (s.hash)
      NoteIgnored(look, shown ? shown : name, s);
    *value = fallback;
  }
  return s.hash;
}

static const wchar_t* const numberNames[numberCount] = {
    L"ACLineStatus", L"BatteryPercent", L"BatteryLifeTime", L"BatteryVoltage", L"PowerQueryBytes",
    L"StoreSize",    L"StoreFree",      L"StoreQueryFails", L"MemoryTotal",    L"MemoryAvail",
    L"ClockFrozen",  L"TickCount",      L"TickSetAt",       L"LocalTimeSetAt"};

static DWORD LookLocalTime(Look* look, HKEY key) {
  Stored s;
  ReadStored(key, L"LocalTime", &s);
  SYSTEMTIME t;
  bool sane = s.result == ERROR_SUCCESS && s.type == REG_SZ && ParseLocalTime(s.data.text, &t);
  look->values.localTime = sane ? SystemTimeToTicks(t) : 0;
  if (s.hash && !sane)
    NoteIgnored(look, L"LocalTime", s);
  return s.hash;
}

static bool CardNumber(const wchar_t* subkey, DWORD* number) {
  DWORD n = 0;
  if (!*subkey) {
    return false;
  }
  for (; *subkey; subkey++) {
    if (*subkey < L'0' || *subkey > L'9' || n > 100000000) {
      return false;
    }
    n = n * 10 + (*subkey - L'0');
  }
  *number = n;
  return n > 0;
}

static void LookCard(Look* look, HKEY key, DWORD number, DWORD* hash) {
  SimDevice& v = look->values;
  SimCard card = {};
  card.number = number;
  // The card's folder name: a string of up to MAX_PATH - 1 characters, else the default.
  DWORD type = 0, size = (MAX_PATH - 1) * sizeof(wchar_t);
  LONG named = RegQueryValueExW(key, L"Name", nullptr, &type, (BYTE*)card.name, &size);
  if (named != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
    size = 0;
  card.name[size / sizeof(wchar_t)] = 0;
  *hash = Fnv(Fnv(*hash, &number, 4), card.name, size) ^ (named == ERROR_SUCCESS ? 0 : 1);
  if (!card.name[0])
    lstrcpyW(card.name, defaultCardName);
  wchar_t shown[48];
  ULONGLONG fails;
  const wchar_t* names[3] = {L"TotalBytes", L"FreeBytes", L"QueryFails"};
  ULONGLONG* values[3] = {&card.totalBytes, &card.freeBytes, &fails};
  const ULONGLONG highs[3] = {largestBytes, largestBytes, anyDword};
  const ULONGLONG fallbacks[3] = {defaultCardTotal, defaultCardFree, 0};
  for (int i = 0; i < 3; i++) {
    wsprintfW(shown, L"Cards\\%u\\%s", number, names[i]);
    DWORD valueHash = LookNumber(look, key, names[i], shown, highs[i], fallbacks[i], values[i]);
    *hash = Fnv(*hash, &valueHash, 4);
  }
  card.queryFails = fails != 0;
  // In ascending number.
  int at = v.cardCount++;
  for (; at > 0 && v.cards[at - 1].number > number; at--) {
    v.cards[at] = v.cards[at - 1];
  }
  v.cards[at] = card;
}

static DWORD LookCards(Look* look, HKEY key) {
  ScopedRegKey cards;
  DWORD hash = 2166136261u;
  if (!key || RegOpenKeyExW(key, L"Cards", 0, KEY_READ, cards.Out()) != ERROR_SUCCESS) {
    return 0;
  }
  wchar_t subkey[32];
  for (DWORD i = 0; look->values.cardCount < maxCards; i++) {
    DWORD chars = 32;
    LONG result = RegEnumKeyExW(cards, i, subkey, &chars, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA)
      continue;
    if (result != ERROR_SUCCESS)
      break;
    DWORD number;
    ScopedRegKey card;
    if (CardNumber(subkey, &number) &&
        RegOpenKeyExW(cards, subkey, 0, KEY_READ, card.Out()) == ERROR_SUCCESS) {
      LookCard(look, card, number, &hash);
    }
  }
  return hash | 1;
}

static void LookAtKey(HKEY key, Look* look) {
  SimDevice& v = look->values;
  ZeroMemory(&v, sizeof(v));
  DefaultRecord(&v);
  look->taken =
      key && RegQueryValueExW(key, takenValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  for (int i = 0; i < numberCount; i++) {
    if (i == LocalTimeSetAt)
      v.seen[numberCount] = LookLocalTime(look, key);
    ULONGLONG high = i == BatteryPercent                    ? 255
                     : i == MemoryTotal || i == MemoryAvail ? largestBytes
                                                            : anyDword;
    v.seen[i] = LookNumber(look, key, numberNames[i], nullptr, high, v.numbers[i], &v.numbers[i]);
    if (i == AcLine && v.numbers[i] > AC_LINE_BACKUP_POWER && v.numbers[i] != AC_LINE_UNKNOWN) {
      SimIgnored* note = NoteIgnored(look, numberNames[i]);
      if (note)
        wsprintfW(note->value, L"%lu", (unsigned long)v.numbers[i]);
      v.numbers[i] = defaultAcLine;
    }
  }
  v.seen[numberCount + 1] = LookCards(look, key);
}

// --- Taking the look into the record ---------------------------------------------------

static void TakeLook(SimDevice* d, const Look& look, bool fresh) {
  const SimDevice& v = look.values;
  DWORD now = GetTickCount();
  if (fresh) {
    DefaultRecord(d);
    ZeroMemory(d->seen, sizeof(d->seen));
  }
  for (int i = 0; i < numberCount; i++) {
    if (v.seen[i] != d->seen[i])
      d->numbers[i] = v.numbers[i];
  }
  // A clock value taken runs from its stamp in the key, or without one from now.
  if (v.seen[TickCount] != d->seen[TickCount])
    d->numbers[TickSetAt] = v.seen[TickSetAt] ? v.numbers[TickSetAt] : now;
  if (v.seen[numberCount] != d->seen[numberCount]) {
    d->localTime = v.localTime;
    d->numbers[LocalTimeSetAt] = v.seen[LocalTimeSetAt] ? v.numbers[LocalTimeSetAt] : now;
  }
  if (v.seen[numberCount + 1] != d->seen[numberCount + 1]) {
    d->cardCount = v.cardCount;
    CopyMemory(d->cards, v.cards, v.cardCount * sizeof(SimCard));
  }
  CopyMemory(d->seen, v.seen, sizeof(d->seen));
  d->ignoredCount = v.ignoredCount;
  CopyMemory(d->ignored, v.ignored, sizeof(d->ignored));
  d->taken = 1;
}

void TakeShellValues(SimDevice* d, bool reset) {
  // One look at a time, across the session: an older look taken after a newer
  // one would undo it. A look reads the registry outside the record's lock.
  AutoCloseHandle looking(CreateMutexW(nullptr, FALSE, L"Local\\CeStandIn.DeviceLook"));
  if (looking.IsValid())
    WaitForSingleObject(looking, INFINITE);  // abandoned: ours now
  ScopedRegKey key(OpenDeviceKey());
  if (reset && key.IsValid())
    RegDeleteTreeW(key, nullptr);  // keeps the key itself
  AutoHeapFree<Look> look((Look*)HeapAlloc(GetProcessHeap(), 0, sizeof(Look)));
  if (look) {
    LookAtKey(key, look);
    if (!look.Get()->taken && key.IsValid())
      WriteDeviceDword(key, takenValue, 1);
    bool fresh = reset || !look.Get()->taken || !d->taken;
    TakeLook(LockDevice(d), *look, fresh);
    EndDeviceWrite(d);
  }
  if (looking.IsValid())
    ReleaseMutex(looking);
}
