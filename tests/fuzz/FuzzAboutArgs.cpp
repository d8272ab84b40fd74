// The About program's command line as the desktop hands it over: the program
// token, then the CE argument that decides between wake-up notice and dialog;
// and the device path of a program to start, in buffers of every size, and
// as a plain device path (each part a device file name).
#include "CeApi.h"
#include "CeCommandLine.h"
#include "FuzzDriver.h"

static std::string ReadAboutLine(const std::string& input) {
  std::wstring line = FuzzWide(input);
  const wchar_t* argument = CeCommandArgument(line.c_str());
  // The argument is the end of the line, never outside it.
  if (argument < line.c_str() || argument > line.c_str() + line.size())
    __builtin_trap();
  std::string outcome = wcscmp(argument, APP_RUN_AFTER_WAKEUP) == 0 ? "wake-up" : "dialog";
  std::wstring path(line.size() + 4, L'x');
  for (size_t chars : {(size_t)0, (size_t)1, line.size() / 2, line.size(), line.size() + 3}) {
    bool fits = DeviceFilePath(line.c_str(), &path[0], chars);
    if (chars && (!fits ? path[0] != 0 : wcslen(path.c_str()) >= chars))
      __builtin_trap();
    outcome += fits ? " fits" : " cut";
  }
  if (IsPlainDevicePath(line.c_str()))
    outcome += " plain";
  return outcome;
}

int main(int argc, char** argv) {
  return FuzzMain(argc, argv, "about_args", ReadAboutLine);
}
