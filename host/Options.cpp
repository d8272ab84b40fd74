// The host's options, one row each.
#include "Options.h"

#include <shlwapi.h>

#include <algorithm>
#include <map>

#include "Scenario.h"
#include "UserPath.h"
#include "Words.h"

namespace {

// One row per option: what it sets, and its line of --help. A row with a
// `value` takes the next argument: a path, a duration in [low, high] or a colour.
struct OptionRow {
  const wchar_t* name;
  const wchar_t* value;
  const wchar_t* help;
  bool Options::*flag = nullptr;
  std::wstring Options::*path = nullptr;
  std::wstring Options::*shown = nullptr;
  long long Options::*ms = nullptr;
  long long low = 0, high = 0;
};
const long long day = 86400000;
const OptionRow optionRows[] = {
    {L"--scenario", L"FILE", L"run a scenario headless", nullptr, &Options::scenarioFile,
     &Options::scenarioShown},
    {L"--demo", nullptr, L"run the built-in demo scenario", &Options::demo},
    {L"--check", L"FILE", L"check a scenario, run nothing", &Options::check, &Options::scenarioFile,
     &Options::scenarioShown},
    {L"--print-demo", nullptr, L"print the demo scenario", &Options::printDemo},
    {L"--help", nullptr, L"this text and the scenario commands", &Options::help},
    {L"--live", nullptr, L"the live device (the machine's own readings); window only",
     &Options::live},
    {L"--dll", L"PATH",
     L"the Today item (default: the enabled items of the Today list in\n"
     L"the registry, in Order, from the device's file system)",
     nullptr, &Options::dll, &Options::dllShown},
    {L"--out", L"FOLDER", L"where a scenario's pictures go (default: current folder)", nullptr,
     &Options::out, &Options::outShown},
    {L"--interval", L"DURATION", L"refresh query interval, 1ms to 24h (default 2s)", nullptr,
     nullptr, nullptr, &Options::intervalMs, 1, day},
    {L"--text-color", L"#RRGGBB", L"the Today text colour (default #000000)"},
    {L"--close-after", L"DURATION", L"window only: close by itself after 1ms to 24h", nullptr,
     nullptr, nullptr, &Options::closeAfterMs, 1, day},
    {L"--snapshot", L"FILE", L"window only: a PNG of the strip when it closes by itself", nullptr,
     &Options::snapshot, &Options::snapshotShown},
    {L"--device-wait", L"DURATION",
     L"how long to wait while another host uses the simulated device, 0s\n"
     L"to 24h (default 2m)",
     nullptr, nullptr, nullptr, &Options::deviceWaitMs, 0, day},
    {L"--wait-budget", L"DURATION",
     L"a scenario: how long all its waits for other programs and windows\n"
     L"may take together, 1ms to 1h (default 2m)",
     nullptr, nullptr, nullptr, &Options::waitBudgetMs, 1, 3600000},
    {L"--keep-programs", nullptr,
     L"programs the item started (the About program, wake-up programs)\n"
     L"stay when the host ends; otherwise they end with it",
     &Options::keepPrograms},
};

const wchar_t closing[] =
    L"Paths are taken exactly as typed (no device names, trailing dots and blanks kept);\n"
    L"Unix paths (starting with /) are accepted and mapped to drive Z:.\n"
    L"Exit status: 0 done; 1 an expectation, a picture or a wait failed; 2 a wrong command\n"
    L"line or script (nothing was run); 3 no display, item or output folder; 4 another host\n"
    L"kept the simulated device busy past --device-wait; 129 the console closed; 130\n"
    L"interrupted (Ctrl-C).\n";

// What one option's value sets; false with `error` set.
bool TakeValue(const OptionRow& row, const std::wstring& value, Options* o, std::wstring* error) {
  if (row.ms)
    return ParseDurationIn(value, row.low, row.high, row.name, &(o->*row.ms), error);
  if (!row.path && !ParseColor(value, &o->textColor))
    *error = L"--text-color takes #RRGGBB, not " + Quote(value);
  else if (row.path && value.empty())
    *error = std::wstring(row.name) + L" needs a path, not ''";
  else if (row.path)
    o->*row.path = UserPath(o->*row.shown = value);
  return error->empty();
}

// What is wrong with the options together, "" when nothing.
std::wstring Problem(const Options& o) {
  bool script = o.demo || !o.scenarioFile.empty(), shot = !o.snapshot.empty();
  std::wstring library = PathFindFileNameW(o.dll.c_str()),
               snapshot = L"--snapshot " + o.snapshotShown + L": ";
  if (!o.dll.empty() && library.find(L'.') == std::wstring::npos) {
    return L"--dll " + o.dllShown + L": a library's name needs an extension such as .dll " +
           L"(the system would load " + library + L".dll instead)";
  }
  if (shot && (!IsPlainFileNameWith(PathFindFileNameW(o.snapshot.c_str()), L".png") ||
               !PathFitsLimits(o.snapshot))) {
    return L"--snapshot needs a *.png file in a folder, within the file system's limits, not " +
           Quote(o.snapshotShown);
  }
  if (shot && IsNoFile(KindAt(o.snapshot)))
    return snapshot + WhyNotCreated(o.snapshot, ERROR_ALREADY_EXISTS);
  PathKind folder = shot ? KindAt(o.snapshot.substr(0, o.snapshot.rfind(L'\\'))) : PathKind::Folder;
  if (folder != PathKind::Folder && folder != PathKind::Unknown)
    return snapshot + L"its folder does not exist";
  if (o.demo && !o.scenarioFile.empty())
    return std::wstring(L"--demo and ") + (o.check ? L"--check" : L"--scenario") +
           L" exclude each other";
  if (script && (o.closeAfterMs || shot))
    return L"--close-after and --snapshot are for the window; scenarios take snapshots";
  if (shot && !o.closeAfterMs)
    return L"--snapshot needs --close-after";
  if (!script && !o.outShown.empty())
    return L"--out is for scenarios; the window takes --snapshot";
  if (o.live && script)
    return L"scenarios run on the simulated device; --live is for the window";
  return L"";
}

}  // namespace

