// The scenario reader: any script text becomes commands or one refusal.
#include "FuzzDriver.h"
#include "Scenario.h"

static std::string ReadScript(const std::string& input) {
  Scenario scenario;
  std::wstring error;
  if (!ParseScenario(FuzzWide(input), &scenario, &error))
    return FuzzOutcome(error);
  return scenario.commands.empty() ? "empty" : "commands";
}

int main(int argc, char** argv) {
  return FuzzMain(argc, argv, "scenario", ReadScript);
}
