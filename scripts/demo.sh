#!/bin/bash
# Builds everything, installs the product on the simulated device from its
# manifest and runs the built-in demo scenario headless on the Today screen
# built from the registry: the strip's life in a minute, as pictures in
# build/demo-pictures, with the product page as the device's browser shows it.
#   scripts/demo.sh            the demo's pictures
#   scripts/demo.sh --live     the Today screen on this machine's own readings,
#                              in a window until closed (needs a display)
#   scripts/demo.sh --window   the same on the simulated device
set -uo pipefail
cd "$(dirname "$0")/.."
usage="usage: scripts/demo.sh [--live | --window]"
source scripts/options.sh
take_flags "--live --window" "$@"
[ ${#flags[@]} -le 1 ] || usage_error "one of --live and --window"
mode="${flags[*]}"
# Each step that fails ends the demo with its status, saying which step and why.
step() {
  local what="$1" status=0
  shift
  "$@" || status=$?
  [ $status -eq 0 ] || { echo "demo: $what failed (status $status)" >&2; exit $status; }
}
step "setting up the machine (scripts/setup.sh)" eval 'scripts/setup.sh >/dev/null'
at_exit build/wine-session stop
if [ -n "$mode" ]; then
  if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    usage_error "$mode shows a window and needs a display (DISPLAY)"
  fi
  step "starting the Wine session" build/wine-session start
  step "the Today host" build/wine-run build/bin/TodayHost.exe ${mode/--window/}
  exit 0
fi
out="$PWD/build/demo-pictures"
rm -rf "$out"
step "starting the Wine session" build/wine-session start
step "installing the product" eval 'build/wine-run build/bin/DeviceInstall.exe install |
  sed "s/^/demo: /"'
step "the demo scenario" eval 'build/wine-run build/bin/TodayHost.exe --demo --out "$out" >/dev/null'
step "the product page in the browser" bash tests/minisite/PageInBrowser.sh \
  "build/wine/device/Program Files/Tessel-Quarry/Quorvane/MiniSite" \
  --screenshot "$out/12-product-page.png" >/dev/null
echo "demo: the strip's life in a minute, in $out:"
ls "$out"
