// The text of an .inf line, as CabWiz reads it.
#include "InfText.h"

#include <wctype.h>

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s)
    c = (wchar_t)towlower(c);
  return s;
}

std::wstring Trim(const std::wstring& s) {
  size_t first = s.find_first_not_of(L" \t");
  if (first == std::wstring::npos)
    return L"";
  return s.substr(first, s.find_last_not_of(L" \t") - first + 1);
}

size_t FindUnquoted(const std::wstring& s, wchar_t c) {
  bool quoted = false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'"')
      quoted = !quoted;
    else if (s[i] == c && !quoted)
      return i;
  }
  return std::wstring::npos;
}

bool Unquote(const std::wstring& raw, std::wstring* field) {
  std::wstring s = Trim(raw);
  field->clear();
  bool quoted = false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != L'"')
      field->push_back(s[i]);
    else if (quoted && i + 1 < s.size() && s[i + 1] == L'"')
      field->push_back(s[i++]);
    else
      quoted = !quoted;
  }
  return !quoted;
}

bool SplitFields(const std::wstring& s, std::vector<std::wstring>* fields) {
  fields->clear();
  size_t start = 0;
  for (;;) {
    size_t comma = FindUnquoted(s.substr(start), L',');
    std::wstring field;
    if (!Unquote(s.substr(start, comma), &field))
      return false;
    fields->push_back(field);
    if (comma == std::wstring::npos)
      return true;
    start += comma + 1;
  }
}

bool ParseNumber(const std::wstring& s, DWORD* value) {
  bool hex = s.size() > 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X');
  if (s.empty() || s.size() > 10)
    return false;
  unsigned long long v = 0;
  for (size_t i = hex ? 2 : 0; i < s.size(); ++i) {
    int digit = iswdigit(s[i])           ? s[i] - L'0'
                : hex && iswxdigit(s[i]) ? towlower(s[i]) - L'a' + 10
                                         : -1;
    if (digit < 0)
      return false;
    v = v * (hex ? 16 : 10) + digit;
  }
  if (v > 0xFFFFFFFFull)
    return false;
  *value = (DWORD)v;
  return true;
}
