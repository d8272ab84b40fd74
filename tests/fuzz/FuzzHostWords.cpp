// The host's command line, one argument a line. (The words it shares with the
// scenario reader are fuzzed through the scenario target.)
#include <vector>

#include "FuzzDriver.h"
#include "Options.h"

static std::string ReadCommandLine(const std::string& input) {
  std::wstring text = L"TodayHost.exe\n" + FuzzWide(input), error;
  std::vector<wchar_t*> argv = {&text[0]};
  for (wchar_t& c : text) {
    if (c == L'\n') {
      c = L'\0';
      argv.push_back(&c + 1);
    }
  }
  Options options;
  return ParseArguments((int)argv.size(), argv.data(), &options, &error) ? "accepted"
                                                                         : FuzzOutcome(error);
}

int main(int argc, char** argv) {
  return FuzzMain(argc, argv, "host_words", ReadCommandLine);
}
