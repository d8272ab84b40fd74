#!/bin/bash
# The device's API as a gate: every external name that the system's objects
# refer to is on the device's list (platform/ce/DeviceApi.txt) or defined by
# those objects themselves. A name routed in CeApi.h (CeGetTickCount) counts as
# the name it routes (GetTickCount). Fails naming each other name and the
# object that refers to it, and each direct call of a name the list marks as
# failable ("!"): those go through their stand-in (CeApi.h), where the checked
# build can fail them (platform/checked/FaultInjection.h, whose list of
# failable calls must be the same).
#   ApiGate.sh NM API_LIST CEAPI_H OBJECT...
# An OBJECT may be a CMake list (a;b;c); files other than objects are skipped.
set -euo pipefail
nm=$1 list=$2 ceapi=$3
shift 3
objects=()
for arg in "$@"; do
  IFS=';' read -ra files <<<"$arg"
  for f in "${files[@]}"; do
    case $f in *.obj | *.o) objects+=("$f") ;; esac
  done
done
[ ${#objects[@]} -gt 0 ] || { echo "ApiGate: no objects given"; exit 2; }

# "object<TAB>name": the C name without the import prefix or 32-bit x86
# decoration, a C++ name without its arguments; operator new and delete keep
# theirs (the sized delete is not the device's), with size_t at every word size.
names() {
  local object
  for object in "${objects[@]}"; do
    "$nm" -C "$@" "$object" |
      sed -E '/^$/d; /:$/d; s/^[[:space:]]*([0-9a-fA-F]+[[:space:]]+)?[A-Za-z][[:space:]]+//;
              s/^_imp__//; s/^__imp_//; /^operator (new|delete)/!s/\(.*$//; s/@[0-9]+$//;
              s/unsigned (int|long long)\)$/size_t)/' |
      sed "s|^|${object##*/}\t|"
  done
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed -E 's/[[:space:]]*#.*$//' "$list" | grep -Ev '^(\[|$)' | sed -E 's/[[:space:]]+!$/\t!/' >"$work/list"
# The stand-ins CeApi.h declares (CE-only calls keep the device's own name).
sed -nE 's/.*WINAPI ([A-Za-z0-9_]+)\(.*/\1/p' "$ceapi" >"$work/standins"
injection=$(dirname "$ceapi")/../checked/FaultInjection.h
grep -oE 'X\([A-Za-z0-9_]+\)' "$injection" | sed -E 's/X\((.*)\)/\1/' >"$work/injected"
sed -nE 's/^#define ([A-Za-z0-9_]+) (Ce[A-Za-z0-9_]+)$/\2\t\1/p' "$ceapi" >"$work/routed"
names -g --defined-only >"$work/defined"
names -u >"$work/used"
[ -s "$work/routed" ] && [ -s "$work/used" ] || { echo "ApiGate: nothing read"; exit 2; }

awk -F'\t' -v listed="$work/list" -v listname="$list" -v routed="$work/routed" -v defined="$work/defined" -v objects=${#objects[@]} \
    -v standins="$work/standins" -v injected="$work/injected" '
  BEGIN {
    while ((getline line < listed) > 0) {
      n = split(line, l, "\t"); ok[l[1]] = 1; count++
      if (n > 1) failable[l[1]] = 1
    }
    while ((getline line < standins) > 0) standin[line] = 1
    while ((getline line < injected) > 0) known[line] = 1
    for (f in failable) if (!(f in known)) { printf "%s is marked failable but the fault injection does not know it\n", f; bad++ }
    for (f in known) if (!(f in failable)) { printf "%s can be failed but is not marked failable (%s)\n", f, listname; bad++ }
    while ((getline line < routed) > 0) { split(line, r, "\t"); as[r[1]] = r[2] }
    while ((getline line < defined) > 0) { split(line, d, "\t"); own[d[2]] = 1 }
  }
  {
    name = $2 in as ? as[$2] : $2
    if ($2 in own) next
    seen[name] = 1
    if (!(name in ok)) {
      printf "%s: %s is not on the device (%s)\n", $1, name, listname; bad++
    } else if ((name in failable) && !($2 in as) && !(name in standin)) {
      printf "%s: %s can fail and is called directly, not through its stand-in Ce%s\n", $1, name, name; bad++
    }
  }
  END {
    if (bad) { printf "%d call(s) the device does not offer or the fault injection misses\n", bad; exit 1 }
    printf "%d objects: the %d device functions they call are all among the %d on its list, the %d failable ones through their stand-ins\n", objects, length(seen), count, length(failable)
  }' "$work/used"
