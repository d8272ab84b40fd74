// The fuzz loop shared by every target (see FuzzDriver.h).
#include "FuzzDriver.h"

#include <windows.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <vector>

namespace {

struct Fuzzer {
  const char* target;
  std::string out;  // folder for saved inputs
  std::string current;
  volatile ULONGLONG startedAt;  // 0 between inputs
  ULONGLONG hangMs = 1000;
  unsigned long long seed = 0;
  unsigned long long state = 0;
  bool replaying = false;
};
Fuzzer F;

unsigned long long Random() {  // xorshift64*
  F.state ^= F.state >> 12, F.state ^= F.state << 25, F.state ^= F.state >> 27;
  return F.state * 2685821657736338717ULL;
}
size_t Below(size_t n) { return n ? Random() % n : 0; }

// Saves the input that failed and says how to run it again, then ends.
void SaveAndExit(const char* kind) {
  if (F.replaying) {
    fprintf(stderr, "%s: FAULT (%s)\n", F.target, kind);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 1);
  }
  char path[MAX_PATH * 2];
  snprintf(path, sizeof path, "%s\\%s-%s-seed%llu", F.out.c_str(), F.target, kind, F.seed);
  CreateDirectoryA(F.out.c_str(), nullptr);
  if (FILE* f = fopen(path, "wb")) {
    fwrite(F.current.data(), 1, F.current.size(), f);
    fclose(f);
  }
  // Saved through drive Z:, named by its Unix path in the replay command.
  std::string shown = strncmp(path, "Z:", 2) == 0 ? path + 2 : path;
  for (char& c : shown) c = c == '\\' ? '/' : c;
  fprintf(stderr, "%s: FAULT (%s) on a %zu-byte input, saved as %s\n"
          "replay: scripts/fuzz.sh --replay %s '%s'\n",
          F.target, kind, F.current.size(), shown.c_str(), F.target, shown.c_str());
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 1);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
  char kind[80];
  HMODULE module = nullptr;
  void* at = info->ExceptionRecord->ExceptionAddress;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                     GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, (LPCWSTR)at, &module);
  fprintf(stderr, "%s: exception %08lx at %p (module %p)\n", F.target,
          info->ExceptionRecord->ExceptionCode, at, (void*)module);
  snprintf(kind, sizeof kind, "crash-%08lx", info->ExceptionRecord->ExceptionCode);
  SaveAndExit(kind);
  return EXCEPTION_EXECUTE_HANDLER;
}
void OnAbort(int) { SaveAndExit("abort"); }

DWORD WINAPI Watchdog(void*) {
  for (;; Sleep(50)) {
    ULONGLONG started = F.startedAt;
    if (started && GetTickCount64() - started > F.hangMs) SaveAndExit("hang");
  }
}

std::string ReadFile(const std::string& path) {
  std::string data;
  if (FILE* f = fopen(path.c_str(), "rb")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) data.append(buffer, n);
    fclose(f);
  }
  return data;
}

std::vector<std::string> ReadCorpus(const std::string& folder) {
  std::vector<std::string> seeds;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        seeds.push_back(ReadFile(folder + "\\" + found.cFileName));
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  if (seeds.empty()) seeds.push_back(std::string());
  return seeds;
}

const char* const kNumbers[] = {"0", "-1", "2147483648", "4294967296", "18446744073709551615",
                                "2147483647", "-2147483648", "9223372036854775808"};
const unsigned long long kBinary[] = {0, ~0ULL, 1ULL << 31, 1ULL << 32, 0x7FFFFFFF, 0x80};

// One mutation of `s`: the kinds a parser of outside input must survive.
void Mutate(std::string& s, const std::vector<std::string>& seeds) {
  size_t at = Below(s.size() + 1);
  switch (Below(7)) {
    case 0:  // bit flip
      if (!s.empty()) s[Below(s.size())] ^= char(1 << Below(8));
      break;
    case 1: {  // insertion of random bytes
      std::string bytes;
      for (size_t n = 1 + Below(8); n--;) bytes += char(Random());
      s.insert(at, bytes);
      break;
    }
    case 2:  // deletion
      s.erase(at, 1 + Below(16));
      break;
    case 3: {  // splice with another seed
      const std::string& other = seeds[Below(seeds.size())];
      size_t from = Below(other.size() + 1);
      s = s.substr(0, at) + other.substr(from, Below(other.size() - from + 1));
      break;
    }
    case 4:  // interesting number as text
      s.insert(at, kNumbers[Below(sizeof kNumbers / sizeof *kNumbers)]);
      break;
    case 5: {  // interesting number as little-endian bytes
      unsigned long long n = kBinary[Below(sizeof kBinary / sizeof *kBinary)];
      s.insert(at, std::string((const char*)&n, size_t(1) << Below(4)));
      break;
    }
    default: {  // a long run of one byte or of a piece of the input
      std::string piece = s.empty() || Below(2) ? std::string(1, char(Random()))
                                                : s.substr(at == s.size() ? 0 : at, 1 + Below(8));
      std::string run;
      for (size_t n = 16 + Below(4000); run.size() < n;) run += piece;
      s.insert(at, run);
      break;
    }
  }
  if (s.size() > 64 * 1024) s.resize(64 * 1024);
}

