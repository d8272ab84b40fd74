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

// The open search that `handle` is, taken off the list if `close`; null for
// any other handle. Under searchLock.
static CardSearch* OpenSearch(HANDLE handle, bool close) {
  for (CardSearch** link = &openSearches; *link; link = &(*link)->next) {
    CardSearch* search = *link;
    if (search == (CardSearch*)handle && close)
      *link = search->next;
    if (search == (CardSearch*)handle)
      return search;
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
  CardSearch* search = nullptr;
  wchar_t name[MAX_PATH];
  DWORD position = 0;
  DWORD error = !findData                    ? ERROR_INVALID_PARAMETER
                : !NextCard(&position, name) ? ERROR_NO_MORE_FILES
                : !(search = (CardSearch*)HeapAlloc(GetProcessHeap(), 0, sizeof(CardSearch)))
                    ? ERROR_NOT_ENOUGH_MEMORY
                    : 0;
  if (error) {
    SetLastError(error);
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
  CardSearch* search = OpenSearch(handle, false);
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
  CardSearch* search = OpenSearch(handle, true);
  ReleaseSRWLockExclusive(&searchLock);
  if (!search)
    return FindClose(handle);
  AutoHeapFree<CardSearch> closed(search);
  return TRUE;
}
