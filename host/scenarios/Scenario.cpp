// The scenario reader: lines split into words, each line checked by its
// command's parser, the whole script checked before any line runs.
#include "Scenario.h"

#include "ScenarioReader.h"
#include "ScopedWin.h"
#include "SimulatedDevice.h"
#include "UserPath.h"

namespace {

// The first line that is not UTF-8 text.
int FirstBadUtf8Line(const std::string& bytes) {
  int line = 1;
  for (size_t start = 0; start < bytes.size(); ++line) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos)
      end = bytes.size();
    if (end > start && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + start,
                                           (int)(end - start), nullptr, 0) == 0) {
      return line;
    }
    start = end + 1;
  }
  return line;
}

}  // namespace

ULONGLONG ClockMs(const SYSTEMTIME& time) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&time, &ft))
    return 0;
  return (((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime) / 10000;
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
         L"window "
         L"lasts at most 15 s, and all of them in one run at most --wait-budget (default 2m).";
}

bool ParseScenario(const std::wstring& text, Scenario* scenario, std::wstring* error,
                   long long intervalMs) {
  Scenario result;
  CheckState state;
  state.intervalMs = state.untilQueryMs = intervalMs;
  state.clockMs = ClockMs(simResetTime);
  size_t start = 0;
  int lineNumber = 0;
  scenario->commands.clear();
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos)
      end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;

    std::vector<Token> tokens;
    std::wstring message;
    bool ok = Tokenize(line, &tokens, &message);
    if (ok && tokens.empty())
      continue;
    Command command;
    command.line = lineNumber;
    if (ok && result.commands.size() >= (size_t)limits::commandLines) {
      message = L"a script has at most 10000 command lines";
      ok = false;
    }
    if (ok)
      ok = ParseCommandLine(tokens, &state, &command, &message);
    if (!ok) {
      *error = L"line " + std::to_wstring(lineNumber) + L": " + message;
      return false;
    }
    result.commands.push_back(std::move(command));
  }
  *scenario = std::move(result);
  return true;
}

bool LoadScenarioFile(const wchar_t* path, const std::wstring& shownPath, Scenario* scenario,
                      std::wstring* error, long long intervalMs) {
  scenario->commands.clear();
  std::wstring why;
  AutoCloseHandle file(OpenRegularFile(path, &why));
  if (!file.IsValid()) {
    *error = shownPath + L": cannot open the scenario: " + why;
    return false;
  }
  std::string bytes;
  char buffer[4096];
  DWORD got;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
    if (bytes.size() > limits::scriptBytes)
      break;
  }
  file.Reset(nullptr);
  if (bytes.size() > limits::scriptBytes) {
    *error = shownPath + L": the scenario is larger than 4 MB (4194304 bytes)";
    return false;
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    bytes.erase(0, 3);
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(),
                              nullptr, 0);
  if (n == 0 && !bytes.empty()) {
    *error =
        shownPath + L": line " + std::to_wstring(FirstBadUtf8Line(bytes)) + L": not UTF-8 text";
    return false;
  }
  std::wstring text(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &text[0], n);
  if (!ParseScenario(text, scenario, error, intervalMs)) {
    *error = shownPath + L": " + *error;
    return false;
  }
  return true;
}
