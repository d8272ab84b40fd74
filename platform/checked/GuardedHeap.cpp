// The checked build's allocator. The linker routes malloc, calloc, realloc
// and free (and with them operator new and delete) and the process heap calls
// (HeapAlloc, HeapReAlloc, HeapFree, HeapSize) here, in every program and DLL
// of that build only (cmake/Checked.cmake).
//
// While fewer than kFenced blocks live, each block ends where its own pages
// end, before a page never committed: a touch past it faults at once. Beyond
// that (a process has some 65,000 mappings) blocks come from the C runtime's
// heap. Guard bytes lie before every block and after it up to its 16-byte
// aligned end (16 more when it is not fenced), all checked when it is freed;
// a new block not asked to be zeroed is filled with junk. A freed fenced
// block is decommitted, its reservation kept, and quarantined for the next
// few thousand frees, so a use after free faults; a double free faults on the
// block's header. Every fault stops at the faulting instruction or traps with
// a line on stderr: the program ends at once, which is what the tests see.
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

namespace {

const size_t kPage = 4096, kAlign = 16;
const uint64_t kLiveMagic = 0x64656472617567ULL;  // "guarded"
const uint32_t kFromMalloc = 1, kFromHeap = 2;
const unsigned char kGuardByte = 0xAB, kJunkByte = 0xBE;

struct BlockHeader {  // just before the front guard, on the block's first page
  uint64_t magic;
  uint64_t size;  // 64 bits at either word size: 32 bytes in all
  char* base;
  uint32_t pages;  // 0: from the C runtime's heap, not fenced
  uint32_t family;
};
static_assert(sizeof(BlockHeader) % kAlign == 0, "blocks stay 16-byte aligned");
const size_t kFront = kAlign;  // guard bytes between the header and the block

// Live fenced blocks, with those in quarantine well under the system's limit
// of mappings (each takes two: the committed pages and the fence).
const long kFenced = 12000;
volatile long fencedLive;

const int kQuarantine = 4096;
char* quarantine[kQuarantine];  // zero, as is the next slot: usable before any constructor runs
int quarantineNext;
SRWLOCK quarantineLock = SRWLOCK_INIT;

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

extern "C" void* __real_malloc(size_t size);
extern "C" void __real_free(void* block);

// The block's pages, fenced: one page more reserved but never committed.
char* FencedBase(size_t pages) {
  if (InterlockedIncrement(&fencedLive) > kFenced) {
    InterlockedDecrement(&fencedLive);
    return nullptr;
  }
  char* base = (char*)VirtualAlloc(nullptr, (pages + 1) * kPage, MEM_RESERVE, PAGE_NOACCESS);
  if (base && VirtualAlloc(base, pages * kPage, MEM_COMMIT, PAGE_READWRITE))
    return base;
  if (base)
    VirtualFree(base, 0, MEM_RELEASE);
  InterlockedDecrement(&fencedLive);
  return nullptr;
}

void* NewBlock(size_t size, uint32_t family, bool zeroed) {
  if (size > (SIZE_MAX >> 2))
    return nullptr;
  size_t rounded = Rounded(size);
  size_t pages = (rounded + sizeof(BlockHeader) + kFront + kPage - 1) / kPage;
  char* base = FencedBase(pages);
  char* block = base + pages * kPage - rounded;
  if (!base) {
    pages = 0;
    base = (char*)__real_malloc(sizeof(BlockHeader) + kFront + rounded + kAlign);
    if (!base)
      return nullptr;
    block = base + sizeof(BlockHeader) + kFront;
  }
  BlockHeader* header = (BlockHeader*)(block - kFront) - 1;
  *header = {kLiveMagic, size, base, (uint32_t)pages, family};
  memset(block, zeroed ? 0 : kJunkByte, size);
  memset(block - kFront, kGuardByte, kFront);
  memset(block + size, kGuardByte, Tail(header));
  return block;
}

BlockHeader* HeaderOf(void* block) {
  BlockHeader* header = (BlockHeader*)((char*)block - kFront) - 1;
  return header->magic == kLiveMagic ? header : nullptr;
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
  if (!pages) {
    __real_free(base);
    return;
  }
  // Gone from memory, still reserved: any touch faults, nothing stays committed.
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
  if (block && !FreeOwn(block, kFromMalloc))
    __real_free(block);  // from the C runtime's own code
}

void* __wrap_realloc(void* block, size_t size) {
  if (!block)
    return __wrap_malloc(size);
  BlockHeader* header = HeaderOf(block);
  if (!header)
    return __real_realloc(block, size);
  if (!size) {
    FreeBlock(header, block, kFromMalloc);
    return nullptr;
  }
  return MovedBlock(header, block, size, kFromMalloc, false);
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

// A null block fails as with the system's heap: no block, no size.
static LPVOID WINAPI GuardedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size) {
  if (!block)
    return nullptr;
  BlockHeader* header = HeaderOf(block);
  if (!header)
    return realHeapReAlloc(heap, flags, block, size);
  if (flags & HEAP_REALLOC_IN_PLACE_ONLY)
    return nullptr;
  return MovedBlock(header, block, size, kFromHeap, (flags & HEAP_ZERO_MEMORY) != 0);
}

static BOOL WINAPI GuardedHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  return !block || FreeOwn(block, kFromHeap) || realHeapFree(heap, flags, block);
}

static SIZE_T WINAPI GuardedHeapSize(HANDLE heap, DWORD flags, LPCVOID block) {
  if (!block)
    return (SIZE_T)-1;
  BlockHeader* header = HeaderOf(const_cast<LPVOID>(block));
  return header ? header->size : realHeapSize(heap, flags, block);
}

decltype(&HeapAlloc) wrappedHeapAlloc asm(IMP("__wrap_", HeapAlloc, 12)) = GuardedHeapAlloc;
decltype(&HeapReAlloc) wrappedHeapReAlloc asm(IMP("__wrap_", HeapReAlloc, 16)) = GuardedHeapReAlloc;
decltype(&HeapFree) wrappedHeapFree asm(IMP("__wrap_", HeapFree, 12)) = GuardedHeapFree;
decltype(&HeapSize) wrappedHeapSize asm(IMP("__wrap_", HeapSize, 12)) = GuardedHeapSize;

}  // extern "C"
