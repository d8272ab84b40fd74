// The scenario reader: words per line, checked completely before any line runs.
#include "Scenario.h"

#include <stdio.h>

#include "CeTypes.h"

namespace {

struct Token {
  std::wstring text;
  bool quoted;
};

// What the reader knows about the device while checking, so that a line which
// could not run (removing a card that is not there) is refused up front.
struct CheckState {
  std::vector<std::wstring> cards;
  std::vector<std::wstring> pictures;
  bool suspended = false;
  bool stripSnapshotTaken = false;
};

std::wstring Format(const wchar_t* format, const std::wstring& a = L"",
                    const std::wstring& b = L"") {
  wchar_t buffer[512];
  _snwprintf(buffer, 511, format, a.c_str(), b.c_str());
  buffer[511] = 0;
  return buffer;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r'; }

// Splits one line into words and "quoted strings". A '#' that starts a word
// and is followed by a blank (or ends the line) starts a comment.
bool Tokenize(const std::wstring& line, std::vector<Token>* tokens, std::wstring* error) {
  size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == L'#' && (i + 1 == line.size() || IsBlank(line[i + 1]))) {
      break;
    }
    if (line[i] == L'"') {
      size_t end = line.find(L'"', i + 1);
      if (end == std::wstring::npos) {
        *error = L"a quoted text is not closed";
        return false;
      }
      tokens->push_back({line.substr(i + 1, end - i - 1), true});
      i = end + 1;
      if (i < line.size() && !IsBlank(line[i])) {
        *error = L"a blank must follow the closing quote";
        return false;
      }
      continue;
    }
    size_t end = i;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    tokens->push_back({line.substr(i, end - i), false});
    i = end;
  }
  return true;
}

bool ParseUnsigned(const std::wstring& word, ULONGLONG limit, ULONGLONG* value) {
  if (word.empty() || word.size() > 20) return false;
  ULONGLONG v = 0;
  for (wchar_t c : word) {
    if (c < L'0' || c > L'9') return false;
    ULONGLONG digit = c - L'0';
    if (v > (limit - digit) / 10) return false;
    v = v * 10 + digit;
  }
  *value = v;
  return true;
}

bool ParseInt(const std::wstring& word, long long low, long long high, long long* value) {
  bool negative = !word.empty() && word[0] == L'-';
  ULONGLONG magnitude;
  if (!ParseUnsigned(negative ? word.substr(1) : word, 1ULL << 62, &magnitude)) return false;
  long long v = negative ? -(long long)magnitude : (long long)magnitude;
  if (v < low || v > high) return false;
  *value = v;
  return true;
}

// "64MB", "1536KB", "2GB", "4096B", "512": binary units, whole numbers.
bool ParseSize(const std::wstring& word, ULONGLONG* bytes) {
  static const struct {
    const wchar_t* unit;
    ULONGLONG factor;
  } units[] = {{L"GB", 1ULL << 30}, {L"MB", 1ULL << 20}, {L"KB", 1ULL << 10}, {L"B", 1}};
  std::wstring number = word;
  ULONGLONG factor = 1;
  for (const auto& u : units) {
    size_t n = wcslen(u.unit);
    if (word.size() > n && _wcsicmp(word.c_str() + word.size() - n, u.unit) == 0) {
      number = word.substr(0, word.size() - n);
      factor = u.factor;
      break;
    }
  }
  ULONGLONG value;
  if (!ParseUnsigned(number, ~0ULL / factor, &value)) return false;
  *bytes = value * factor;
  return true;
}

// "name=value" splits; a bare word has an empty key.
bool SplitKey(const Token& token, std::wstring* key, std::wstring* value) {
  if (token.quoted) return false;
  size_t eq = token.text.find(L'=');
  if (eq == std::wstring::npos || eq == 0) return false;
  *key = token.text.substr(0, eq);
  *value = token.text.substr(eq + 1);
  return true;
}

