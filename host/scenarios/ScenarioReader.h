// Inside the scenario reader: what one line's parser sees, and what the
// reader knows about the device while checking, so that a line which could
// not run (removing a card that is not there, a wait past the clock's last
// year) is refused up front.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "Scenario.h"
#include "Words.h"

struct CheckState {
  std::vector<std::wstring> cards;
  std::set<std::wstring> pictures;  // upper case
  bool suspended = false;
  long long stripSnapshots = 0;
  long long intervalMs = 2000;
  long long untilQueryMs = 2000;  // device time to the next refresh query
  long long queries = 0;
  ULONGLONG clockMs = 0;  // device local time, milliseconds since 1601
};

struct LineReader {
  const std::vector<Token>& t;
  size_t first;  // index of the first argument
  CheckState* state;
  Command* c;
  std::wstring* error;
  const wchar_t* usage;  // the command's row: "card remove NAME"

  bool Fail(const std::wstring& message) {
    *error = message;
    return false;
  }
  size_t Arguments() const { return t.size() - first; }
  bool Word(size_t i, const wchar_t* expected) const {
    return i < t.size() && !t[i].quoted && t[i].text == expected;
  }
};

// Parses one line's tokens into `command`; false with `error` set.
bool ParseCommandLine(const std::vector<Token>& tokens, CheckState* state, Command* command,
                      std::wstring* error);
// Milliseconds since 1601 of a SYSTEMTIME.
ULONGLONG ClockMs(const SYSTEMTIME& time);

// Helpers of the commands' parsers (ScenarioReader.cpp); each fails with a sentence.
std::wstring Upper(const std::wstring& text);
bool Count(LineReader& r, size_t low, size_t high);
bool Number(LineReader& r, size_t i, long long low, long long high, const wchar_t* what,
            long long* v);
bool OnOff(LineReader& r, size_t i, bool* on);
bool Title(LineReader& r, size_t i, std::wstring* title);
// NAME=VALUE settings from token `from` on, each known, given at most once and
// with a value; `values` gets one entry per key, empty when not given.
bool Settings(LineReader& r, size_t from, const std::vector<const wchar_t*>& keys,
              std::vector<std::wstring>* values);

// The device's commands (ScenarioDevice.cpp).
bool ParseBattery(LineReader& r);
bool ParsePowerShort(LineReader& r);
bool ParsePowerSound(LineReader& r);
bool ParseCardAddOrSet(LineReader& r);
bool ParseCardRemove(LineReader& r);
bool ParseCardFault(LineReader& r);
bool ParseStore(LineReader& r);
bool ParseMemory(LineReader& r);
bool ParseFault(LineReader& r);
bool ParseTime(LineReader& r);
bool ParseTick(LineReader& r);
bool ParseWait(LineReader& r);
bool ParseInterval(LineReader& r);
