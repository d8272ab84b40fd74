#!/bin/bash
# The bench's figures on a short run (the test bench_figures): each ratio is
# its measured figure over its baseline, each time is above zero, and the item
# paints 60 times in an idle hour with the clock shown and never with a card.
#   usage: bench/CheckFigures.sh BUILD_DIR
set -u
table="$("$1/wine-run" "$1/bin/Bench.exe" 20 2 2>&1)" || { echo "Bench.exe failed: $table"; exit 1; }
echo "${table//$'\r'/}" | awk -F'|' '
  { print }
  NR > 2 && NF == 7 {
    name = $2; gsub(/^ +| +$/, "", name); m = $3 + 0; b = $4 + 0; r = $5 + 0
    if (name ~ /^idle paints/) {
      want = name ~ /clock/ ? 60 : 0
      if (m != want) { print "FAIL: " name " is " m ", not " want; bad = 1 }
    } else if (m <= 0 || b <= 0) { print "FAIL: " name " is not above zero"; bad = 1 }
    slack = 0.005 + (0.005 + 0.005 * m / b) / (b - 0.005)
    if (b > 0.005 && (r - m / b > slack || m / b - r > slack)) {
      print "FAIL: " name ": ratio " r " is not " m " / " b; bad = 1
    }
    rows++
  }
  END { if (rows < 9) print "FAIL: " rows + 0 " figures, not 9 or more"; exit bad || rows < 9 }'
