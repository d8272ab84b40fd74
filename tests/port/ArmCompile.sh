#!/bin/bash
# Compiles the system's code (item/, status/, about/) for the device's
# processor, 32-bit ARM Windows, with clang and the MinGW-w64 headers, warnings
# as errors: plain char is unsigned there and alignment differs. Then holds the
# ARM objects to the device's API (ApiGate.sh).
#   ArmCompile.sh SOURCE_DIR OUT_DIR
set -euo pipefail
src=$1 out=$2
clang=${CLANG:-clang}
nm=${LLVM_NM:-llvm-nm}
rm -rf "$out" && mkdir -p "$out"
export out
flags=(--target=armv7-w64-windows-gnu -nostdinc -isystem "$("$clang" -print-resource-dir)/include"
       -isystem /usr/share/mingw-w64/include -std=c++17 -O2 -fno-exceptions -Wall -Wextra -Werror
       -fno-builtin-sin -fno-builtin-cos -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX
       -D_WIN32_WINNT=0x0601 -DWINVER=0x0601)
for dir in platform/ce contract status; do
  flags+=(-I "$src/$dir")
done
# Each folder with its own resource.h.
count=0
for dir in item status about; do
  sources=("$src/$dir"/*.cpp)
  count=$((count + ${#sources[@]}))
  printf '%s\n' "${sources[@]}" |
    xargs -P 2 -I{} sh -c 'f="$1"; shift; "$@" -c "$f" -o "$out/$(basename "$f" .cpp).o"' \
      sh {} "$clang" "${flags[@]}" -I "$src/$dir" -I "$src/$dir/res"
done
echo "compiled $count sources for armv7-w64-windows-gnu"
exec bash "$(dirname "$0")/ApiGate.sh" "$nm" "$src/platform/ce/DeviceApi.txt" \
  "$src/platform/ce/CeApi.h" "$out"/*.o
