// The fuzz loop shared by every target (see FuzzDriver.h).
#include "FuzzDriver.h"

#include <windows.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

namespace {

const char* target;
std::string out, current;  // the folder for saved inputs ("" when replaying); the input
ULONGLONG hangMs = 1000, state;

unsigned long long Random() {  // xorshift64*
  state ^= state >> 12, state ^= state << 25, state ^= state >> 27;
  return state * 2685821657736338717ULL;
}
size_t Below(size_t n) {
  return n ? Random() % n : 0;
}

// Saves the input that failed as OUT\<target>-<kind> (scripts/fuzz.sh prints
// the command that replays it) and ends the program.
void SaveAndExit(const char* kind) {
  fprintf(stderr, "%s: FAULT (%s) on a %zu-byte input\n", target, kind, current.size());
  if (!out.empty())
    std::ofstream(out + "\\" + target + "-" + kind, std::ios::binary) << current;
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 1);
}
LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
  char kind[40];
  snprintf(kind, sizeof kind, "crash-%08lx-at-%p", info->ExceptionRecord->ExceptionCode,
           info->ExceptionRecord->ExceptionAddress);
  SaveAndExit(kind);
  return EXCEPTION_EXECUTE_HANDLER;
}
// A hang is an input that used more than hangMs of its thread's processor
// time (so a loaded machine is no hang), or sat 30 times as long by the clock.
HANDLE mainThread;
volatile ULONGLONG serial;  // twice the inputs run, plus one while one runs
ULONGLONG ThreadMs() {
  FILETIME created, ended, kernel, user;
  GetThreadTimes(mainThread, &created, &ended, &kernel, &user);
  auto ticks = [](FILETIME t) { return ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime; };
  return (ticks(kernel) + ticks(user)) / 10000;
}
DWORD WINAPI Watchdog(void*) {
  for (ULONGLONG seen = ~0ULL, cpuAt = 0, clockAt = 0;; Sleep(50)) {
    ULONGLONG now = GetTickCount64();
    if (serial != seen || serial % 2 == 0)
      seen = serial, cpuAt = ThreadMs(), clockAt = now;
    else if (ThreadMs() - cpuAt > hangMs || now - clockAt > 30 * hangMs)
      SaveAndExit("hang");
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

const char* const kNumbers[] = {
    "0",          "-1",          "2147483648",         "4294967296", "18446744073709551615",
    "2147483647", "-2147483648", "9223372036854775808"};
const unsigned long long kBinary[] = {0, ~0ULL, 1ULL << 31, 1ULL << 32, 0x7FFFFFFF, 0x80};

// One mutation: a bit flip, random bytes in, bytes out, a splice with another
// seed, an interesting number as text or as bytes, or a long run.
void Mutate(std::string& s, const std::vector<std::string>& seeds) {
  size_t at = Below(s.size() + 1);
  const std::string& other = seeds[Below(seeds.size())];
  size_t from = Below(other.size() + 1);
  unsigned long long n = kBinary[Below(6)];
  std::string piece(1, char(Random())), run;
  switch (Below(7)) {
    case 0:
      if (!s.empty())
        s[Below(s.size())] ^= char(1 << Below(8));
      break;
    case 1:
      for (size_t k = 1 + Below(8); k--;)
        s.insert(at, 1, char(Random()));
      break;
    case 2:
      s.erase(at, 1 + Below(16));
      break;
    case 3:
      s = s.substr(0, at) + other.substr(from, Below(other.size() - from + 1));
      break;
    case 4:
      s.insert(at, kNumbers[Below(8)]);
      break;
    case 5:
      s.insert(at, std::string((const char*)&n, size_t(1) << Below(4)));
      break;
    default:
      if (at < s.size() && Below(2))
        piece = s.substr(at, 1 + Below(8));
      for (size_t k = 16 + Below(4000); run.size() < k;)
        run += piece;
      s.insert(at, run);
  }
  if (s.size() > 65536)
    s.resize(65536);
}

std::string RunOne(FuzzRun run, const std::string& input) {
  current = input;
  serial++;
  std::string outcome = run(current);
  serial++;
  return outcome;
}

}  // namespace

std::wstring FuzzWide(const std::string& bytes) {
  std::wstring text(bytes.size(), L'\0');
  text.resize(
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &text[0], (int)text.size()));
  return text;
}

std::string FuzzOutcome(const std::wstring& message) {
  std::string outcome;
  wchar_t quote = 0;  // the quote that opened the quoted word being left out
  for (wchar_t c : message) {
    if (quote ? c == quote : c == L'\'' || c == L'"')
      quote = quote ? 0 : c, outcome += '\'';
    else if (!quote && (c < L'0' || c > L'9'))
      outcome += c < 128 ? char(c) : '?';
  }
  return outcome;
}

unsigned long long FuzzBytes::Take(size_t bytes) {
  unsigned long long v = 0;
  for (size_t i = 0; i < bytes; i++, at++)
    if (at < data.size())
      v |= (unsigned long long)(unsigned char)data[at] << (8 * i);
  return v;
}

int FuzzMain(int argc, char** argv, const char* name, FuzzRun run) {
  target = name;
  SetUnhandledExceptionFilter(OnCrash);
  signal(SIGABRT, [](int) { SaveAndExit("abort"); });
  if (argc == 3 && std::string(argv[1]) == "--replay") {
    printf("%s: %s\n", target, RunOne(run, ReadFile(argv[2])).c_str());
    return 0;
  }
  if (argc != 6)
    return fprintf(stderr, "usage: see scripts/fuzz.sh\n"), 2;
  out = argv[2];
  double seconds = atof(argv[3]);
  unsigned long long seed = strtoull(argv[4], nullptr, 10);
  hangMs = strtoull(argv[5], nullptr, 10);
  state = seed * 0x9E3779B97F4A7C15ULL | 1;
  mainThread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, GetCurrentThreadId());
  CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

  std::vector<std::string> seeds;
  std::error_code error;
  for (const auto& file : std::filesystem::directory_iterator(argv[1], error))
    if (file.is_regular_file(error))
      seeds.push_back(ReadFile(file.path().string()));
  if (seeds.empty())
    seeds.push_back(std::string());

  std::set<std::string> outcomes;
  unsigned long long inputs = 0;
  for (const std::string& s : seeds)
    outcomes.insert(RunOne(run, s)), inputs++;
  ULONGLONG start = GetTickCount64();
  for (; GetTickCount64() - start < seconds * 1000; inputs++) {
    std::string input = seeds[Below(seeds.size())];
    for (size_t n = 1 + Below(4); n--;)
      Mutate(input, seeds);
    outcomes.insert(RunOne(run, input));
  }
  double took = (GetTickCount64() - start) / 1000.0;
  printf(
      "%-16s seed %-20llu %8llu inputs in %5.1f s (%6.0f/s), %4zu distinct outcomes, "
      "0 faults\n",
      target, seed, inputs, took, inputs / (took + 1e-9), outcomes.size());
  if (getenv("QUORVANE_FUZZ_OUTCOMES"))
    for (const std::string& o : outcomes)
      printf("  %s\n", o.c_str());
  return 0;
}
