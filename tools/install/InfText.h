// The text of an .inf file: sections of lines, KEY = VALUE entries and
// comma-separated fields with "quoted" strings.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

typedef std::vector<std::wstring> Fields;

struct Line {
  int number;  // in the file, from 1
  std::wstring text;
};

struct Section {
  std::wstring name;
  int line;
  std::vector<Line> lines;  // without comments and blank lines
};

// A KEY = VALUE line, the value as written; strings also note their expansion.
struct Entry {
  std::wstring key, value;
  int line;
  bool expanding = false, expanded = false;
};

inline std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s)
    c = (wchar_t)towlower(c);
  return s;
}

inline std::wstring Trim(const std::wstring& s) {
  size_t first = s.find_first_not_of(L" \t");
  if (first == std::wstring::npos)
    return L"";
  return s.substr(first, s.find_last_not_of(L" \t") - first + 1);
}

inline size_t FindUnquoted(const std::wstring& s, wchar_t c, size_t from = 0) {
  bool quoted = false;
  for (size_t i = from; i < s.size(); ++i) {
    if (s[i] == L'"')
      quoted = !quoted;
    else if (s[i] == c && !quoted)
      return i;
  }
  return std::wstring::npos;
}

template <typename T, typename Holds>
T* FirstOf(std::vector<T>& list, Holds holds) {
  for (T& item : list) {
    if (holds(item))
      return &item;
  }
  return nullptr;
}

// A decimal or 0x hexadecimal number that fits in 32 bits.
inline bool ParseNumber(const std::wstring& s, DWORD* value) {
  bool hex = s.size() > 2 && s[0] == L'0' && towlower(s[1]) == L'x';
  size_t other = s.find_first_not_of(hex ? L"0123456789abcdefABCDEF" : L"0123456789", hex ? 2 : 0);
  unsigned long long v = wcstoull(s.c_str(), nullptr, hex ? 16 : 10);
  *value = (DWORD)v;
  return !s.empty() && s.size() <= 10 && other == std::wstring::npos && v <= 0xFFFFFFFFull;
}

// The device's standard folders, as CabWiz names them: strings of every manifest.
const struct {
  const wchar_t *name, *folder;
} ceFolders[] = {{L"ce1", L"\\Program Files"},
                 {L"ce2", L"\\Windows"},
                 {L"ce4", L"\\Windows\\StartUp"},
                 {L"ce5", L"\\My Documents"},
                 {L"ce8", L"\\Program Files\\Games"},
                 {L"ce11", L"\\Windows\\Start Menu\\Programs"},
                 {L"ce14", L"\\Windows\\Start Menu\\Programs\\Games"},
                 {L"ce15", L"\\Windows\\Fonts"},
                 {L"ce17", L"\\Windows\\Start Menu"}};