std::string RunOne(FuzzRun run, const std::string& input) {
  F.current = input;
  F.startedAt = GetTickCount64();
  std::string outcome = run(F.current);
  F.startedAt = 0;
  return outcome;
}

}  // namespace

std::wstring FuzzWide(const std::string& bytes) {
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
  std::wstring text(n, L'\0');
  if (n) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &text[0], n);
  return text;
}

std::string FuzzOutcome(const std::wstring& message) {
  std::string outcome;
  wchar_t quote = 0;  // the quote that opened the quoted word being left out
  for (wchar_t c : message) {
    if (quote ? c == quote : c == L'\'' || c == L'"') quote = quote ? 0 : c, outcome += '\'';
    else if (!quote && (c < L'0' || c > L'9')) outcome += c < 128 ? char(c) : '?';
  }
  return outcome;
}

unsigned long long FuzzBytes::Take(size_t bytes) {
  unsigned long long v = 0;
  for (size_t i = 0; i < bytes; i++, at++)
    if (at < data.size()) v |= (unsigned long long)(unsigned char)data[at] << (8 * i);
  return v;
}

int FuzzMain(int argc, char** argv, const char* target, FuzzRun run) {
  F.target = target;
  std::string corpus, replay;
  double seconds = 5;
  bool seeded = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string option = argv[i];
    if (option == "--corpus") corpus = argv[i + 1];
    else if (option == "--out") F.out = argv[i + 1];
    else if (option == "--seconds") seconds = atof(argv[i + 1]);
    else if (option == "--seed") F.seed = strtoull(argv[i + 1], nullptr, 10), seeded = true;
    else if (option == "--hang-ms") F.hangMs = strtoull(argv[i + 1], nullptr, 10);
    else if (option == "--replay") replay = argv[i + 1];
  }
  SetUnhandledExceptionFilter(OnCrash);
  signal(SIGABRT, OnAbort);
  if (!replay.empty()) {  // a fault found here ends as it would in the loop
    F.replaying = true;
    printf("%s: %s\n", target, RunOne(run, ReadFile(replay)).c_str());
    return 0;
  }
  if (corpus.empty() || F.out.empty()) {
    fprintf(stderr, "usage: %s --corpus DIR --out DIR [--seconds N] [--seed N] [--hang-ms N]\n"
            "       %s --replay FILE\n", target, target);
    return 2;
  }
  if (!seeded) F.seed = GetTickCount64() ^ GetCurrentProcessId();
  F.state = F.seed * 0x9E3779B97F4A7C15ULL | 1;
  CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

  std::vector<std::string> seeds = ReadCorpus(corpus);
  std::set<std::string> outcomes;
  unsigned long long inputs = 0;
  for (const std::string& seed : seeds) outcomes.insert(RunOne(run, seed)), inputs++;
  ULONGLONG start = GetTickCount64(), limit = (ULONGLONG)(seconds * 1000);
  while (GetTickCount64() - start < limit) {
    std::string input = seeds[Below(seeds.size())];
    for (size_t n = 1 + Below(4); n--;) Mutate(input, seeds);
    outcomes.insert(RunOne(run, input));
    inputs++;
  }
  if (getenv("QUORVANE_FUZZ_OUTCOMES")) for (const std::string& o : outcomes) fprintf(stderr, "  %s\n", o.c_str());
  double took = (GetTickCount64() - start) / 1000.0;
  printf("%-16s seed %-20llu %8llu inputs in %5.1f s (%7.0f/s), %4zu distinct outcomes, "
         "0 faults\n", target, F.seed, inputs, took, took > 0 ? inputs / took : 0.0,
         outcomes.size());
  return 0;
}
