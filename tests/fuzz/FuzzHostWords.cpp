// The host's command line (one argument a line) and the words it shares with
// the scenario reader: durations, sizes, dates, colours, names.
#define wmain TodayHostMain
#include "TodayHost.cpp"
#include "FuzzDriver.h"

static std::string ReadCommandLine(const std::string& input) {
  std::vector<std::wstring> words = {L"TodayHost.exe"};
  std::wstring text = FuzzWide(input);
  for (size_t from = 0, end; from <= text.size(); from = end + 1) {
    end = std::min(text.find(L'\n', from), text.size());
    words.push_back(text.substr(from, end - from));
  }
  std::vector<wchar_t*> argv;
  for (std::wstring& w : words) argv.push_back(&w[0]);
  Options options;
  std::wstring error;
  std::string outcome = ParseArguments((int)argv.size(), argv.data(), &options, &error)
                            ? "accepted" : FuzzOutcome(error);
  // Which readers take the first argument as their kind of word.
  const std::wstring& w = words[1];
  ULONGLONG u;
  long long n;
  COLORREF color;
  SYSTEMTIME time;
  std::vector<Token> tokens;
  bool taken[] = {ParseUnsigned(w, ~0ULL, &u), ParseInt(w, -(1LL << 62), 1LL << 62, &n),
                  ParseSize(w, &u), ParseDuration(w, &n), ParseColor(w, &color),
                  ParseDateTime(w, words.size() > 2 ? words[2] : L"", &time),
                  IsPlainFileName(w), Tokenize(text, &tokens, &error)};
  for (bool t : taken) outcome += t ? " +" : " -";
  return outcome;
}

int main(int argc, char** argv) { return FuzzMain(argc, argv, "host_words", ReadCommandLine); }