// Picture names stay inside the output folder: no folders, no odd characters.
bool ValidPictureName(const std::wstring& name, const wchar_t* extension) {
  size_t n = wcslen(extension);
  if (name.size() <= n || _wcsicmp(name.c_str() + name.size() - n, extension) != 0) return false;
  if (name[0] == L'.') return false;
  for (wchar_t c : name) {
    bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
              c == L'-' || c == L'_' || c == L'.';
    if (!ok) return false;
  }
  return true;
}

bool HasName(const std::vector<std::wstring>& names, const std::wstring& name) {
  for (const auto& n : names) {
    if (_wcsicmp(n.c_str(), name.c_str()) == 0) return true;
  }
  return false;
}

void RemoveName(std::vector<std::wstring>* names, const std::wstring& name) {
  for (size_t i = 0; i < names->size(); ++i) {
    if (_wcsicmp((*names)[i].c_str(), name.c_str()) == 0) {
      names->erase(names->begin() + i);
      return;
    }
  }
}

bool DaysInMonthOk(int year, int month, int day) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  int limit = days[month - 1];
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) limit = 29;
  return day <= limit;
}

// "2026-12-06" and "09:41" or "09:41:20".
bool ParseDateTime(const std::wstring& date, const std::wstring& clock, SYSTEMTIME* time) {
  int year, month, day, hour, minute, second = 0;
  wchar_t tail;
  if (swscanf(date.c_str(), L"%4d-%2d-%2d%lc", &year, &month, &day, &tail) != 3) return false;
  int fields = swscanf(clock.c_str(), L"%2d:%2d:%2d%lc", &hour, &minute, &second, &tail);
  if (fields != 2 && fields != 3) return false;
  if (year < 1601 || year > 9999 || !DaysInMonthOk(year, month, day)) return false;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return false;
  }
  SYSTEMTIME t = {};
  t.wYear = (WORD)year;
  t.wMonth = (WORD)month;
  t.wDay = (WORD)day;
  t.wHour = (WORD)hour;
  t.wMinute = (WORD)minute;
  t.wSecond = (WORD)second;
  // A round trip through FILETIME fills in the day of the week.
  FILETIME ft;
  if (!SystemTimeToFileTime(&t, &ft) || !FileTimeToSystemTime(&ft, time)) return false;
  return true;
}

class LineParser {
public:
  LineParser(const std::vector<Token>& tokens, CheckState* state, Command* command)
      : t(tokens), state(state), c(command) {}

  bool Parse(std::wstring* error);

private:
  const std::vector<Token>& t;
  CheckState* state;
  Command* c;
  std::wstring* err = nullptr;

  bool Fail(const std::wstring& message) {
    *err = message;
    return false;
  }
  bool Count(size_t low, size_t high) {
    if (t.size() - 1 < low || t.size() - 1 > high) {
      if (low == high && low == 0) return Fail(t[0].text + L" takes no arguments");
      return Fail(Format(L"wrong number of arguments to %ls", t[0].text));
    }
    return true;
  }
  bool Word(size_t i, const wchar_t* expected) {
    return i < t.size() && !t[i].quoted && t[i].text == expected;
  }
  bool Number(size_t i, long long low, long long high, const wchar_t* what, long long* v) {
    if (!ParseInt(t[i].text, low, high, v)) {
      wchar_t range[64];
      _snwprintf(range, 63, L"%lld to %lld", low, high);
      range[63] = 0;
      return Fail(Format(L"%ls must be a whole number from %ls", what, range) + L", not '" +
                  t[i].text + L"'");
    }
    return true;
  }
  bool Duration(const std::wstring& word, long long* ms) {
    if (!ParseDuration(word, ms)) {
      return Fail(L"'" + word + L"' is not a duration (examples: 250ms, 2s, 5m, 1h30m)");
    }
    return true;
  }
  bool Size(const std::wstring& key, const std::wstring& word, ULONGLONG* bytes) {
    if (!ParseSize(word, bytes)) {
      return Fail(key + L"='" + word + L"' is not a size (examples: 4096B, 512KB, 64MB, 2GB)");
    }
    return true;
  }
  bool TotalFree(size_t first);
  bool OnOff(size_t i, bool* on) {
    if (Word(i, L"on")) *on = true;
    else if (Word(i, L"off")) *on = false;
    else return Fail(L"expected on or off, not '" + t[i].text + L"'");
    return true;
  }
  bool Title(size_t i) {
    if (t[i].text.empty()) return Fail(L"a window title must not be empty");
    c->text = t[i].text;
    return true;
  }
  bool ParseBattery();
  bool ParseCard();
  bool ParsePicture(bool animation);
  bool ParseOptions();
  bool ParseExpect();
};

