#!/bin/bash
# Builds what it needs and prints one table of measured figures, each beside
# its baseline from the same run, under Wine on this machine.
#   scripts/bench.sh            everything, the test suite's time included
#   scripts/bench.sh --quick    without timing the test suite
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: scripts/bench.sh [--quick]   (--quick: without timing the test suite)"
source scripts/options.sh
take_flags --quick "$@"
quick="${flags[*]}"
work="$(mktemp -d)"
at_exit rm -rf "$work"
scripts/setup.sh >/dev/null
cmake --build build --target Bench DoNothing FindWindowOnly TodayHost >/dev/null

echo "Quorvane benchmarks on $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
build/wine-session start
at_exit build/wine-session stop
bench="$(build/wine-run build/bin/Bench.exe | tr -d '\r')"
echo "$bench"
measured_us() {  # the measured figure of Bench.exe's row named $1, in microseconds
  echo "$bench" | awk -F'|' -v name="$1" 'index($2, name) {
    split($3, f, " "); print (f[2] == "ms" ? f[1] * 1000 : f[1]); exit }'
}
query_us=$(measured_us "refresh query, nothing changed")
paint_us=$(measured_us "paint (WM_DASHBOARD_REDRAW), clock")

# The host's own pace: scenarios timed whole (start-up included), each
# against a baseline scenario run the same way.
host_seconds() {  # seconds TodayHost.exe takes for the script in $1
  local start end
  start=$(date +%s.%N)
  build/wine-run build/bin/TodayHost.exe --scenario "$1" --out "$work/out" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
}
row() {  # figure, measured s, baseline s, target
  printf '| %-38s | %12s s   | %12s s   | %7.2fx | %-12s |\n' "$1" "$2" "$3" \
    "$(awk -v a="$2" -v b="$3" 'BEGIN { print (b > 0 ? a / b : 0) }')" "$4"
}
printf 'refresh\n' >"$work/empty.txt"
printf 'tap 122 21\nwait 24h\n' >"$work/day-clock.txt"
printf 'card add "Storage Card" total=64MB free=32MB\ntap 122 21\ntap 122 21\nwait 24h\n' \
  >"$work/day-card.txt"
for n in 50 100; do  # fifty rounds: n cards inserted, then pulled out
  for round in $(seq 1 50); do
    for i in $(seq 1 "$n"); do echo "card add C$i total=64MB free=32MB"; done
    for i in $(seq 1 "$n"); do echo "card remove C$i"; done
  done >"$work/cards-$n.txt"
done
for i in $(seq 1 200); do echo "snapshot s$i.png"; done >"$work/frames.txt"
{ cat "$work/frames.txt"; echo "animation strip.gif scale=4"; } >"$work/frames-gif.txt"
empty=$(host_seconds "$work/empty.txt")
minus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a - b }'; }
# A day against the item's own work in it, measured above in this run: 43,200
# refresh queries, and with the clock shown a paint a minute (1,440).
floor() { awk -v q="$query_us" -v p="$paint_us" -v n="$1" \
  'BEGIN { printf "%.2f", (43200 * q + n * p) / 1e6 }'; }
row "day of queries (43,200), clock shown" \
  "$(minus "$(host_seconds "$work/day-clock.txt")" "$empty")" "$(floor 1440)" "<= 1.5x"
row "day of queries (43,200), card shown" \
  "$(minus "$(host_seconds "$work/day-card.txt")" "$empty")" "$(floor 0)" "<= 1.5x"
cards50=$(minus "$(host_seconds "$work/cards-50.txt")" "$empty")
row "50 x 100 cards in and out, against 50" \
  "$(minus "$(host_seconds "$work/cards-100.txt")" "$empty")" "$cards50" "about 2x"
frames=$(host_seconds "$work/frames.txt")
withgif=$(host_seconds "$work/frames-gif.txt")
row "GIF of 200 frames at scale=4, alone" "$(minus "$withgif" "$frames")" "$frames" "<= 5 s"
build/wine-session stop

stripped_kib() {
  x86_64-w64-mingw32-strip -o "$work/stripped" "$1"
  echo "$(( ($(stat -c %s "$work/stripped") + 1023) / 1024 ))"
}
printf '| %-38s | %12s KiB | %16s | %8s | %-12s |\n' "size of Quorvane.dll, stripped" \
  "$(stripped_kib build/bin/Quorvane.dll)" "-" "-" "<= 64 KiB"
printf '| %-38s | %12s KiB | %16s | %8s | %-12s |\n' "size of AboutDashboard.exe, stripped" \
  "$(stripped_kib build/bin/AboutDashboard.exe)" "-" "-" "<= 64 KiB"

if [ -z "$quick" ]; then
  start=$(date +%s.%N)
  ctest --preset default >/dev/null 2>&1 || echo "note: some tests failed during the timing run"
  build/wine-session stop
  end=$(date +%s.%N)
  printf '| %-38s | %12.1f s   | %16s | %8s | %-12s |\n' "test suite, build excluded" \
    "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "-" "-" "<= 120 s"
fi
