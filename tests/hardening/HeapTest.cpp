// The checked build's allocator on sound uses (its faults: tests/checked).
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

TEST(GuardedHeap, BlocksBeyondTheSystemsMappingsFreedBlocksDecommittedNullBlocksFail) {
  std::vector<void*> blocks(40000);
  for (void*& block : blocks)
    ASSERT_NE(nullptr, block = malloc(24)) << blocks.size();
  for (void* block : blocks)
    free(block);

  char* big = static_cast<char*>(malloc(1 << 20));
  big[0] = 1;
  const uintptr_t freed = reinterpret_cast<uintptr_t>(big);
  free(big);
  MEMORY_BASIC_INFORMATION info = {};
  ASSERT_NE(0u, VirtualQuery(reinterpret_cast<void*>(freed), &info, sizeof info));
  EXPECT_EQ(DWORD(MEM_RESERVE), info.State) << "quarantined: still reserved, nothing committed";

  EXPECT_EQ(nullptr, HeapReAlloc(GetProcessHeap(), 0, nullptr, 16));
  EXPECT_EQ(SIZE_T(-1), HeapSize(GetProcessHeap(), 0, nullptr));
}
