#!/bin/bash
# Builds everything and runs every test under Wine (one session for the run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
status=0
ctest --preset default "$@" || status=$?
# ctest's fixture stops the session; make sure of it even when ctest was cut short.
build/wine-session stop
exit $status
