// The text of an .inf file: its sections of lines, and the fields of a line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

std::wstring Lower(std::wstring s);
std::wstring Trim(const std::wstring& s);
// Where `c` first occurs outside quotes, or npos.
size_t FindUnquoted(const std::wstring& s, wchar_t c);
// One field: trimmed, its quotes removed ("" inside quotes is one quote);
// false when a quote is not closed.
bool Unquote(const std::wstring& raw, std::wstring* field);
// Comma-separated fields, each unquoted.
bool SplitFields(const std::wstring& s, std::vector<std::wstring>* fields);
// A decimal or 0x hexadecimal number that fits in 32 bits.
bool ParseNumber(const std::wstring& s, DWORD* value);

struct Line {
  int number;  // in the file, from 1
  std::wstring text;
};

struct Section {
  std::wstring name;
  int line;
  std::vector<Line> lines;  // without comments and blank lines
};

// UTF-8 text (with or without a byte order mark; UTF-16 and ANSI text are
// refused by their line) as sections. On failure `line` and `what` say why;
// `lastLine` gets the last line that holds anything.
bool SplitSections(const std::string& utf8, std::vector<Section>* sections, int* line,
                   std::wstring* what, int* lastLine);
const Section* FindSection(const std::vector<Section>& sections, const wchar_t* name);
// A manifest file's bytes (at most 1 MB).
bool ReadManifestBytes(const std::wstring& path, std::string* text, std::wstring* error);
