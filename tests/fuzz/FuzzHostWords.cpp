// The host's command line, one argument a line. (The words it shares with the
// scenario reader are fuzzed through the scenario target.)
#include <vector>

#include "FuzzDriver.h"
#include "Options.h"

static std::string ReadCommandLine(const std::string& input) {
  std::wstring text = FuzzWide(input), error;
  std::vector<std::wstring> w = {L"TodayHost.exe"};
  for (size_t from = 0, end; from <= text.size(); from = end + 1)
    w.push_back(text.substr(from, (end = std::min(text.find(L'\n', from), text.size())) - from));
  std::vector<wchar_t*> argv;
  for (std::wstring& word : w)
    argv.push_back(&word[0]);
  Options options;
  return ParseArguments((int)argv.size(), argv.data(), &options, &error) ? "accepted"
                                                                         : FuzzOutcome(error);
}

int main(int argc, char** argv) {
  return FuzzMain(argc, argv, "host_words", ReadCommandLine);
}
