// The storage-card search (FindFirstFlashCard / FindNextFlashCard). A search
// handle is a small object of this module, not a kernel handle; CeFindClose
// recognises these and hands every other handle to the real FindClose.
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"
#include "Device.h"

struct CardSearch {
  CardSearch* next;
  DWORD position;
};

// Open searches, so a handle is recognised without touching what it points to;
// touched only under searchLock, so no thread closes a search another uses.
static CardSearch* openSearches;
static SRWLOCK searchLock = SRWLOCK_INIT;

// The link to the open search that `handle` is, or to the list's end (null).
static CardSearch** LinkTo(HANDLE handle) {
  CardSearch** link = &openSearches;
  while (*link && *link != (CardSearch*)handle)
    link = &(*link)->next;
  return link;
}

// The card after `position`, as a folder with the temporary attribute that
// storage cards carry on CE; false with the error set.
static bool FindCard(DWORD* position, CE_FIND_DATA* findData) {
  wchar_t name[MAX_PATH];
  DWORD error = !findData                   ? ERROR_INVALID_PARAMETER
                : !NextCard(position, name) ? ERROR_NO_MORE_FILES
                                            : 0;
  if (error) {
    SetLastError(error);
    return false;
  }
  ZeroMemory(findData, sizeof(*findData));
  findData->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
  lstrcpynW(findData->cFileName, name, MAX_PATH);
  return true;
}

HANDLE WINAPI FindFirstFlashCard(CE_FIND_DATA* findData) {
  DWORD position = 0;
  if (CE_FAILS(FindFirstFlashCard) || !FindCard(&position, findData))
    return INVALID_HANDLE_VALUE;
  auto* search = (CardSearch*)HeapAlloc(GetProcessHeap(), 0, sizeof(CardSearch));
  if (!search) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  search->position = position;
  AcquireSRWLockExclusive(&searchLock);
  search->next = openSearches;
  openSearches = search;
  ReleaseSRWLockExclusive(&searchLock);
  return (HANDLE)search;
}

BOOL WINAPI FindNextFlashCard(HANDLE handle, CE_FIND_DATA* findData) {
  if (CE_FAILS(FindNextFlashCard))
    return FALSE;
  AcquireSRWLockExclusive(&searchLock);
  CardSearch* search = *LinkTo(handle);
  if (!search)
    SetLastError(ERROR_INVALID_HANDLE);
  bool found = search && FindCard(&search->position, findData);
  ReleaseSRWLockExclusive(&searchLock);
  return found;
}

BOOL WINAPI CeFindClose(HANDLE handle) {
  AcquireSRWLockExclusive(&searchLock);
  CardSearch** link = LinkTo(handle);
  AutoHeapFree<CardSearch> closed(*link);
  if (*link)
    *link = closed->next;
  ReleaseSRWLockExclusive(&searchLock);
  return closed ? TRUE : FindClose(handle);
}
