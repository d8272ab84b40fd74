// `checked_faults WHAT AT` writes at index AT of a 10-byte block (malloc,
// heap), a freed one (freed) or 4 ints on the stack (stack). The checked build
// must end it with a line on stderr; returning means it went unnoticed.
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv) {
  const wchar_t* what = argc > 2 ? argv[1] : L"";
  volatile int at = argc > 2 ? _wtoi(argv[2]) : 0;
  bool heap = !wcscmp(what, L"heap");
  char* volatile block = heap ? (char*)HeapAlloc(GetProcessHeap(), 0, 10) : (char*)malloc(10);
  if (!wcscmp(what, L"freed"))
    free(block);
  if (!wcscmp(what, L"stack")) {
    int values[4] = {};
    values[at] = 1;
    return values[0];
  }
  block[at] = 1;
  heap ? (void)HeapFree(GetProcessHeap(), 0, block) : free(block);
  return 0;
}
