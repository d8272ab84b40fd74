# The checked build (preset `checked`): the same programs, tests and tools with
# undefined behaviour and array bounds trapping at the faulting instruction,
# the stack protector, fortified C string calls, and every heap block fenced
# and poisoned by platform/checked/GuardedHeap.cpp, and a one-line report of
# any crash (platform/checked/CrashReport.cpp). Nothing of it ships.
set(checked_flags -fsanitize=undefined,bounds-strict -fsanitize-undefined-trap-on-error
    -fstack-protector-strong -fno-omit-frame-pointer)
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${checked_flags}>")
# MinGW-w64's string.h and stdio.h check the sizes they can see (memcpy,
# strcpy, sprintf, ...); its wchar.h has no such checks.
add_compile_definitions(_FORTIFY_SOURCE=2)
# The failable device calls can be failed on purpose (platform/checked/FaultInjection.h).
add_compile_definitions(QUORVANE_CHECKED)

add_library(guarded_heap STATIC ${CMAKE_SOURCE_DIR}/platform/checked/GuardedHeap.cpp
            ${CMAKE_SOURCE_DIR}/platform/checked/CrashReport.cpp)
# The heap calls are reached through their import pointers. At 32 bits their
# names carry the stdcall decoration, and C names take a leading underscore.
set(c_prefix "")
set(wrapped __imp_HeapAlloc __imp_HeapReAlloc __imp_HeapFree __imp_HeapSize)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(c_prefix _)
  set(wrapped _imp__HeapAlloc@12 _imp__HeapReAlloc@16 _imp__HeapFree@12 _imp__HeapSize@12)
endif()
list(APPEND wrapped malloc calloc realloc free)
list(TRANSFORM wrapped PREPEND "-Wl,--wrap=")
# Asked for up front, so the allocator is linked in before the libraries that
# call it (libstdc++'s operator new among them), and the crash report with it.
add_link_options(${wrapped} -Wl,--undefined=${c_prefix}__wrap_malloc
                 -Wl,--undefined=${c_prefix}quorvaneCrashReport)
link_libraries(guarded_heap ssp)