bool LineParser::TotalFree(size_t first) {
  bool haveTotal = false, haveFree = false;
  for (size_t i = first; i < t.size(); ++i) {
    std::wstring key, value;
    if (!SplitKey(t[i], &key, &value)) return Fail(L"expected total=SIZE or free=SIZE, not '" +
                                                   t[i].text + L"'");
    if (key == L"total") {
      if (!Size(key, value, &c->size1)) return false;
      haveTotal = true;
    } else if (key == L"free") {
      if (!Size(key, value, &c->size2)) return false;
      haveFree = true;
    } else {
      return Fail(L"unknown setting '" + key + L"' (total, free)");
    }
  }
  if (!haveTotal || !haveFree) return Fail(L"both total=SIZE and free=SIZE are needed");
  if (c->size2 > c->size1) return Fail(L"free is larger than total");
  return true;
}

bool LineParser::ParseBattery() {
  BatteryChange& b = c->battery;
  if (t.size() == 1) return Fail(L"battery needs at least one of ac=, percent=, remaining=, voltage=");
  for (size_t i = 1; i < t.size(); ++i) {
    std::wstring key, value;
    if (!SplitKey(t[i], &key, &value)) return Fail(L"expected NAME=VALUE, not '" + t[i].text + L"'");
    if (key == L"ac") {
      b.setAc = true;
      if (value == L"off") b.ac = AC_LINE_OFFLINE;
      else if (value == L"on") b.ac = AC_LINE_ONLINE;
      else if (value == L"backup") b.ac = AC_LINE_BACKUP_POWER;
      else if (value == L"unknown") b.ac = AC_LINE_UNKNOWN;
      else return Fail(L"ac must be on, off, backup or unknown, not '" + value + L"'");
    } else if (key == L"percent") {
      b.setPercent = true;
      long long v;
      if (value == L"unknown") b.percent = BATTERY_PERCENTAGE_UNKNOWN;
      else if (ParseInt(value, 0, 255, &v)) b.percent = (BYTE)v;
      else return Fail(L"percent must be 0 to 255 or unknown, not '" + value + L"'");
    } else if (key == L"remaining") {
      b.setRemaining = true;
      long long ms;
      if (value == L"unknown") {
        b.remainingSeconds = BATTERY_LIFE_UNKNOWN;
      } else {
        if (!Duration(value, &ms)) return false;
        if (ms % 1000 != 0 || ms / 1000 >= BATTERY_LIFE_UNKNOWN) {
          return Fail(L"remaining must be whole seconds below 2^32 - 1");
        }
        b.remainingSeconds = (DWORD)(ms / 1000);
      }
    } else if (key == L"voltage") {
      b.setVoltage = true;
      long long v;
      if (!ParseInt(value, 0, 0xFFFFFFFFLL, &v)) {
        return Fail(L"voltage must be millivolts, not '" + value + L"'");
      }
      b.voltage = (DWORD)v;
    } else {
      return Fail(L"unknown battery setting '" + key + L"' (ac, percent, remaining, voltage)");
    }
  }
  return true;
}

