#!/bin/bash
# Kills DeviceInstall.exe at a random moment, again and again, and checks
# that the next run heals the device: N installs (default 50) killed on a
# clean device, each followed by an uninstall that must leave it exactly
# clean, and N uninstalls killed on an installed device, each followed by an
# install that must leave it exactly installed. "Exactly": the device's files
# with their checksums, and an export of HKLM\Software. Run by hand (minutes):
#   scripts/install-kills.sh [N]
set -uo pipefail
cd "$(dirname "$0")/.."
n=${1:-50}
build/wine-session start >/dev/null || exit 1
eval "$(build/wine-session env)"
bin=build/bin
device=build/wine/device
export_dir=$(mktemp -d)
trap 'rm -rf "$export_dir"' EXIT

run() { (cd "$bin" && wine DeviceInstall.exe "$@" </dev/null >>"$export_dir/log" 2>&1); }
state() {
  (cd "$device" && find . -type f -print0 | sort -z | xargs -0 md5sum)
  (cd "$bin" && wine reg export 'HKLM\Software' 'Z:'"$export_dir/s.reg" /y >/dev/null 2>&1)
  md5sum <"$export_dir/s.reg"
  (cd "$bin" && wine reg query 'HKCU\Software\CeStandIn\Installed' /s 2>/dev/null) | grep -c 'Plan'
}

run uninstall || exit 1
clean=$(state)
run install || exit 1
installed=$(state)
healed=0 killed=0 failed=0
for verb in install uninstall; do
  for ((i = 1; i <= n; ++i)); do
    if [ $verb = install ]; then run uninstall; want=$clean; next=uninstall
    else run install; want=$installed; next=install; fi
    # Each step of the killed run takes 15 ms more, so that most kills land
    # inside it rather than in Wine's start-up.
    (cd "$bin" && DEVICEINSTALL_STEP_PAUSE_MS=15 exec wine DeviceInstall.exe $verb \
      </dev/null >>"$export_dir/log" 2>&1) &
    pid=$!
    sleep "$(printf 0.%03d $((RANDOM % 1000)))"
    kill -9 $pid 2>/dev/null && killed=$((killed + 1))
    wait $pid 2>/dev/null
    if run $next && [ "$(state)" = "$want" ]; then
      healed=$((healed + 1))
    else
      failed=$((failed + 1))
      echo "$verb $i: the $next after it did not leave the device as it should" >&2
    fi
  done
done
cut=$(grep -c 'an interrupted .* was' "$export_dir/log")
echo "$((2 * n)) runs: $killed killed before they ended ($cut of them after writing their plan," \
  "the others still starting); after each, the next run left the device exactly as it should" \
  "$healed times, $failed not"
[ $failed = 0 ]
