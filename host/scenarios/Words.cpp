// The words of the host's language.
#include "Words.h"

#include "DeviceFiles.h"

namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

// Units, largest first.
struct Unit {
  const wchar_t* name;
  long long factor;
};
const Unit durationUnits[] = {{L"h", 3600000}, {L"m", 60000}, {L"s", 1000}, {L"ms", 1}};
const Unit sizeUnits[] = {{L"GB", 1LL << 30}, {L"MB", 1LL << 20}, {L"KB", 1LL << 10}, {L"B", 1}};
const long long maxDurationMs = 0xFFFFFFFFLL * 1000;

// Up to `pairs` NUMBER UNIT pairs, units in falling order, in all at most `max`.
bool Measure(const std::wstring& word, const Unit (&units)[4], int pairs, long long max,
             long long* total) {
  *total = 0;
  int last = -1;
  for (size_t at = 0, end; at < word.size(); at = end, --pairs) {
    size_t digits = std::min(word.find_first_not_of(L"0123456789", at), word.size());
    end = std::min(word.find_first_of(L"0123456789", digits), word.size());
    int unit = 3;
    while (unit >= 0 && word.compare(digits, end - digits, units[unit].name) != 0)
      --unit;
    long long value, high = unit < 0 ? 0 : (max - *total) / units[unit].factor;
    if (pairs == 0 || unit <= last || !ParseNumber(word.substr(at, digits - at), 0, high, &value))
      return false;
    *total += value * units[unit].factor;
    last = unit;
  }
  return !word.empty();
}

// Control characters as codes, \x00-\x1F and \x7F-\x9F; line ends too, unless kept.
std::wstring Escaped(const std::wstring& text, bool keepLineEnds = false) {
  std::wstring shown;
  for (wchar_t c : text) {
    if ((c >= 32 && (c < 127 || c > 159)) || (c == L'\n' && keepLineEnds)) {
      shown += c;
      continue;
    }
    wchar_t code[8];
    _snwprintf(code, 8, L"\\x%02X", (unsigned)c);
    shown += code;
  }
  return shown;
}

}  // namespace

bool Tokenize(const std::wstring& text, std::vector<Token>* tokens, std::wstring* error) {
  // A line may end in CR (CR LF files); a CR elsewhere is a control character.
  const std::wstring line = text.substr(0, text.find_last_not_of(L'\r') + 1);
  for (size_t i = line.find_first_not_of(L" \t"); i < line.size();
       i = line.find_first_not_of(L" \t", i)) {
    if (line[i] == L'#' && (i + 1 == line.size() || IsBlank(line[i + 1])))
      break;
    bool quoted = line[i] == L'"';
    size_t end = line.find_first_of(quoted ? L"\"" : L" \t", i + quoted);
    if (quoted && end == std::wstring::npos) {
      *error = L"a quoted text is not closed";
      return false;
    }
    end = std::min(end, line.size());
    tokens->push_back({line.substr(i + quoted, end - i - quoted), quoted});
    i = end + quoted;
    if (quoted && i < line.size() && !IsBlank(line[i])) {
      *error = L"a blank must follow the closing quote";
      return false;
    }
  }
  return true;
}

std::wstring Sentence(const wchar_t* format, long long a, long long b) {
  wchar_t buffer[256] = L"";  // the last one stays 0
  _snwprintf(buffer, 255, format, a, b);
  return buffer;
}

void Print(FILE* stream, const std::wstring& message) {
  std::wstring text = Escaped(message, true) + L"\n";
  std::string utf8(text.size() * 3, '\0');
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &utf8[0],
                                  (int)utf8.size(), nullptr, nullptr));
  fwrite(utf8.data(), 1, utf8.size(), stream);
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

bool ParseNumber(const std::wstring& word, long long low, long long high, long long* value) {
  long long v = 0;
  for (wchar_t c : word) {
    if (c < L'0' || c > L'9' || v > (high - (c - L'0')) / 10)
      return false;
    v = v * 10 + (c - L'0');
  }
  if (word.empty() || v < low || v > high)
    return false;
  *value = v;
  return true;
}

bool ParseSize(const std::wstring& word, ULONGLONG* bytes) {
  return Measure(word, sizeUnits, 1, 1LL << 62, (long long*)bytes);
}

bool ParseDurationIn(const std::wstring& word, long long lowMs, long long highMs,
                     const wchar_t* what, long long* milliseconds, std::wstring* error) {
  std::wstring range = L"from " + DurationText(lowMs) + L" to " + DurationText(highMs);
  if (!Measure(word, durationUnits, 4, maxDurationMs, milliseconds)) {
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
  std::wstring text;
  for (const Unit& u : durationUnits) {
    if (ms >= u.factor) {
      text += std::to_wstring(ms / u.factor) + u.name;
      ms %= u.factor;
    }
  }
  return text.empty() ? L"0s" : text;
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

bool IsPlainFileNameWith(const std::wstring& name, const wchar_t* extension) {
  size_t n = wcslen(extension);
  return name.size() > n && _wcsicmp(name.c_str() + name.size() - n, extension) == 0 &&
         IsPlainFileName(name.c_str(), name.size());
}
