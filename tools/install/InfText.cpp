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

bool SplitSections(const std::string& utf8, std::vector<Section>* sections, int* line,
                   std::wstring* what, int* lastLine) {
  auto fail = [&](int number, const std::wstring& text) {
    *line = number;
    *what = text;
    return false;
  };
  size_t start = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  if (utf8.compare(0, 2, "\xFF\xFE") == 0 || utf8.compare(0, 2, "\xFE\xFF") == 0) {
    return fail(1, L"UTF-16 text; the manifest is read as UTF-8 (or ASCII): save it so");
  }
  int number = 0;
  while (start <= utf8.size()) {
    size_t end = utf8.find('\n', start);
    if (end == std::string::npos)
      end = utf8.size();
    std::string bytes = utf8.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!bytes.empty() && bytes.back() == '\r')
      bytes.pop_back();
    std::wstring text(bytes.size(), L'\0');
    int n = bytes.empty() ? 0
                          : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                (int)bytes.size(), &text[0], (int)text.size());
    if (bytes.find('\0') != std::string::npos) {
      return fail(number, L"a NUL byte (UTF-16 text?); the manifest is read as UTF-8 (or ASCII)");
    }
    if (!bytes.empty() && n <= 0) {
      return fail(number, L"not UTF-8 text (an ANSI character?); save the manifest as UTF-8");
    }
    text.resize(n);
    text = Trim(text.substr(0, FindUnquoted(text, L';')));
    if (text.empty())
      continue;
    *lastLine = number;
    if (text[0] == L'[') {
      if (text.back() != L']' || text.size() < 3) {
        return fail(number, L"a section name is written [NAME]");
      }
      std::wstring name = Trim(text.substr(1, text.size() - 2));
      if (const Section* seen = FindSection(*sections, name.c_str())) {
        return fail(number, L"[" + name + L"] appears twice (first at line " +
                                std::to_wstring(seen->line) + L")");
      }
      sections->push_back({name, number, {}});
    } else if (sections->empty()) {
      return fail(number, L"text before the first [section]");
    } else {
      sections->back().lines.push_back({number, text});
    }
  }
  return true;
}

const Section* FindSection(const std::vector<Section>& sections, const wchar_t* name) {
  for (const Section& s : sections) {
    if (Lower(s.name) == Lower(name))
      return &s;
  }
  return nullptr;
}

bool ReadManifestBytes(const std::wstring& path, std::string* text, std::wstring* error) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = L"cannot read the manifest (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= (1 << 20);
  if (ok) {
    text->resize((size_t)size.QuadPart);
    DWORD got = 0;
    ok = text->empty() ||
         (ReadFile(file, &(*text)[0], (DWORD)text->size(), &got, nullptr) && got == text->size());
  }
  CloseHandle(file);
  if (!ok) {
    *error = L"cannot read the manifest (at most 1 MB)";
    return false;
  }
  return true;
}
