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

// Open searches of this process, so a handle can be recognised without
// touching memory it might not point to. The list and every search on it are
// touched only under searchLock, so no thread closes a search another uses.
static CardSearch* openSearches;
static SRWLOCK searchLock = SRWLOCK_INIT;

static CardSearch* FindOpenSearch(HANDLE handle) {
  for (CardSearch* s = openSearches; s; s = s->next) {
    if (s == (CardSearch*)handle)
      return s;
  }
  return nullptr;
}

// A card shows as a folder; on CE storage cards carry the temporary attribute.
static void FillCardData(CE_FIND_DATA* findData, const wchar_t* name) {
  ZeroMemory(findData, sizeof(*findData));
  findData->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
  lstrcpynW(findData->cFileName, name, MAX_PATH);
}

HANDLE WINAPI FindFirstFlashCard(CE_FIND_DATA* findData) {
  if (CE_FAILS(FindFirstFlashCard))
    return INVALID_HANDLE_VALUE;
  if (!findData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  DWORD position = 0;
  wchar_t name[MAX_PATH];
  if (!NextCard(&position, name)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return INVALID_HANDLE_VALUE;
  }
  CardSearch* search = (CardSearch*)HeapAlloc(GetProcessHeap(), 0, sizeof(CardSearch));
  if (!search) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  search->position = position;
  AcquireSRWLockExclusive(&searchLock);
  search->next = openSearches;
  openSearches = search;
  ReleaseSRWLockExclusive(&searchLock);
  FillCardData(findData, name);
  return (HANDLE)search;
}

BOOL WINAPI FindNextFlashCard(HANDLE handle, CE_FIND_DATA* findData) {
  if (CE_FAILS(FindNextFlashCard))
    return FALSE;
  AcquireSRWLockExclusive(&searchLock);
  CardSearch* search = FindOpenSearch(handle);
  wchar_t name[MAX_PATH];
  DWORD error = !search                              ? ERROR_INVALID_HANDLE
                : !findData                          ? ERROR_INVALID_PARAMETER
                : !NextCard(&search->position, name) ? ERROR_NO_MORE_FILES
                                                     : 0;
  ReleaseSRWLockExclusive(&searchLock);
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  FillCardData(findData, name);
  return TRUE;
}

BOOL WINAPI CeFindClose(HANDLE handle) {
  AcquireSRWLockExclusive(&searchLock);
  CardSearch** link = &openSearches;
  while (*link && *link != (CardSearch*)handle)
    link = &(*link)->next;
  CardSearch* search = *link;
  if (search)
    *link = search->next;
  ReleaseSRWLockExclusive(&searchLock);
  if (!search)
    return FindClose(handle);
  AutoHeapFree<CardSearch> closed(search);
  return TRUE;
}
