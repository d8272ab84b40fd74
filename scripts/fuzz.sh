#!/bin/bash
# Fuzzes every reader of outside input on the checked build, in process.
#
#   scripts/fuzz.sh [SECONDS] [--seed N] [--target NAME] [--out DIR] [--build DIR] [--hang-ms N]
#       SECONDS per target (default 10); seeds come from tests/fuzz/corpus/<target>/.
#       An input that crashes, traps or hangs (over 1 s of processor time) is saved under DIR
#       (default BUILD/fuzz-out) and its replay command printed. --build: another
#       build folder of the checked preset (default build-checked), with a session
#       of its own, so a long run can go on beside the checked suite. --hang-ms: the
#       processor time an input may take before it counts as a hang (default 1000).
#   scripts/fuzz.sh --replay TARGET FILE
# The same seed gives the same inputs in the same order. QUORVANE_FUZZ_OUTCOMES=1
# lists each target's distinct outcomes. Exits non-zero when a target found a fault.
set -uo pipefail
TARGETS=(scenario host_words about_args registry_string device_numbers pictures)
usage="usage: scripts/fuzz.sh [SECONDS] [--seed N] [--target NAME] [--out DIR] [--build DIR]
                       [--hang-ms N] | --replay TARGET FILE      targets: ${TARGETS[*]}"
source "$(dirname "$0")/options.sh"
known_target() {
  [[ " ${TARGETS[*]} " == *" $2 "* ]] || usage_error "$1: no target named '$2'"
}
seconds=10 seed="$(( (RANDOM << 15) | RANDOM ))" out="" only="" build="" hang=1000
replay=()
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) echo "$usage"; exit 0 ;;
    --seed) need_number "$@"; seed="$2"; shift 2 ;;
    --hang-ms) need_number "$@"; hang="$2"; shift 2 ;;
    --target) need_value "$@"; known_target "$@"; only="$2"; shift 2 ;;
    --out) need_value "$@"; out="$(realpath -m "$2")"; shift 2 ;;
    --build) need_value "$@"; build="$(realpath -m "$2")"; shift 2 ;;
    --replay)
      need_value "$@"; known_target "$@"; need_value "$1 $2" "${3:-}"
      [ -f "$3" ] || usage_error "--replay: no file '$3'"
      replay=("$2" "$(realpath "$3")"); shift 3 ;;
    [0-9]*) need_number SECONDS "$1"; seconds="$1"; shift ;;
    *) usage_error "unknown option '$1'" ;;
  esac
done
windows() { local p="Z:$1"; echo "${p//\//\\}"; }

cd "$(dirname "$0")/.."
build="${build:-$PWD/build-checked}"
out="${out:-$build/fuzz-out}" root="$PWD"
[ -f "$build/CMakeCache.txt" ] || cmake --preset checked -B "$build" >/dev/null
cmake --build "$build" -j 2 >/dev/null || { echo "fuzz: the checked build failed" >&2; exit 2; }
"$build/wine-session" start
at_exit "$build/wine-session" stop
cd "$build/bin"

if [ ${#replay[@]} -gt 0 ]; then
  ../wine-run "fuzz_${replay[0]}.exe" --replay "$(windows "${replay[1]}")"
  exit
fi
status=0
for target in "${TARGETS[@]}"; do
  [ -n "$only" ] && [ "$only" != "$target" ] && continue
  found="$out/$target/seed-$seed"
  rm -rf "$found" && mkdir -p "$found"
  if ! ../wine-run "fuzz_$target.exe" "$(windows "$root/tests/fuzz/corpus/$target")" \
         "$(windows "$found")" "$seconds" "$seed" "$hang"; then
    status=1
    for f in "$found"/*; do
      [ -f "$f" ] && echo "replay: scripts/fuzz.sh --build '$build' --replay $target '$f'"
    done
  fi
done
exit $status