bool ParseArguments(int argc, wchar_t** argv, Options* o, std::wstring* error) {
  std::map<std::wstring, std::wstring> seen;  // by what they set: --check as --scenario
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i], &before = seen[a == L"--check" ? L"--scenario" : a];
    if (!before.empty()) {
      *error = before == a ? a + L" is given twice"
                           : L"--check and --scenario cannot go together: --check only reads the "
                             L"script";
      return false;
    }
    before = a;
    const OptionRow* row = std::find_if(std::begin(optionRows), std::end(optionRows),
                                        [&](const OptionRow& r) { return a == r.name; });
    if (row == std::end(optionRows) || (row->value && i + 1 == argc)) {
      *error = row != std::end(optionRows) ? a + L" needs a value"
               : i + 1 == argc             ? L"unknown or incomplete option " + Quote(a)
                                           : L"unknown option " + Quote(a);
      return false;
    }
    if (row->flag)
      o->*row->flag = true;
    if (row->value && !TakeValue(*row, argv[++i], o, error))
      return false;
  }
  *error = Problem(*o);
  o->outGiven = !o->outShown.empty();
  if (!o->outGiven) {
    o->outShown = L".";
    o->out = UserPath(L".");
  }
  return error->empty();
}

void PrintHelp() {
  std::wstring text =
      L"usage: TodayHost.exe [options]   the Today screen in a window, or a scenario headless\n"
      L"options:\n";
  for (const OptionRow& row : optionRows) {
    std::wstring left =
        L"  " + std::wstring(row.name) + (row.value ? L" " : L"") + (row.value ? row.value : L"");
    std::wstring help = row.help;  // its further lines under its first
    for (size_t at = help.find(L'\n'); at != std::wstring::npos; at = help.find(L'\n', at))
      help.insert(++at, 25, L' ');
    text += left + std::wstring(left.size() < 25 ? 25 - left.size() : 1, L' ') + help + L"\n";
  }
  text += closing;
  text += L"\nScenario commands (one a line; see docs/scenarios.md):\n";
  size_t count;
  const CommandInfo* commands = ScenarioCommands(&count);
  for (size_t i = 0; i < count; ++i)
    text += L"  " + std::wstring(commands[i].usage) + L"\n      " + commands[i].effect + L"\n";
  text += L"Limits: " + LimitsText();
  Print(stdout, text);
}
