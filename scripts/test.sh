#!/bin/bash
# Builds everything and runs every test under Wine (one session for the run),
# then the checked build, and the device build at 32 bits. Each part's time is
# printed as it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: scripts/test.sh [-R REGEX] [-E REGEX] [-L LABEL] [-LE LABEL] [-j N] [-V]
                       [--output-on-failure]   (passed to each ctest run)"
source scripts/options.sh
take_ctest_options "$@"
start=$SECONDS
part() { echo "test.sh: $1 took $((SECONDS - start)) s"; start=$SECONDS; }
scripts/setup.sh
part "set-up and the default build"
status=0
ctest --preset default "${ctest_args[@]}" || status=$?
# ctest's fixture stops the session; make sure of it even when ctest was cut short.
build/wine-session stop
part "the default suite"

# The checked build: the same suite with bounds, undefined-behaviour, stack
# and heap checks, then every fuzz target briefly (fixed seed, 6 x 7 s).
cmake --preset checked >/dev/null
cmake --build --preset checked
ctest --preset checked "${ctest_args[@]}" || status=$?
build-checked/wine-session stop
part "the checked build and suite"
scripts/fuzz.sh 7 --seed 1 || status=1
part "fuzzing"

# The device build (build-device/): everything at the device's 32-bit word
# size, warnings as errors, with the API gate and the ARM compile. Where this
# kernel runs 32-bit programs, the whole suite then runs under a 32-bit Wine
# of its own, unpacked (scripts/setup-wine32.sh, beside the build).
log="$(mktemp)"
at_exit rm -f "$log"
scripts/setup-wine32.sh >"$log" 2>&1 &
wine32=$!
cmake --preset device >/dev/null
cmake --build --preset device
wine32_status=0
wait $wine32 || wine32_status=$?
cat "$log"
if [ $wine32_status -eq 0 ]; then
  ctest --preset device "${ctest_args[@]}" 2>&1 | tee "$log" || status=1
  build-device/wine-session stop
  echo "32-bit: the suite under a 32-bit Wine: $(grep -o '[0-9]* tests failed out of [0-9]*' "$log" || echo 'the suite did not finish')"
elif [ $wine32_status -eq 3 ]; then
  ctest --preset device -R '^port_' || status=$?
else
  status=1
fi
part "the device build and its suite"
exit $status
