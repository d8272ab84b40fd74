// The device key, and how the simulated device reads what a shell writes
// there. A look takes a value only when its hash differs from the previous
// look's, so it never undoes a write made through the device's control; a key
// without the value `Taken` (new, or deleted by a shell) is taken whole.
#define CE_PLATFORM_IMPLEMENTATION
#include "SimulatedState.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "CeApi.h"

HKEY OpenDeviceKey() {
  HKEY key = nullptr;
  LONG made = RegCreateKeyExW(HKEY_CURRENT_USER, SIM_DEVICE_KEY, 0, nullptr, 0,
                              KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
  return made == ERROR_SUCCESS ? key : nullptr;
}

bool InRange(SimRange range, ULONGLONG value) {
  SYSTEMTIME t;
  switch (range) {
    case LineStatus:
      return value <= AC_LINE_BACKUP_POWER || value == AC_LINE_UNKNOWN;
    case Percent:
      return value <= 255;
    case Bytes:
      return value <= largestBytes;
    case Date:
      TicksToSystemTime(value, &t);  // zero when it is no time at all
      return t.wYear >= firstYear && t.wYear <= lastYear;
    default:
      return value <= 0xFFFFFFFF;
  }
}

// A decimal or 0x-prefixed hexadecimal number of up to 64 bits, blanks around it allowed.
static bool ParseNumber(const wchar_t* text, ULONGLONG* value) {
  while (*text == L' ')
    text++;
  bool hex = text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
  text += hex ? 2 : 0;
  if (!(hex ? iswxdigit(*text) : iswdigit(*text)))
    return false;  // no sign, no second prefix
  wchar_t* end;
  errno = 0;
  *value = _wcstoui64(text, &end, hex ? 16 : 10);
  while (*end == L' ')
    end++;
  return errno != ERANGE && *end == 0;
}

// Wine's SystemTimeToFileTime takes a day past the month's end as the next
// month's: a time that does not come back the same is no time.
ULONGLONG SystemTimeToTicks(const SYSTEMTIME& time) {
  FILETIME ft;
  SYSTEMTIME back = {};
  if (time.wYear >= firstYear && time.wYear <= lastYear && SystemTimeToFileTime(&time, &ft))
    FileTimeToSystemTime(&ft, &back);
  back.wDayOfWeek = time.wDayOfWeek;
  if (memcmp(&back, &time, sizeof(back)) != 0)
    return 0;
  return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

void TicksToSystemTime(ULONGLONG ticks, SYSTEMTIME* time) {
  FILETIME ft = {(DWORD)ticks, (DWORD)(ticks >> 32)};
  if (!FileTimeToSystemTime(&ft, time))
    ZeroMemory(time, sizeof(*time));
}

ULONGLONG ParseLocalTime(const wchar_t* text) {
  static const wchar_t form[] = L"dddd-dd-dd dd:dd:dd.ddd";
  WORD f[7] = {};
  int field = 0;
  for (const wchar_t* p = form; *p && !(p - form == 19 && !*text); p++, text++) {
    if (*p == L'd' && *text >= L'0' && *text <= L'9')
      f[field] = (WORD)(f[field] * 10 + (*text - L'0'));
    else if (*p != L'd' && (*text == *p || (*p == L' ' && *text == L'T')))
      field++;
    else
      return 0;
  }
  SYSTEMTIME t = {f[0], f[1], 0, f[2], f[3], f[4], f[5], f[6]};
  return *text ? 0 : SystemTimeToTicks(t);
}

// A stored value as read: the result, its type, its data and a hash of all three (0 when absent).
struct Stored {
  LONG result;
  DWORD type;
  DWORD size;
  union {
    DWORD dword;
    ULONGLONG qword;
    wchar_t text[MAX_PATH];  // a card's name at most; always terminated
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

// A number of `range` as stored (a date as text); false for anything else.
static bool NumberOf(const Stored& s, SimRange range, ULONGLONG* value) {
  if (s.result != ERROR_SUCCESS)
    return false;
  if (range == Date)
    return s.type == REG_SZ && (*value = ParseLocalTime(s.data.text)) != 0;
  if (s.type == REG_DWORD && s.size == sizeof(DWORD))
    *value = s.data.dword;
  else if (s.type == REG_QWORD && s.size == sizeof(ULONGLONG))
    *value = s.data.qword;
  else if (s.type != REG_SZ || !ParseNumber(s.data.text, value))
    return false;
  return InRange(range, *value);
}

// Named as the key holds it: "BatteryPercent", or "Cards\2\TotalBytes" for a card's value.
static void NoteIgnored(SimDevice* v, DWORD card, const wchar_t* name, const Stored& s) {
  if (v->ignoredCount >= maxIgnored)
    return;
  SimIgnored& note = v->ignored[v->ignoredCount++];
  if (card)
    wsprintfW(note.name, L"Cards\\%u\\%s", card, name);
  else
    lstrcpynW(note.name, name, 48);
  if (s.result == ERROR_MORE_DATA)
    lstrcpyW(note.value, L"(too long)");
  else if (s.type == REG_SZ)
    lstrcpynW(note.value, s.data.text, 32);
  else if (s.type == REG_QWORD || s.type == REG_DWORD)
    wsprintfW(note.value, L"%I64u", s.type == REG_QWORD ? s.data.qword : (ULONGLONG)s.data.dword);
  else
    wsprintfW(note.value, L"(type %lu)", (unsigned long)s.type);
}

// A value of `range` (of that card, if not 0): when present and sane it
// replaces `*value`; anything else present is noted as ignored. Returns the value's hash.
static DWORD LookNumber(SimDevice* v, HKEY key, DWORD card, const wchar_t* name, SimRange range,
                        ULONGLONG* value) {
  Stored s;
  ReadStored(key, name, &s);
  ULONGLONG n;
  if (NumberOf(s, range, &n))
    *value = n;
  else if (s.hash)
    NoteIgnored(v, card, name, s);
  return s.hash;
}

// Cards\<number>, in ascending number: a folder name (a string, else the
// default) and its figures.
static void LookCard(SimDevice* v, HKEY key, DWORD number, DWORD* hash) {
  SimCard card = {number, FALSE, 64 << 20, 32 << 20, L"Storage Card"};
  Stored name;
  ReadStored(key, L"Name", &name);
  if (name.result == ERROR_SUCCESS && (name.type == REG_SZ || name.type == REG_EXPAND_SZ) &&
      name.data.text[0]) {
    lstrcpynW(card.name, name.data.text, MAX_PATH);
  }
  *hash = Fnv(Fnv(*hash, &number, 4), &name.hash, 4);
  ULONGLONG fails = 0;
  DWORD hashes[] = {LookNumber(v, key, number, L"TotalBytes", Bytes, &card.totalBytes),
                    LookNumber(v, key, number, L"FreeBytes", Bytes, &card.freeBytes),
                    LookNumber(v, key, number, L"QueryFails", Dword, &fails)};
  *hash = Fnv(*hash, hashes, sizeof(hashes));
  card.queryFails = fails != 0;
  int at = v->cardCount++;
  for (; at > 0 && v->cards[at - 1].number > number; at--)
    v->cards[at] = v->cards[at - 1];
  v->cards[at] = card;
}

static DWORD LookCards(SimDevice* v, HKEY key) {
  ScopedRegKey cards;
  DWORD hash = 2166136261u;
  if (!key || RegOpenKeyExW(key, L"Cards", 0, KEY_READ, cards.Out()) != ERROR_SUCCESS)
    return 0;
  wchar_t subkey[32];
  for (DWORD i = 0; v->cardCount < maxCards; i++) {
    DWORD chars = 32;
    LONG result = RegEnumKeyExW(cards, i, subkey, &chars, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA)
      continue;
    if (result != ERROR_SUCCESS)
      break;
    ULONGLONG number;
    ScopedRegKey card;
    if (!subkey[wcsspn(subkey, L"0123456789")] && ParseNumber(subkey, &number) && number &&
        number <= 0xFFFFFFFF &&
        RegOpenKeyExW(cards, subkey, 0, KEY_READ, card.Out()) == ERROR_SUCCESS) {
      LookCard(v, card, (DWORD)number, &hash);
    }
  }
  return hash | 1;
}

bool LookAtDeviceKey(bool reset, SimDevice* v) {
  ScopedRegKey key(OpenDeviceKey());
  if (reset && key.IsValid())
    RegDeleteTreeW(key, nullptr);  // keeps the key itself
  bool taken =
      key.IsValid() && RegQueryValueExW(key, L"Taken", nullptr, nullptr, nullptr, nullptr) == 0;
  for (int i = 0; i < numberCount; i++) {
    const SimValue& value = simValues[i];
    v->numbers[i] = value.fallback;
    v->seen[i] = LookNumber(v, key, 0, value.name, value.range, &v->numbers[i]);
  }
  v->cardsSeen = LookCards(v, key);
  DWORD one = 1;
  if (!taken && key.IsValid())
    RegSetValueExW(key, L"Taken", 0, REG_DWORD, (const BYTE*)&one, sizeof(one));
  return taken;
}
