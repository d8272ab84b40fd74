// A target that fails on purpose, for the engine's own check (SelfCheck.sh):
// an input that starts "crash", "abort" or "hang" does so.
#include <stdlib.h>

#include "FuzzDriver.h"

static std::string Run(const std::string& input) {
  if (input.rfind("crash", 0) == 0)
    *(volatile int*)nullptr = 1;
  if (input.rfind("abort", 0) == 0)
    abort();
  for (volatile int spin = 0; input.rfind("hang", 0) == 0;)
    spin = spin + 1;
  return "ran";
}

int main(int argc, char** argv) {
  return FuzzMain(argc, argv, "fuzz_self", Run);
}
