// The words of the host's language.
#include "Words.h"

#include <stdio.h>

#include "DeviceFiles.h"

namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

bool IsDigit(wchar_t c) {
  return c >= L'0' && c <= L'9';
}

// The units of a duration, largest first.
const struct {
  const wchar_t* unit;
  long long factor;
} units[] = {{L"h", 3600000}, {L"m", 60000}, {L"s", 1000}, {L"ms", 1}};

bool DaysInMonthOk(int year, int month, int day) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1)
    return false;
  int limit = days[month - 1];
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0))
    limit = 29;
  return day <= limit;
}

// Exactly `count` digits from `at`.
bool Digits(const std::wstring& text, size_t at, size_t count, int* value) {
  if (at + count > text.size())
    return false;
  int v = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i]))
      return false;
    v = v * 10 + (text[i] - L'0');
  }
  *value = v;
  return true;
}

}  // namespace

bool Tokenize(const std::wstring& text, std::vector<Token>* tokens, std::wstring* error) {
  // A line may end in CR (CR LF files); a CR elsewhere is a control character.
  size_t size = text.size();
  while (size > 0 && text[size - 1] == L'\r')
    --size;
  const std::wstring line = text.substr(0, size);
  size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == L'#' && (i + 1 == line.size() || IsBlank(line[i + 1])))
      break;
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
    while (end < line.size() && !IsBlank(line[end]))
      ++end;
    tokens->push_back({line.substr(i, end - i), false});
    i = end;
  }
  return true;
}

std::wstring Escaped(const std::wstring& text) {
  std::wstring shown;
  for (wchar_t c : text) {
    if (c >= 32 && (c < 127 || c > 159)) {  // C0, DEL and C1 are written as codes
      shown += c;
      continue;
    }
    wchar_t code[8];
    _snwprintf(code, 8, L"\\x%02X", (unsigned)c);
    shown += code;
  }
  return shown;
}

std::wstring Sentence(const wchar_t* format, long long a, long long b) {
  wchar_t buffer[256];
  _snwprintf(buffer, 255, format, a, b);
  buffer[255] = 0;
  return buffer;
}

void Print(FILE* stream, const std::wstring& message) {
  std::wstring text;
  for (size_t line = 0; line <= message.size();) {
    size_t end = message.find(L'\n', line);
    if (end == std::wstring::npos)
      end = message.size();
    text += Escaped(message.substr(line, end - line)) + (end < message.size() ? L"\n" : L"");
    line = end + 1;
  }
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(n > 0 ? n - 1 : 0, '\0');
  if (n > 1)
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], n, nullptr, nullptr);
  fputs(utf8.c_str(), stream);
  fputc('\n', stream);
  fflush(stream);
}

std::wstring Quote(const std::wstring& word) {
  const size_t shown = 40;
  if (word.size() <= shown)
    return L"'" + Escaped(word) + L"'";
  bool pair = IS_HIGH_SURROGATE(word[shown - 1]);  // cut before a pair, not inside it
  return L"'" + Escaped(word.substr(0, shown - pair)) + L"...' (" + std::to_wstring(word.size()) +
         L" characters)";
}

bool ParseUnsigned(const std::wstring& word, ULONGLONG limit, ULONGLONG* value) {
  if (word.empty())
    return false;
  ULONGLONG v = 0;
  for (wchar_t c : word) {
    if (!IsDigit(c))
      return false;
    ULONGLONG digit = c - L'0';
    if (v > (limit - digit) / 10)
      return false;
    v = v * 10 + digit;
  }
  *value = v;
  return true;
}

bool ParseInt(const std::wstring& word, long long low, long long high, long long* value) {
  bool negative = low < 0 && !word.empty() && word[0] == L'-';  // only where a sign means something
  ULONGLONG magnitude;
  if (!ParseUnsigned(negative ? word.substr(1) : word, 1ULL << 62, &magnitude))
    return false;
  long long v = negative ? -(long long)magnitude : (long long)magnitude;
  if (v < low || v > high)
    return false;
  *value = v;
  return true;
}

