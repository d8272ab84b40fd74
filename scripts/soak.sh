#!/bin/bash
# Builds everything and runs the long soak: 100,000 paints and 10,000 taps
# (hardening_soak), and 1,000 About dialogs (about_dialog_tests), a few
# minutes under Wine. `ctest` runs the same tests with short counts.
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: scripts/soak.sh [-R REGEX] [-E REGEX] [-j N] [-V]   (passed to ctest -L soak)"
source scripts/options.sh
take_ctest_options "$@"
scripts/setup.sh
export QUORVANE_SOAK_PAINTS=100000 QUORVANE_SOAK_TAPS=10000 QUORVANE_SOAK_DIALOGS=1000
at_exit build/wine-session stop
ctest --preset default -L soak --output-on-failure "${ctest_args[@]}"
# Every use of every failable call failed once: the checked build can fail them.
cmake --preset checked >/dev/null
cmake --build --preset checked
at_exit build-checked/wine-session stop
QUORVANE_FAULT_EVERY=1 ctest --preset checked -R hardening_faults_every --output-on-failure