bool LineParser::ParseCard() {
  if (t.size() < 3 || t[1].quoted) return Fail(L"expected card add|remove|fault NAME ...");
  const std::wstring& name = t[2].text;
  if (name.empty() || name.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) {
    return Fail(L"'" + name + L"' is not a storage card folder name");
  }
  c->text = name;
  if (t[1].text == L"add") {
    c->op = Op::CardAdd;
    if (!TotalFree(3)) return false;
    if (!HasName(state->cards, name)) state->cards.push_back(name);
    return true;
  }
  if (t[1].text == L"remove") {
    c->op = Op::CardRemove;
    if (!Count(2, 2)) return false;
    if (!HasName(state->cards, name)) return Fail(L"no card named '" + name + L"' is inserted");
    RemoveName(&state->cards, name);
    return true;
  }
  if (t[1].text == L"fault") {
    c->op = Op::CardFault;
    if (!Count(3, 3) || !OnOff(3, &c->flag)) return false;
    if (!HasName(state->cards, name)) return Fail(L"no card named '" + name + L"' is inserted");
    return true;
  }
  return Fail(L"expected card add, card remove or card fault, not card " + t[1].text);
}

bool LineParser::ParsePicture(bool animation) {
  if (t.size() < 2) return Fail(t[0].text + L" needs a file name");
  c->text = t[1].text;
  if (!ValidPictureName(c->text, animation ? L".gif" : L".png")) {
    return Fail(L"'" + c->text + L"' is not a plain " + (animation ? L"*.gif" : L"*.png") +
                L" file name (letters, digits, '-', '_', '.')");
  }
  if (HasName(state->pictures, c->text)) return Fail(L"'" + c->text + L"' is written twice");
  c->number = 1000;
  for (size_t i = 2; i < t.size(); ++i) {
    std::wstring key, value;
    if (!animation && Word(i, L"window")) {
      c->flag = true;
      continue;
    }
    if (!animation && Word(i, L"of") && i + 1 < t.size()) {
      c->flag = true;
      c->title = t[++i].text;
      if (c->title.empty()) return Fail(L"a window title must not be empty");
      continue;
    }
    if (!SplitKey(t[i], &key, &value)) return Fail(L"unexpected '" + t[i].text + L"'");
    if (key == L"scale") {
      long long v;
      if (!ParseInt(value, 1, 16, &v)) return Fail(L"scale must be a whole number from 1 to 16");
      c->scale = (int)v;
    } else if (animation && key == L"delay") {
      if (!Duration(value, &c->number)) return false;
      if (c->number < 10 || c->number > 655350) return Fail(L"delay must be 10ms to 655s");
    } else {
      return Fail(L"unknown setting '" + key + L"'");
    }
  }
  if (!animation && !c->flag) state->stripSnapshotTaken = true;
  if (animation && !state->stripSnapshotTaken) {
    return Fail(L"an animation needs a strip snapshot before it");
  }
  state->pictures.push_back(c->text);
  return true;
}

bool LineParser::ParseOptions() {
  if (t.size() < 2) return Fail(L"options needs the buttons to press, for example: options ok");
  for (size_t i = 1; i < t.size(); ++i) {
    if (Word(i, L"ok")) c->presses.push_back(IDOK);
    else if (Word(i, L"cancel")) c->presses.push_back(IDCANCEL);
    else return Fail(L"options presses ok or cancel, not '" + t[i].text + L"'");
  }
  return true;
}

bool LineParser::ParseExpect() {
  if (t.size() < 2) return Fail(L"expect needs what to check");
  const std::wstring& what = t[1].text;
  long long v;
  if (what == L"paints" || what == L"true-answers" || what == L"height" ||
      what == L"wakeup-started") {
    if (!Count(2, 2) || !Number(2, 0, 1000000, what.c_str(), &v)) return false;
    c->number = v;
    c->op = what == L"paints"         ? Op::ExpectPaints
            : what == L"true-answers" ? Op::ExpectTrueAnswers
            : what == L"height"       ? Op::ExpectHeight
                                      : Op::ExpectWakeupStarted;
    return true;
  }
  if (what == L"window" || what == L"no-window") {
    c->op = Op::ExpectWindow;
    if (!Count(2, 3) || !Title(2)) return false;
    c->number = what == L"window" ? -1 : 0;
    if (t.size() == 4) {
      if (what != L"window") return Fail(L"expect no-window takes only a title");
      if (!Number(3, 0, 100, L"the window count", &c->number)) return false;
    }
    return true;
  }
  if (what == L"foreground") {
    c->op = Op::ExpectForeground;
    if (!Count(2, 2)) return false;
    if (Word(2, L"today")) return true;
    return Title(2);
  }
  if (what == L"registered") {
    c->op = Op::ExpectRegistered;
    if (!Count(2, 2)) return false;
    c->text = t[2].text;
    return true;
  }
  return Fail(L"unknown expectation '" + what +
              L"' (paints, true-answers, height, window, no-window, foreground, "
              L"wakeup-started, registered)");
}

