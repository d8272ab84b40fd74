#!/bin/bash
# Builds everything, installs the product on the simulated device from its
# manifest and runs the built-in demo scenario headless on the Today screen
# built from the registry: the strip's life in a minute, as pictures in
# build/demo-pictures, with the product page as the device's browser shows it.
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
    build/wine-run build/bin/DeviceInstall.exe install | sed 's/^/demo: /'
    build/wine-run build/bin/TodayHost.exe --demo --out "$out" >/dev/null
    bash tests/minisite/PageInBrowser.sh \
      "build/wine/device/Program Files/Tessel-Quarry/Quorvane/MiniSite" \
      --screenshot "$out/12-product-page.png" >/dev/null
    echo "demo: the strip's life in a minute, in $out:"
    ls "$out"
    ;;
  *)
    echo "usage: scripts/demo.sh [--live | --window]" >&2
    exit 2
    ;;
esac
