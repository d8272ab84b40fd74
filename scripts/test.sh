#!/bin/bash
# Builds everything and runs every test under Wine (one session for the run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
status=0
ctest --preset default "$@" || status=$?
# ctest's fixture stops the session; make sure of it even when ctest was cut short.
build/wine-session stop

# The device build (build-device/): the deliverables at the device's 32-bit
# word size with their layout asserts, the API gate, and the ARM compile.
# Built and inspected, never run.
cmake --preset device >/dev/null
cmake --build --preset device
ctest --preset device || status=$?
exit $status
