#!/bin/bash
# Builds everything and shows the strip's device readings.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
trap 'build/wine-session stop' EXIT
build/wine-session start
build/wine-run build/bin/DeviceReadings.exe "$@"
