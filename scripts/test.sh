#!/bin/bash
# Builds everything and runs every test under Wine (one session for the run).
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: scripts/test.sh [-R REGEX] [-E REGEX] [-L LABEL] [-LE LABEL] [-j N] [-V]
                       [--output-on-failure]   (passed to each ctest run)"
source scripts/options.sh
take_ctest_options "$@"
scripts/setup.sh
status=0
ctest --preset default "${ctest_args[@]}" || status=$?
# ctest's fixture stops the session; make sure of it even when ctest was cut short.
build/wine-session stop

# The checked build: the same suite with bounds, undefined-behaviour, stack
# and heap checks, then every fuzz target briefly (fixed seed, 6 x 7 s).
cmake --preset checked >/dev/null
cmake --build --preset checked
ctest --preset checked "${ctest_args[@]}" || status=$?
build-checked/wine-session stop
scripts/fuzz.sh 7 --seed 1 || status=1

# The device build (build-device/): the deliverables at the device's 32-bit
# word size with their layout asserts, the API gate, and the ARM compile.
# Built and inspected, never run.
cmake --preset device >/dev/null
cmake --build --preset device
ctest --preset device "${ctest_args[@]}" || status=$?
exit $status
