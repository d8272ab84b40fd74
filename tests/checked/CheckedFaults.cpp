// Faults the checked build stops at, one named by the argument. Each should
// end the program with a line on stderr; returning means it went unnoticed.
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv) {
  volatile int past = 10;  // one past a 10-byte block, and past 4 ints
  char* volatile block = nullptr;
  const wchar_t* fault = argc > 1 ? argv[1] : L"";
  if (!wcscmp(fault, L"malloc_overrun")) {
    block = (char*)malloc(10);
    block[past] = 1;
    free(block);
  } else if (!wcscmp(fault, L"heap_overrun")) {
    block = (char*)HeapAlloc(GetProcessHeap(), 0, 10);
    block[past] = 1;
    HeapFree(GetProcessHeap(), 0, block);
  } else if (!wcscmp(fault, L"use_after_free")) {
    block = (char*)malloc(10);
    free(block);
    block[0] = 1;
  } else if (!wcscmp(fault, L"stack_index")) {
    int values[4] = {};
    values[past] = 1;
    return values[0];
  }
  return 0;
}
