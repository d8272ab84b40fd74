// The text of an .inf file: sections of lines, KEY = VALUE entries and
// comma-separated fields with "quoted" strings. Each error names its line.
#pragma once

#include <windows.h>

#include <algorithm>
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

// Where `c` first occurs outside quotes, from `from` on; npos for none.
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

// The first item of `list` that `holds`, or null.
template <typename T, typename Holds>
T* FirstOf(std::vector<T>& list, Holds holds) {
  for (T& item : list) {
    if (holds(item))
      return &item;
  }
  return nullptr;
}

struct InfText {
  std::wstring shown;  // the file as the user named it
  std::wstring* error;
  std::vector<Section> sections = {};
  int lastLine = 0;  // the last that holds anything

  // False, with `error` "<shown>: line N: what", and " (first at line F)"
  // for something given twice.
  bool Fail(int line, const std::wstring& what, int first = 0) {
    *error = shown + L": line " + std::to_wstring(line) + L": " + what +
             (first ? L" (first at line " + std::to_wstring(first) + L")" : L"");
    return false;
  }
  // One field: trimmed, its quotes removed ("" inside quotes is one quote).
  bool Unquote(int line, const std::wstring& raw, std::wstring* field) {
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
    return !quoted || Fail(line, L"a quote is not closed");
  }
  // UTF-8 text (with or without a byte order mark) as sections; UTF-16 and
  // ANSI text are refused by their line.
  bool Split(const std::string& utf8) {
    size_t start = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (utf8.compare(0, 2, "\xFF\xFE") == 0 || utf8.compare(0, 2, "\xFE\xFF") == 0)
      return Fail(1, L"UTF-16 text; the manifest is read as UTF-8 (or ASCII): save it so");
    for (int number = 1; start <= utf8.size(); ++number) {
      size_t end = std::min(utf8.find('\n', start), utf8.size());
      std::string bytes = utf8.substr(start, end - start - (end > start && utf8[end - 1] == '\r'));
      start = end + 1;
      std::wstring text(bytes.size(), L'\0');
      text.resize(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                      (int)bytes.size(), &text[0], (int)text.size()));
      if (bytes.find('\0') != std::string::npos)
        return Fail(number, L"a NUL byte (UTF-16 text?); the manifest is read as UTF-8 (or ASCII)");
      if (text.empty() && !bytes.empty())
        return Fail(number, L"not UTF-8 text (an ANSI character?); save the manifest as UTF-8");
      text = Trim(text.substr(0, FindUnquoted(text, L';')));
      if (text.empty())
        continue;
      lastLine = number;
      if (text[0] != L'[' && sections.empty())
        return Fail(number, L"text before the first [section]");
      if (text[0] != L'[') {
        sections.back().lines.push_back({number, text});
        continue;
      }
      if (text.back() != L']' || text.size() < 3)
        return Fail(number, L"a section name is written [NAME]");
      std::wstring name = Trim(text.substr(1, text.size() - 2));
      if (const Section* seen = Find(name))
        return Fail(number, L"[" + name + L"] appears twice", seen->line);
      sections.push_back({name, number, {}});
    }
    return true;
  }
  const Section* Find(const std::wstring& name) {
    return FirstOf(sections, [&](const Section& s) { return Lower(s.name) == Lower(name); });
  }
  // The section; null, having failed, when there is none.
  const Section* Require(const wchar_t* name) {
    const Section* section = Find(name);
    if (!section)
      Fail(lastLine, std::wstring(L"no [") + name + L"] section");
    return section;
  }
  // A section's KEY = VALUE lines. Strings (values unquoted, names in lower
  // case) are one list over two sections. A second line with the same key is
  // refused rather than one of the two silently winning.
  bool Entries(const Section* section, std::vector<Entry>* entries, bool areStrings = false) {
    for (size_t i = 0; section && i < section->lines.size(); ++i) {
      const Line& line = section->lines[i];
      size_t equals = FindUnquoted(line.text, L'=');
      Entry e = {L"", Trim(line.text.substr(equals + 1)), line.number};
      // (Quotes around the key are whole: the '=' was found outside them.)
      if (equals == std::wstring::npos ||
          !Unquote(line.number, line.text.substr(0, equals), &e.key) || e.key.empty()) {
        return Fail(line.number, L"expected KEY = VALUE, not '" + line.text + L"'");
      }
      if (areStrings && !Unquote(line.number, e.value, &e.value))
        return false;
      if (const Entry* seen =
              FirstOf(*entries, [&](const Entry& s) { return Lower(s.key) == Lower(e.key); })) {
        return Fail(line.number,
                    areStrings ? L"the string " + e.key + L" is defined twice"
                               : e.key + L" appears twice in [" + section->name + L"]",
                    seen->line);
      }
      entries->push_back(e);
      if (areStrings)
        entries->back().key = Lower(e.key);
    }
    return true;
  }
  // Comma-separated fields, each unquoted.
  bool SplitFields(int line, const std::wstring& text, Fields* fields) {
    fields->clear();
    for (size_t start = 0;;) {
      size_t comma = FindUnquoted(text, L',', start);
      fields->emplace_back();
      if (!Unquote(line, text.substr(start, comma - start), &fields->back()))
        return false;
      if (comma == std::wstring::npos)
        return true;
      start = comma + 1;
    }
  }
};
