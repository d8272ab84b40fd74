// The checked build's allocator, linked in place of malloc, calloc, realloc and
// free (so new and delete) and of the process heap calls (cmake/Checked.cmake).
// While fewer than kFenced blocks live, each ends where its pages end, before a
// page never committed: a touch past it faults at once. Beyond that (a process
// has some 65,000 mappings) blocks come from the C runtime's heap. Guard bytes
// before a block and after it up to its 16-byte end (16 more when not fenced)
// are checked when it is freed; a new block not asked to be zeroed is junk. A
// freed fenced block is decommitted, still reserved, and kept out of use for
// the next kQuarantine frees, so a use after free or a double free faults.
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

namespace {

const size_t kPage = 4096, kAlign = 16, kFront = kAlign;  // kFront: guard bytes before a block
const uint64_t kLiveMagic = 0x64656472617567ULL;          // "guarded"
const uint32_t kFromMalloc = 1, kFromHeap = 2;
const unsigned char kGuardByte = 0xAB, kJunkByte = 0xBE;
const long kFenced = 12000;  // each takes two mappings: its pages and the fence
const int kQuarantine = 4096;

struct BlockHeader {  // just before the front guard
  uint64_t magic;
  uint64_t size;  // 64 bits at either word size: 32 bytes in all
  char* base;
  uint32_t pages;  // 0: from the C runtime's heap, not fenced
  uint32_t family;
};
static_assert(sizeof(BlockHeader) % kAlign == 0, "blocks stay 16-byte aligned");

volatile long fencedLive;
char* quarantine[kQuarantine];  // zero before any constructor runs, as is the next slot
int quarantineNext;
SRWLOCK quarantineLock = SRWLOCK_INIT;

extern "C" void* __real_malloc(size_t size);
extern "C" void __real_free(void* block);

[[noreturn]] void HeapFault(const char* what, const void* block, size_t size) {
  fprintf(stderr, "heap check: %s (block %p, %zu bytes)\n", what, block, size);
  fflush(stderr);
  __builtin_trap();
}

size_t Rounded(size_t size) {
  return size ? (size + kAlign - 1) & ~(kAlign - 1) : kAlign;
}
// Guard bytes after a block.
size_t Tail(const BlockHeader* header) {
  return Rounded(header->size) - header->size + (header->pages ? 0 : kAlign);
}

void* NewBlock(size_t size, uint32_t family, bool zeroed) {
  if (size > (SIZE_MAX >> 2))
    return nullptr;
  size_t rounded = Rounded(size);
  size_t pages = (rounded + sizeof(BlockHeader) + kFront + kPage - 1) / kPage;
  char* base = nullptr;  // fenced: one page more reserved, never committed
  if (InterlockedIncrement(&fencedLive) <= kFenced)
    base = (char*)VirtualAlloc(nullptr, (pages + 1) * kPage, MEM_RESERVE, PAGE_NOACCESS);
  if (base && !VirtualAlloc(base, pages * kPage, MEM_COMMIT, PAGE_READWRITE)) {
    VirtualFree(base, 0, MEM_RELEASE);
    base = nullptr;
  }
  if (!base) {
    InterlockedDecrement(&fencedLive);
    pages = 0;
    if (!(base = (char*)__real_malloc(sizeof(BlockHeader) + kFront + rounded + kAlign)))
      return nullptr;
  }
  char* block = pages ? base + pages * kPage - rounded : base + sizeof(BlockHeader) + kFront;
  BlockHeader* header = (BlockHeader*)(block - kFront) - 1;
  *header = {kLiveMagic, size, base, (uint32_t)pages, family};
  memset(block, zeroed ? 0 : kJunkByte, size);
  memset(block - kFront, kGuardByte, kFront);
  memset(block + size, kGuardByte, Tail(header));
  return block;
}

// The header of a live block of this allocator, else null.
BlockHeader* HeaderOf(const void* block) {
  BlockHeader* header = block ? (BlockHeader*)((char*)block - kFront) - 1 : nullptr;
  return header && header->magic == kLiveMagic ? header : nullptr;
}

void CheckGuards(const char* guard, size_t bytes, const char* what, const BlockHeader* header) {
  for (size_t i = 0; i < bytes; i++) {
    if ((unsigned char)guard[i] != kGuardByte)
      HeapFault(what, (const char*)(header + 1) + kFront, header->size);
  }
}

void FreeBlock(BlockHeader* header, void* block, uint32_t family) {
  if (header->family != family)
    HeapFault("freed by the other allocator", block, header->size);
  CheckGuards((char*)block - kFront, kFront, "written before its start", header);
  CheckGuards((char*)block + header->size, Tail(header), "written past its end", header);
  char* base = header->base;
  size_t pages = header->pages;
  header->magic = 0;
  if (!pages)
    return __real_free(base);
  VirtualFree(base, pages * kPage, MEM_DECOMMIT);
  AcquireSRWLockExclusive(&quarantineLock);
  char* oldest = quarantine[quarantineNext];
  quarantine[quarantineNext] = base;
  quarantineNext = (quarantineNext + 1) % kQuarantine;
  ReleaseSRWLockExclusive(&quarantineLock);
  if (oldest) {
    VirtualFree(oldest, 0, MEM_RELEASE);
    InterlockedDecrement(&fencedLive);
  }
}

// A new block with the old one's bytes, zeroed beyond them if asked; the old one is freed.
void* MovedBlock(BlockHeader* header, void* block, size_t size, uint32_t family, bool zeroed) {
  char* moved = (char*)NewBlock(size, family, zeroed);
  if (!moved)
    return nullptr;
  memcpy(moved, block, header->size < size ? header->size : size);
  FreeBlock(header, block, family);
  return moved;
}

// Frees a block this allocator made for `family`; false for any other block.
bool FreeOwn(void* block, uint32_t family) {
  BlockHeader* header = HeaderOf(block);
  if (header)
    FreeBlock(header, block, family);
  return header != nullptr;
}

}  // namespace

