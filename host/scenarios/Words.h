// The words of the host's language, shared by the scenario reader and the
// command line: tokens, whole numbers, sizes, durations, colours, file names.
#pragma once

#include <stdio.h>
#include <windows.h>

#include <string>
#include <vector>

struct Token {
  std::wstring text;
  bool quoted;
};

// Splits one line into words and "quoted strings", at blanks and tabs (a CR
// at the line's end is dropped). A '#' that starts a word and is followed by
// a blank (or ends the line) starts a comment.
bool Tokenize(const std::wstring& line, std::vector<Token>* tokens, std::wstring* error);

// A word as it goes into a message: in quotes, cut to a readable length,
// control characters (NUL among them) written as \x00.
std::wstring Quote(const std::wstring& word);
// A message with up to two numbers: Sentence(L"expected %lld, got %lld", 1, 2).
std::wstring Sentence(const wchar_t* format, long long a, long long b = 0);
// Prints a message whole, as UTF-8, with a line end; control characters as in Quote.
void Print(FILE* stream, const std::wstring& message);

// A whole number from `low` to `high` (at most 2^62): decimal digits only.
bool ParseNumber(const std::wstring& word, long long low, long long high, long long* value);
// "64MB", "1536KB", "2GB", "4096B": binary units, written so, whole numbers.
bool ParseSize(const std::wstring& word, ULONGLONG* bytes);
// A duration in [lowMs, highMs]: NUMBER UNIT pairs, units in falling order
// ("1h30m", "250ms"); otherwise `error` says what is accepted, naming the
// setting `what` ("wait", "--interval").
bool ParseDurationIn(const std::wstring& word, long long lowMs, long long highMs,
                     const wchar_t* what, long long* milliseconds, std::wstring* error);
// A duration as the language writes it: "2s", "1h30m", "250ms".
std::wstring DurationText(long long milliseconds);
// "#RRGGBB".
bool ParseColor(const std::wstring& word, COLORREF* color);
// A plain file name (IsPlainFileName in DeviceFiles.h) ending in `extension` (".png").
bool IsPlainFileNameWith(const std::wstring& name, const wchar_t* extension);
