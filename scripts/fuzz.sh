#!/bin/bash
# Fuzzes every reader of outside input on the checked build, in process.
#
#   scripts/fuzz.sh [SECONDS] [--seed N] [--target NAME] [--out DIR]
#       SECONDS per target (default 10); the corpus is tests/fuzz/corpus/<target>/;
#       inputs that crash, trap or hang (over 1 s) are saved under DIR
#       (default build-checked/fuzz-out) with the command that replays them.
#   scripts/fuzz.sh --replay TARGET FILE
# Exits non-zero when a target found a fault.
set -uo pipefail
cd "$(dirname "$0")/.."
TARGETS=(scenario host_words about_args registry_string device_numbers pictures)
seconds=10 seed="" out="$PWD/build-checked/fuzz-out" only="" replay=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seed) seed="$2"; shift 2 ;;
    --target) only="$2"; shift 2 ;;
    --out) out="$(realpath -m "$2")"; shift 2 ;;
    --replay) replay=("$2" "$(realpath -m "$3")"); shift 3 ;;
    [0-9]*) seconds="$1"; shift ;;
    *) echo "usage: scripts/fuzz.sh [SECONDS] [--seed N] [--target NAME] [--out DIR]" \
            "| --replay TARGET FILE" >&2; exit 2 ;;
  esac
done
windows() { local p="Z:$1"; echo "${p//\//\\}"; }

[ -f build-checked/CMakeCache.txt ] || cmake --preset checked >/dev/null
cmake --build --preset checked >/dev/null || { echo "fuzz: the checked build failed" >&2; exit 2; }
build-checked/wine-session start
trap "$PWD/build-checked/wine-session stop" EXIT
cd build-checked/bin

if [ ${#replay[@]} -gt 0 ]; then
  ../wine-run "fuzz_${replay[0]}.exe" --replay "$(windows "${replay[1]}")"
  exit
fi
mkdir -p "$out"
status=0
for target in "${TARGETS[@]}"; do
  [ -n "$only" ] && [ "$only" != "$target" ] && continue
  ../wine-run "fuzz_$target.exe" --corpus "$(windows "$PWD/../../tests/fuzz/corpus/$target")" \
    --out "$(windows "$out")" --seconds "$seconds" ${seed:+--seed "$seed"} || status=1
done
exit $status
