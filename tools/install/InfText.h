// The text of an .inf line: trimming, quoted fields, numbers.
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
