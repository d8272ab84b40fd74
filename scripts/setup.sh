#!/bin/bash
# Installs what the build and the Wine runs need (Debian 12, as root), then
# configures and builds. Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

# Wine with what it recommends (X extensions, its own fonts): the pictures the
# tests compare depend on them. opensp and w3c-sgml-lib validate the product
# page as HTML 3.2.
PACKAGES=(cmake make g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
          binutils-mingw-w64-x86-64 googletest wine wine64 fonts-wine fonts-liberation
          fonts-dejavu-core
          xvfb x11-utils util-linux chromium opensp w3c-sgml-lib)
# The device build: its word size (i686), its ARM compile (clang) and the ARM
# objects' symbols (llvm-nm), and the 32-bit loader that scripts/setup-wine32.sh
# tries. Without what they recommend (clang's is a 270 MB development package
# the build does not use).
DEVICE_PACKAGES=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
                 clang llvm libc6-i386)
missing() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
missing_default=($(missing "${PACKAGES[@]}"))
missing_device=($(missing "${DEVICE_PACKAGES[@]}"))
if [ $((${#missing_default[@]} + ${#missing_device[@]})) -gt 0 ]; then
  echo "setup: installing ${missing_default[*]} ${missing_device[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ ${#missing_default[@]} -gt 0 ]; then
    apt-get install -y -qq "${missing_default[@]}" >/dev/null
  fi
  if [ ${#missing_device[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${missing_device[@]}" >/dev/null
  fi
fi

cmake --preset default >/dev/null
cmake --build --preset default