bool LineParser::Parse(std::wstring* error) {
  err = error;
  const std::wstring& name = t[0].text;
  if (t[0].quoted) return Fail(L"a line must start with a command, not a quoted text");
  long long v;
  if (name == L"battery") {
    c->op = Op::Battery;
    return ParseBattery();
  }
  if (name == L"battery-fault") {
    c->op = Op::BatteryFault;
    if (Word(1, L"none") && t.size() == 2) {
      c->number = sizeof(SYSTEM_POWER_STATUS_EX2);
      return true;
    }
    if (!Word(1, L"short") || t.size() != 3) {
      return Fail(L"expected battery-fault short BYTES or battery-fault none");
    }
    return Number(2, 0, sizeof(SYSTEM_POWER_STATUS_EX2) - 1, L"the bytes filled", &c->number);
  }
  if (name == L"card") return ParseCard();
  if (name == L"store") {
    if (Word(1, L"fault")) {
      c->op = Op::StoreFault;
      return Count(2, 2) && OnOff(2, &c->flag);
    }
    c->op = Op::Store;
    if (!TotalFree(1)) return false;
    if (c->size1 > 0xFFFFFFFFULL) return Fail(L"the object store holds at most 4 GB - 1 byte");
    return true;
  }
  if (name == L"memory") {
    c->op = Op::Memory;
    return TotalFree(1);
  }
  if (name == L"time") {
    c->op = Op::Time;
    if (!Count(2, 2)) return false;
    if (!ParseDateTime(t[1].text, t[2].text, &c->time)) {
      return Fail(L"expected a date and time such as 2026-12-06 09:41:20, not '" + t[1].text +
                  L" " + t[2].text + L"'");
    }
    return true;
  }
  if (name == L"tick") {
    c->op = Op::Tick;
    return Count(1, 1) && Number(1, 0, 0xFFFFFFFFLL, L"the tick count", &c->number);
  }
  if (name == L"wait" || name == L"interval") {
    c->op = name == L"wait" ? Op::Wait : Op::Interval;
    if (!Count(1, 1) || !Duration(t[1].text, &c->number)) return false;
    if (c->op == Op::Interval && c->number < 1) return Fail(L"the interval must be at least 1ms");
    return true;
  }
  if (name == L"refresh") {
    c->op = Op::Refresh;
    return Count(0, 0);
  }
  if (name == L"tap") {
    c->op = Op::Tap;
    if (!Count(2, 2) || !Number(1, 0, 239, L"x", &v)) return false;
    c->x = (int)v;
    if (!Number(2, 0, 41, L"y", &v)) return false;
    c->y = (int)v;
    return true;
  }
  if (name == L"suspend") {
    c->op = Op::Suspend;
    if (!Count(0, 0)) return false;
    if (state->suspended) return Fail(L"the device is already suspended");
    state->suspended = true;
    return true;
  }
  if (name == L"resume") {
    c->op = Op::Resume;
    if (!Count(0, 0)) return false;
    if (!state->suspended) return Fail(L"resume needs a suspend before it");
    state->suspended = false;
    return true;
  }
  if (name == L"text-color") {
    c->op = Op::TextColor;
    if (!Count(1, 1)) return false;
    if (!ParseColor(t[1].text, &c->color)) {
      return Fail(L"expected a colour as #RRGGBB, not '" + t[1].text + L"'");
    }
    return true;
  }
  if (name == L"snapshot") {
    c->op = Op::Snapshot;
    return ParsePicture(false);
  }
  if (name == L"animation") {
    c->op = Op::Animation;
    return ParsePicture(true);
  }
  if (name == L"options") {
    c->op = Op::Options;
    return ParseOptions();
  }
  if (name == L"close") {
    c->op = Op::Close;
    return Count(1, 1) && Title(1);
  }
  if (name == L"foreground") {
    c->op = Op::Foreground;
    if (!Count(1, 1)) return false;
    if (Word(1, L"today")) return true;
    return Title(1);
  }
  if (name == L"reset-paints") {
    c->op = Op::ResetPaints;
    return Count(0, 0);
  }
  if (name == L"expect") return ParseExpect();
  return Fail(L"unknown command '" + name + L"'");
}

}  // namespace

