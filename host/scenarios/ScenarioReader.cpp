// The scenario reader: lines split into words, each line checked by its
// command's reader, the whole script checked before any line runs; and the
// helpers every reader uses.
#include "ScenarioCommands.h"
#include "ScopedWin.h"
#include "UserPath.h"

namespace {

const size_t scriptBytes = 4u << 20;

// The row whose name the line starts with, two-word names first; else why not.
const CommandInfo* FindRow(const std::vector<Token>& t, std::wstring* error) {
  if (t[0].quoted) {
    *error = L"a line must start with a command, not a quoted text";
    return nullptr;
  }
  size_t count;
  const CommandInfo* rows = ScenarioCommands(&count);
  const CommandInfo* oneWord = nullptr;
  std::wstring first = t[0].text + L" ", second = t.size() > 1 ? t[1].text : L"", kinds;
  for (const CommandInfo* row = rows; row < rows + count; ++row) {
    if (t.size() > 1 && !t[1].quoted && first + second == row->name)
      return row;
    if (t[0].text == row->name)
      oneWord = row;
    else if (wcsncmp(row->name, first.c_str(), first.size()) == 0)
      kinds += (kinds.empty() ? L"" : L", ") + std::wstring(row->name);
  }
  if (oneWord)
    return oneWord;
  *error = kinds.empty() ? L"unknown command " + Quote(t[0].text) + L" (--help lists them)"
                         : L"expected " + kinds + L", not " +
                               Quote(t.size() > 1 ? first + second : t[0].text);
  return nullptr;
}

}  // namespace

const CommandInfo* ScenarioCommands(size_t* count) {
  static std::vector<CommandInfo> rows;
  if (rows.empty()) {
    for (const auto* part : {&deviceCommands, &itemCommands, &expectCommands})
      rows.insert(rows.end(), part->begin(), part->end());
  }
  *count = rows.size();
  return rows.data();
}

std::wstring ReadmeLine(const CommandInfo& info) {
  std::wstring usage;
  for (const wchar_t* c = info.usage; *c; ++c)
    usage += *c == L'|' ? L"\\|" : std::wstring(1, *c);
  return L"| `" + usage + L"` | " + info.effect + L" |";
}

std::wstring LimitsText() {
  return L"A script has at most 10000 command lines and 4 MB. A wait lasts at most 24h and "
         L"sends at most 43200 refresh queries; a script sends at most 200000. The device's "
         L"clock holds 1980-01-01 00:00 to 2099-12-31 23:59:59. A wait for another program or "
         L"window lasts at most 15 s, and all of them in one run at most --wait-budget (default "
         L"2m).";
}

bool ParseScenario(const std::wstring& text, Scenario* scenario, std::wstring* error,
                   long long intervalMs) {
  CheckState state;
  state.intervalMs = state.untilQueryMs = intervalMs;
  state.clockMs = ClockMs(simResetTime);
  scenario->commands.clear();
  int lineNumber = 1;
  for (size_t start = 0, end; start <= text.size(); start = end + 1, ++lineNumber) {
    end = std::min(text.find(L'\n', start), text.size());
    std::vector<Token> tokens;
    std::wstring message;
    bool ok = Tokenize(text.substr(start, end - start), &tokens, &message);
    if (ok && tokens.empty())
      continue;
    Command command;
    command.line = lineNumber;
    if (ok && scenario->commands.size() >= 10000u) {
      message = L"a script has at most 10000 command lines";
      ok = false;
    }
    ok = ok && (command.row = FindRow(tokens, &message)) != nullptr;
    LineReader reader{tokens, ok && wcschr(command.row->name, L' ') ? 2u : 1u, &state, &command,
                      &message};
    if (!ok || !command.row->read(reader)) {
      *error = L"line " + std::to_wstring(lineNumber) + L": " + message;
      scenario->commands.clear();
      return false;
    }
    scenario->commands.push_back(std::move(command));
  }
  return true;
}

