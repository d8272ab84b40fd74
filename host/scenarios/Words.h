// The words of the host's language, shared by the scenario reader and the
// command line: quoted and bare tokens, whole numbers, sizes, durations,
// colours, dates and plain file names.
#pragma once

#include <stdio.h>
#include <windows.h>

#include <string>
#include <vector>

#include "UserPath.h"

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
// Prints a message whole, as UTF-8, with a line end: a control character in
// it is written as \x00 (line ends stay).
void Print(FILE* stream, const std::wstring& message);

// A whole number from `low` to `high` (at most 2^62), decimal digits only:
// no sign, no blank.
bool ParseNumber(const std::wstring& word, long long low, long long high, long long* value);

// "64MB", "1536KB", "2GB", "4096B": binary units, whole numbers; the unit
// is needed and written as here.
bool ParseSize(const std::wstring& word, ULONGLONG* bytes);
// One or more NUMBER UNIT pairs, units in falling order: "1h30m", "250ms".
// Malformed words and durations over maxDurationMs are not durations.
bool ParseDuration(const std::wstring& word, long long* milliseconds);
const long long maxDurationMs = 0xFFFFFFFFLL * 1000;
// A duration in [lowMs, highMs]; otherwise `error` says what is accepted,
// naming the setting `what` ("wait", "--interval").
bool ParseDurationIn(const std::wstring& word, long long lowMs, long long highMs,
                     const wchar_t* what, long long* milliseconds, std::wstring* error);
// A duration as the language writes it: "2s", "1h30m", "250ms".
std::wstring DurationText(long long milliseconds);
// "#RRGGBB".
bool ParseColor(const std::wstring& word, COLORREF* color);

// "2026-12-06" and "09:41" or "09:41:20", in the device's years.
bool ParseDateTime(const std::wstring& date, const std::wstring& clock, SYSTEMTIME* time);

// A name Windows keeps as written inside a folder: not empty, no separators,
// wildcards or control characters, no trailing dot or blank, and not a device
// name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9, LPT0-9) with any
// extension in any case (DeviceFiles.h).
bool IsPlainFileName(const std::wstring& name);
// The same, and ending in `extension` (".png").
bool IsPlainFileNameWith(const std::wstring& name, const wchar_t* extension);