bool ParseDuration(const std::wstring& word, long long* milliseconds) {
  // One or more NUMBER UNIT pairs, units in falling order: h, m, s, ms.
  static const struct {
    const wchar_t* unit;
    long long factor;
  } units[] = {{L"h", 3600000}, {L"m", 60000}, {L"s", 1000}, {L"ms", 1}};
  size_t i = 0;
  int lastUnit = -1;
  long long total = 0;
  if (word.empty()) return false;
  while (i < word.size()) {
    size_t start = i;
    while (i < word.size() && word[i] >= L'0' && word[i] <= L'9') ++i;
    if (i == start || i - start > 9) return false;
    long long value = _wtoi64(word.substr(start, i - start).c_str());
    size_t unitStart = i;
    while (i < word.size() && (word[i] < L'0' || word[i] > L'9')) ++i;
    std::wstring unit = word.substr(unitStart, i - unitStart);
    int found = -1;
    for (int u = 0; u < 4; ++u) {
      if (unit == units[u].unit) found = u;
    }
    if (found <= lastUnit) return false;
    lastUnit = found;
    total += value * units[found].factor;
    if (total > 10LL * 24 * 3600000 * 365) return false;
  }
  *milliseconds = total;
  return true;
}

bool ParseColor(const std::wstring& word, COLORREF* color) {
  if (word.size() != 7 || word[0] != L'#') return false;
  unsigned value = 0;
  for (size_t i = 1; i < 7; ++i) {
    wchar_t ch = word[i];
    unsigned digit;
    if (ch >= L'0' && ch <= L'9') digit = ch - L'0';
    else if (ch >= L'a' && ch <= L'f') digit = ch - L'a' + 10;
    else if (ch >= L'A' && ch <= L'F') digit = ch - L'A' + 10;
    else return false;
    value = value * 16 + digit;
  }
  *color = RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
  return true;
}

bool ParseScenario(const std::wstring& text, Scenario* scenario, std::wstring* error) {
  Scenario result;
  CheckState state;
  size_t start = 0;
  int lineNumber = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;

    std::vector<Token> tokens;
    std::wstring message;
    bool ok = Tokenize(line, &tokens, &message);
    if (ok && tokens.empty()) continue;
    Command command;
    command.line = lineNumber;
    if (ok) ok = LineParser(tokens, &state, &command).Parse(&message);
    if (!ok) {
      wchar_t prefix[32];
      _snwprintf(prefix, 31, L"line %d: ", lineNumber);
      prefix[31] = 0;
      *error = prefix + message;
      scenario->commands.clear();
      return false;
    }
    result.commands.push_back(command);
  }
  *scenario = result;
  return true;
}

bool LoadScenarioFile(const wchar_t* path, Scenario* scenario, std::wstring* error) {
  scenario->commands.clear();
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = std::wstring(path) + L": cannot open the scenario";
    return false;
  }
  std::string bytes;
  char buffer[4096];
  DWORD got;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
    if (bytes.size() > (4u << 20)) break;
  }
  CloseHandle(file);
  if (bytes.size() > (4u << 20)) {
    *error = std::wstring(path) + L": the scenario is larger than 4 MB";
    return false;
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(),
                              nullptr, 0);
  if (n == 0 && !bytes.empty()) {
    *error = std::wstring(path) + L": the scenario is not UTF-8 text";
    return false;
  }
  std::wstring text(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &text[0], n);
  if (!ParseScenario(text, scenario, error)) {
    *error = std::wstring(path) + L": " + *error;
    return false;
  }
  return true;
}
