// The text of an .inf file: sections of lines, KEY = VALUE entries and
// comma-separated fields with "quoted" strings. Each error names its line.
#pragma once

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

std::wstring Lower(std::wstring s);
std::wstring Trim(const std::wstring& s);
// Where `c` first occurs outside quotes, from `from` on; npos for none.
size_t FindUnquoted(const std::wstring& s, wchar_t c, size_t from = 0);

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

  // False, with `error` "<shown>: line N: what".
  bool Fail(int line, const std::wstring& what);
  // UTF-8 text (with or without a byte order mark) as sections; UTF-16 and
  // ANSI text are refused by their line.
  bool Split(const std::string& utf8);
  const Section* Find(const std::wstring& name);
  // The section; null, having failed, when there is none.
  const Section* Require(const wchar_t* name);
  // One field: trimmed, its quotes removed ("" inside quotes is one quote).
  bool Unquote(int line, const std::wstring& raw, std::wstring* field);
  // A section's KEY = VALUE lines, each key once. Strings (values unquoted,
  // names in lower case) are one list over two sections.
  bool Entries(const Section* section, std::vector<Entry>* entries, bool areStrings = false);
  // Comma-separated fields, each unquoted.
  bool SplitFields(int line, const std::wstring& text, Fields* fields);
};
