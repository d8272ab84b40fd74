#!/bin/bash
# Installs what the build and the Wine runs need (Debian 12, as root), then
# configures and builds. Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

# Wine with what it recommends (X extensions, its own fonts): the pictures the
# tests compare depend on them.
PACKAGES=(cmake make g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
          binutils-mingw-w64-x86-64 googletest wine wine64 fonts-wine fonts-liberation
          fonts-dejavu-core
          xvfb x11-utils util-linux
          # the device build: its word size (i686), its ARM compile (clang) and API gate (llvm-nm)
          g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 clang llvm)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake --preset default >/dev/null
cmake --build --preset default