extern "C" {

void* __real_realloc(void* block, size_t size);

void* __wrap_malloc(size_t size) {
  return NewBlock(size, kFromMalloc, false);
}

void* __wrap_calloc(size_t count, size_t size) {
  if (size && count > SIZE_MAX / size)
    return nullptr;
  return NewBlock(count * size, kFromMalloc, true);
}

void __wrap_free(void* block) {
  if (!FreeOwn(block, kFromMalloc))
    __real_free(block);  // null, or from the C runtime's own code
}

void* __wrap_realloc(void* block, size_t size) {
  BlockHeader* header = HeaderOf(block);
  if (!block)
    return __wrap_malloc(size);
  if (!header)
    return __real_realloc(block, size);
  if (size)
    return MovedBlock(header, block, size, kFromMalloc, false);
  FreeBlock(header, block, kFromMalloc);
  return nullptr;
}

// The kernel's calls go through their import pointers (at 32 bits named with the symbol prefix
// and the stdcall decoration): the wrapped ones point here, the real ones at the system.
#ifdef _WIN64
#define IMP(wrap, name, bytes) wrap "__imp_" #name
#else
#define IMP(wrap, name, bytes) "_" wrap "_imp__" #name "@" #bytes
#endif
extern decltype(&HeapReAlloc) realHeapReAlloc asm(IMP("__real_", HeapReAlloc, 16));
extern decltype(&HeapFree) realHeapFree asm(IMP("__real_", HeapFree, 12));
extern decltype(&HeapSize) realHeapSize asm(IMP("__real_", HeapSize, 12));

static LPVOID WINAPI GuardedHeapAlloc(HANDLE, DWORD flags, SIZE_T size) {
  return NewBlock(size, kFromHeap, (flags & HEAP_ZERO_MEMORY) != 0);
}

// A null block fails as with the system's heap (Wine's faults): no block, no size.
static LPVOID WINAPI GuardedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size) {
  BlockHeader* header = HeaderOf(block);
  if (!header)
    return block ? realHeapReAlloc(heap, flags, block, size) : nullptr;
  if (flags & HEAP_REALLOC_IN_PLACE_ONLY)
    return nullptr;
  return MovedBlock(header, block, size, kFromHeap, (flags & HEAP_ZERO_MEMORY) != 0);
}

static BOOL WINAPI GuardedHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  return !block || FreeOwn(block, kFromHeap) || realHeapFree(heap, flags, block);
}

static SIZE_T WINAPI GuardedHeapSize(HANDLE heap, DWORD flags, LPCVOID block) {
  BlockHeader* header = HeaderOf(block);
  return !block ? (SIZE_T)-1 : header ? header->size : realHeapSize(heap, flags, block);
}

decltype(&HeapAlloc) wrappedHeapAlloc asm(IMP("__wrap_", HeapAlloc, 12)) = GuardedHeapAlloc;
decltype(&HeapReAlloc) wrappedHeapReAlloc asm(IMP("__wrap_", HeapReAlloc, 16)) = GuardedHeapReAlloc;
decltype(&HeapFree) wrappedHeapFree asm(IMP("__wrap_", HeapFree, 12)) = GuardedHeapFree;
decltype(&HeapSize) wrappedHeapSize asm(IMP("__wrap_", HeapSize, 12)) = GuardedHeapSize;

}  // extern "C"
