// In-process fuzzing: a target is a function that takes one input and answers
// its outcome in a few words (distinct outcomes are counted). FuzzMain runs the
// corpus, then mutated inputs until the time is up; an input that crashes,
// traps or runs over the hang limit is saved and the program exits non-zero.
//   fuzz_<target>.exe CORPUS OUT SECONDS SEED HANG_MS   |   --replay FILE
#pragma once

#include <string>

typedef std::string (*FuzzRun)(const std::string& input);
int FuzzMain(int argc, char** argv, const char* target, FuzzRun run);

// The input as wide text (UTF-8), and a message as an outcome: digits and
// quoted words ('...' or "...") left out, so that kinds of answers count.
std::wstring FuzzWide(const std::string& bytes);
std::string FuzzOutcome(const std::wstring& message);
// Little-endian numbers from the input, 0 past its end.
struct FuzzBytes {
  const std::string& data;
  size_t at = 0;
  unsigned long long Take(size_t bytes);
};
