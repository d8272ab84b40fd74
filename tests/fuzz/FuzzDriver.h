// In-process fuzzing: a target is a function that takes one input and answers
// its outcome in a few words (distinct outcomes are counted). FuzzMain runs
// the corpus, then mutated inputs until the time is up; an input that
// crashes, traps or runs over the hang limit is saved with the command that
// replays it, and the program exits non-zero.
//
//   fuzz_<target>.exe --corpus DIR --out DIR [--seconds N] [--seed N] [--hang-ms N]
//   fuzz_<target>.exe --replay FILE
#pragma once

#include <string>

typedef std::string (*FuzzRun)(const std::string& input);
int FuzzMain(int argc, char** argv, const char* target, FuzzRun run);

// Helpers for targets: the input as wide text (UTF-8, invalid bytes kept as
// U+FFFD) and a reader of little-endian numbers that answers 0 past the end.
std::wstring FuzzWide(const std::string& bytes);
// A message as an outcome: digits and quoted words ('...' or \"...\") left out, so that outcomes
// count kinds of answers rather than inputs.
std::string FuzzOutcome(const std::wstring& message);
struct FuzzBytes {
  const std::string& data;
  size_t at = 0;
  unsigned long long Take(size_t bytes);
  std::string Rest() { return at < data.size() ? data.substr(at) : std::string(); }
};