bool ParseSize(const std::wstring& word, ULONGLONG* bytes) {
  static const struct {
    const wchar_t* unit;
    ULONGLONG factor;
  } sizes[] = {{L"GB", 1ULL << 30}, {L"MB", 1ULL << 20}, {L"KB", 1ULL << 10}, {L"B", 1}};
  size_t digits = 0;
  while (digits < word.size() && IsDigit(word[digits]))
    ++digits;
  std::wstring unit = word.substr(digits);
  ULONGLONG factor = 0;
  for (const auto& u : sizes) {
    if (unit == u.unit)
      factor = u.factor;
  }
  ULONGLONG value;
  if (factor == 0 || !ParseUnsigned(word.substr(0, digits), ~0ULL / factor, &value))
    return false;
  *bytes = value * factor;
  return true;
}

bool ParseDuration(const std::wstring& word, long long* milliseconds) {
  size_t i = 0;
  int lastUnit = -1;
  long long total = 0;
  if (word.empty())
    return false;
  while (i < word.size()) {
    size_t start = i;
    while (i < word.size() && IsDigit(word[i]))
      ++i;
    ULONGLONG value;
    if (!ParseUnsigned(word.substr(start, i - start), (ULONGLONG)maxDurationMs, &value)) {
      return false;
    }
    size_t unitStart = i;
    while (i < word.size() && !IsDigit(word[i]))
      ++i;
    std::wstring unit = word.substr(unitStart, i - unitStart);
    int found = -1;
    for (int u = 0; u < 4; ++u) {
      if (unit == units[u].unit)
        found = u;
    }
    if (found <= lastUnit)
      return false;
    lastUnit = found;
    if ((long long)value > (maxDurationMs - total) / units[found].factor)
      return false;
    total += (long long)value * units[found].factor;
  }
  *milliseconds = total;
  return true;
}

bool ParseDurationIn(const std::wstring& word, long long lowMs, long long highMs,
                     const wchar_t* what, long long* milliseconds, std::wstring* error) {
  std::wstring range = L"from " + DurationText(lowMs) + L" to " + DurationText(highMs);
  if (!ParseDuration(word, milliseconds)) {
    *error = std::wstring(what) + L" takes a duration " + range + L" (such as 250ms, 2s, 5m, " +
             L"1h30m), not " + Quote(word);
    return false;
  }
  if (*milliseconds < lowMs || *milliseconds > highMs) {
    *error = std::wstring(what) + L" must be " + range + L", not " + Quote(word);
    return false;
  }
  return true;
}

std::wstring DurationText(long long ms) {
  if (ms == 0)
    return L"0s";
  std::wstring text;
  for (const auto& u : units) {
    if (ms >= u.factor) {
      text += std::to_wstring(ms / u.factor) + u.unit;
      ms %= u.factor;
    }
  }
  return text;
}

bool ParseColor(const std::wstring& word, COLORREF* color) {
  if (word.size() != 7 || word[0] != L'#' ||
      word.find_first_not_of(L"0123456789abcdefABCDEF", 1) != std::wstring::npos) {
    return false;
  }
  unsigned long value = wcstoul(word.c_str() + 1, nullptr, 16);
  *color = RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
  return true;
}

bool ParseDateTime(const std::wstring& date, const std::wstring& clock, SYSTEMTIME* time) {
  int year, month, day, hour, minute, second = 0;
  if (date.size() != 10 || date[4] != L'-' || date[7] != L'-' || !Digits(date, 0, 4, &year) ||
      !Digits(date, 5, 2, &month) || !Digits(date, 8, 2, &day)) {
    return false;
  }
  if ((clock.size() != 5 && clock.size() != 8) || clock[2] != L':' || !Digits(clock, 0, 2, &hour) ||
      !Digits(clock, 3, 2, &minute) ||
      (clock.size() == 8 && (clock[5] != L':' || !Digits(clock, 6, 2, &second)))) {
    return false;
  }
  if (year < firstDeviceYear || year > lastDeviceYear || !DaysInMonthOk(year, month, day) ||
      hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  SYSTEMTIME t = {(WORD)year, (WORD)month, 0, (WORD)day, (WORD)hour, (WORD)minute, (WORD)second, 0};
  // A round trip through FILETIME fills in the day of the week.
  FILETIME ft;
  return SystemTimeToFileTime(&t, &ft) && FileTimeToSystemTime(&ft, time);
}

bool IsPlainFileName(const std::wstring& name) {
  return IsPlainFileName(name.c_str(), name.size());
}

bool IsPlainFileNameWith(const std::wstring& name, const wchar_t* extension) {
  size_t n = wcslen(extension);
  return name.size() > n && _wcsicmp(name.c_str() + name.size() - n, extension) == 0 &&
         IsPlainFileName(name);
}
