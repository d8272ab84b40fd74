#!/bin/bash
# The fuzzing engine's own check, on fuzz_self.exe: a seed that crashes, aborts
# or hangs is reported, saved whole and ends the run with status 1; a run that
# finds nothing prints its summary and exits 0.   usage: SelfCheck.sh BUILD_DIR
set -u
build="$1" work="$(mktemp -d)" failed=0
trap 'rm -rf "$work"' EXIT
windows() { local p="Z:$1"; echo "${p//\//\\}"; }
for kind in crash abort hang ran; do
  mkdir -p "$work/$kind/seeds" "$work/$kind/out"
  printf '%s seed' "$kind" >"$work/$kind/seeds/one"
  said="$("$build/wine-run" "$build/bin/fuzz_self.exe" "$(windows "$work/$kind/seeds")" \
            "$(windows "$work/$kind/out")" 1 7 200 2>&1)"
  status=$? said="${said//$'\r'/}"
  saved="$(cat "$work/$kind/out"/fuzz_self-"$kind"* 2>/dev/null)"
  if [ "$kind" = ran ]; then
    [[ $status -eq 0 && "$said" == *"distinct outcomes, 0 faults"* && -z "$(ls "$work/$kind/out")" ]]
  else
    [[ $status -eq 1 && "$said" == *"fuzz_self: FAULT ($kind"* && "$saved" == "$kind seed" ]]
  fi || { echo "fuzz engine, $kind seed: status $status, saved '$saved', said: $said"; failed=1; }
done
exit $failed