bool LoadScenarioFile(const wchar_t* path, const std::wstring& shownPath, Scenario* scenario,
                      std::wstring* error, long long intervalMs) {
  std::wstring why;
  AutoCloseHandle file(OpenRegularFile(path, &why));
  if (!file.IsValid()) {
    *error = shownPath + L": cannot open the scenario: " + why;
    return false;
  }
  std::string bytes;
  char buffer[4096];
  DWORD got;
  while (bytes.size() <= scriptBytes && ReadFile(file, buffer, sizeof buffer, &got, nullptr) &&
         got > 0) {
    bytes.append(buffer, got);
  }
  if (bytes.size() > scriptBytes) {
    *error = shownPath + L": the scenario is larger than 4 MB (4194304 bytes)";
    return false;
  }
  size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") ? 0 : 3;
  int n = (int)(bytes.size() - start);
  std::wstring text(n, L'\0');  // at most as many UTF-16 units as bytes
  text.resize(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, &bytes[start], n, &text[0], n));
  // Not UTF-8: the first line that is not is named.
  for (int line = 1; text.empty() && n > 0 && start <= bytes.size(); ++line) {
    size_t end = std::min(bytes.find('\n', start), bytes.size());
    if (end > start && !MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, &bytes[start],
                                            (int)(end - start), nullptr, 0)) {
      *error = shownPath + L": line " + std::to_wstring(line) + L": not UTF-8 text";
      return false;
    }
    start = end + 1;
  }
  if (!ParseScenario(text, scenario, error, intervalMs)) {
    *error = shownPath + L": " + *error;
    return false;
  }
  return true;
}

std::wstring Upper(const std::wstring& text) {
  std::wstring u = text;
  CharUpperBuffW(&u[0], (DWORD)u.size());
  return u;
}

ULONGLONG ClockMs(const SYSTEMTIME& time) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&time, &ft))
    return 0;
  return (((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime) / 10000;
}

bool Count(LineReader& r, size_t low, size_t high) {
  if (r.Arguments() >= low && r.Arguments() <= high)
    return true;
  std::wstring usage = r.c->row->usage;
  if (high == 0)
    return r.Fail(usage + L" takes no arguments");
  return r.Fail(L"wrong number of arguments (the form is: " + usage + L")");
}

bool Number(LineReader& r, size_t i, long long low, long long high, const wchar_t* what,
            long long* v) {
  if (ParseNumber(r.t[i].text, low, high, v))
    return true;
  return r.Fail(std::wstring(what) + L" must be a whole number from " + std::to_wstring(low) +
                L" to " + std::to_wstring(high) + L", not " + Quote(r.t[i].text));
}

bool Title(LineReader& r, size_t i, std::wstring* title) {
  if (r.t[i].text.empty())
    return r.Fail(L"a window title must not be empty");
  if (r.t[i].text.size() > 255)
    return r.Fail(L"a window title has at most 255 characters");
  *title = r.t[i].text;
  return true;
}

bool ReadWindow(LineReader& r) {
  bool today = !r.Word(0, L"close") && r.Word(r.first, L"today");
  return Count(r, 1, 1) && (today || Title(r, r.first, &r.c->name));
}

bool Settings(LineReader& r, size_t from, const std::vector<const wchar_t*>& keys,
              std::vector<std::wstring>* values) {
  values->assign(keys.size(), L"");
  std::wstring known;
  for (const wchar_t* k : keys)
    known += (known.empty() ? L"" : L", ") + std::wstring(k) + L"=";
  for (size_t i = from; i < r.t.size(); ++i) {
    size_t eq = r.t[i].quoted ? std::wstring::npos : r.t[i].text.find(L'=');
    if (eq == std::wstring::npos || eq == 0)
      return r.Fail(L"expected one of " + known + L", not " + Quote(r.t[i].text));
    std::wstring key = r.t[i].text.substr(0, eq);
    size_t k = std::find(keys.begin(), keys.end(), key) - keys.begin();
    if (k == keys.size())
      return r.Fail(L"unknown setting " + Quote(key) + L" (" + known + L")");
    if (!(*values)[k].empty())  // an empty value fails below
      return r.Fail(key + L"= is given twice");
    (*values)[k] = r.t[i].text.substr(eq + 1);
    if ((*values)[k].empty())
      return r.Fail(key + L"= needs a value");
  }
  return true;
}
