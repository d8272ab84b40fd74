# Cross-compiles for 32-bit Windows with MinGW-w64 (posix thread flavour): the
# device's word size. The results run under a 32-bit Wine where the kernel can
# run 32-bit programs (scripts/setup-wine32.sh). SSE2 arithmetic, so that doubles
# round as IEEE doubles do on the device and not in x87's 80-bit registers; no
# unwind tables, which nothing uses without exceptions.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -fno-asynchronous-unwind-tables")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -fno-asynchronous-unwind-tables")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
