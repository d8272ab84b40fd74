#!/bin/bash
# Each row: a script's command line, the status it must end with, and what
# it must say. None of them may get as far as building.
set -u
cd "$1/scripts"
status=0
while IFS='|' read -r line expected said; do
  read -ra words <<< "$line"
  actual=0
  err="$(timeout 20 bash "${words[@]}" 2>&1)" || actual=$?
  if [ "$actual" != "$expected" ] || [[ "$err" != *"$said"* ]]; then
    echo "scripts/$line: status $actual, said: $err (expected $expected, saying '$said')"
    status=1
  fi
done <<'ROWS'
fuzz.sh --help|0|usage: scripts/fuzz.sh
fuzz.sh --out|2|--out needs a value
fuzz.sh --build|2|--build needs a value
fuzz.sh --replay T|2|no target named 'T'
fuzz.sh --replay scenario|2|needs a value
fuzz.sh 1 --target bogus|2|no target named 'bogus'
fuzz.sh --seed 0x1|2|--seed takes a whole number
fuzz.sh 1s|2|SECONDS takes a whole number
bench.sh --help|0|usage: scripts/bench.sh
bench.sh --quick --fast|2|unknown option '--fast'
demo.sh -h|0|usage: scripts/demo.sh
demo.sh --live --window|2|one of --live and --window
demo.sh pictures|2|unknown option 'pictures'
test.sh --help|0|usage: scripts/test.sh
test.sh -R|2|-R needs a value
test.sh -j -R x|2|-j needs a value
test.sh --checked|2|unknown option '--checked'
soak.sh --help|0|usage: scripts/soak.sh
soak.sh -j many|2|-j takes a whole number
ROWS
exit $status
