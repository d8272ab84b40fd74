// The host's command line (one argument a line) and the words it shares with
// the scenario reader: durations, sizes, dates, colours, names.
#include "FuzzDriver.h"
#include "Options.h"
#include "Words.h"

static std::string ReadCommandLine(const std::string& input) {
  std::wstring text = FuzzWide(input), error;
  std::vector<std::wstring> w = {L"TodayHost.exe"};
  for (size_t from = 0, end; from <= text.size(); from = end + 1)
    w.push_back(text.substr(from, (end = std::min(text.find(L'\n', from), text.size())) - from));
  std::vector<wchar_t*> argv;
  for (std::wstring& word : w)
    argv.push_back(&word[0]);
  Options options;
  std::string outcome = ParseArguments((int)argv.size(), argv.data(), &options, &error)
                            ? "accepted"
                            : FuzzOutcome(error);
  // Which readers take the first argument as their kind of word.
  ULONGLONG u;
  long long n;
  COLORREF color;
  SYSTEMTIME time;
  std::vector<Token> tokens;
  for (bool taken :
       {ParseNumber(w[1], 0, 1LL << 62, &n), ParseSize(w[1], &u), ParseDuration(w[1], &n),
        ParseColor(w[1], &color), ParseDateTime(w[1], w.size() > 2 ? w[2] : L"", &time),
        IsPlainFileName(w[1]), Tokenize(text, &tokens, &error)})
    outcome += taken ? " +" : " -";
  return outcome;
}

int main(int argc, char** argv) {
  return FuzzMain(argc, argv, "host_words", ReadCommandLine);
}
