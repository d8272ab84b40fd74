#!/bin/bash
# Builds everything and runs the built-in demo scenario headless: the strip's
# life in a minute, as pictures in build/demo-pictures.
#   scripts/demo.sh            the demo's pictures
#   scripts/demo.sh --live     the Today screen on this machine's own readings,
#                              in a window until closed (needs a display)
#   scripts/demo.sh --window   the same on the simulated device
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
trap 'build/wine-session stop' EXIT
case "${1:-}" in
  --live|--window)
    if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
      echo "demo: $1 shows a window and needs a display (DISPLAY)" >&2
      exit 2
    fi
    build/wine-session start
    if [ "$1" = --live ]; then
      build/wine-run build/bin/TodayHost.exe --live
    else
      build/wine-run build/bin/TodayHost.exe
    fi
    ;;
  "")
    out="$PWD/build/demo-pictures"
    rm -rf "$out"
    build/wine-session start
    build/wine-run build/bin/TodayHost.exe --demo --out "$out" >/dev/null
    echo "demo: the strip's life in a minute, in $out:"
    ls "$out"
    ;;
  *)
    echo "usage: scripts/demo.sh [--live | --window]" >&2
    exit 2
    ;;
esac
