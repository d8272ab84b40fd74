#!/bin/bash
# Sets the simulated device from a shell with `wine reg` and checks that a
# separate program reads exactly that through DeviceStatus.
set -u
build="$1"
eval "$("$build/wine-session" env)"
key='HKCU\Software\CeStandIn\SimulatedDevice'
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
# What wine said goes with a failure (wine's output is read from a file, not a pipe).
# On a busy machine Wine now and then fails to start reg.exe itself ("Application could not
# be started"): only that is tried again, a refusal by reg is not.
reg() {
  for _ in 1 2 3; do
    wine reg "$@" >"$out" 2>&1 </dev/null && return
    grep -q 'could not be started' "$out" || break
  done
  echo "wine reg $* failed:"; cat "$out"; exit 1
}

wine reg delete "$key" /f >/dev/null 2>&1 </dev/null
reg add "$key" /v ACLineStatus /t REG_DWORD /d 7 /f     # not a line status: 0
reg add "$key" /v PowerQueryBytes /d 99999999999999999999999 /f  # beyond 64 bits: 56
reg add "$key" /v BatteryPercent /t REG_DWORD /d 37 /f
reg add "$key" /v BatteryLifeTime /t REG_DWORD /d 3725 /f
reg add "$key" /v BatteryVoltage /t REG_DWORD /d 3650 /f
reg add "$key" /v StoreSize /t REG_DWORD /d 0x2000000 /f
reg add "$key" /v StoreFree /t REG_DWORD /d 10485760 /f
reg add "$key" /v StoreQueryFails /t REG_BINARY /d 01000000 /f  # not a number's type: 0
reg add "$key" /v MemoryTotal /t REG_QWORD /d 6442450944 /f  # the device's DWORDs: 4 GiB - 1
reg add "$key" /v MemoryAvail /t REG_SZ /d 5368709120 /f
reg add "$key" /v ClockFrozen /t REG_DWORD /d 1 /f
reg add "$key" /v TickCount /t REG_DWORD /d 123456 /f
reg add "$key" /v LocalTime /d "1980-01-01T00:00:00.250" /f  # the first time it holds
reg add "$key\\Cards\\1" /v Name /d "Storage Card" /f
reg add "$key\\Cards\\1" /v TotalBytes /t REG_QWORD /d 8589934592 /f
reg add "$key\\Cards\\1" /v FreeBytes /t REG_QWORD /d 5368709120 /f
reg add "$key\\Cards\\2" /v Name /d "SD Card" /f
reg add "$key\\Cards\\2" /v QueryFails /t REG_DWORD /d 1 /f

expected="Device: simulated
Local time: 1980-01-01 00:00:00, tick count 123456 ms
Battery: 37%, on battery, 3650 mV
Battery time left: 1:02:05
Memory: 4105 MB free of 4127 MB (object store and program memory)
Storage card 1: Storage Card, 5120 MB free of 8192 MB
Storage card 2: SD Card, size unknown
Ignored: ACLineStatus = 7 (not a number in its range; read as the default)
Ignored: PowerQueryBytes = 99999999999999999999999 (not a number in its range; read as the default)
Ignored: StoreQueryFails = (type 3) (not a number in its range; read as the default)"
# Whatever the caller's TMPDIR, or none, wine-run reaches the session's own wineserver.
actual="$(CE_DEVICE= TMPDIR=/nonexistent "$build/wine-run" "$build/bin/DeviceReadings.exe" |
  tr -d '\r')"
status=0
if [ "$actual" != "$expected" ]; then
  echo "DeviceReadings read:"; echo "$actual"; echo "expected:"; echo "$expected"
  status=1
fi

# Numbers the device cannot hold read as their defaults, each named.
wine reg delete "$key" /f >/dev/null 2>&1 </dev/null
reg add "$key" /v ACLineStatus /t REG_DWORD /d 7 /f
reg add "$key" /v BatteryPercent /t REG_DWORD /d 300 /f
reg add "$key" /v BatteryVoltage /d 0x1FFFFFFFF /f
reg add "$key" /v StoreFree /t REG_QWORD /d 8589934592 /f
reg add "$key" /v MemoryTotal /t REG_QWORD /d 1125899906842624 /f
reg add "$key" /v MemoryAvail /d 99999999999999999999999 /f
reg add "$key" /v LocalTime /d "2100-01-01 00:00:00" /f  # past the last time it holds
reg add "$key\\Cards\\1" /v TotalBytes /t REG_QWORD /d 1125899906842624 /f
expected="Device: simulated
Battery: 80%, on battery, 3900 mV
Battery time left: 2:00:00
Memory: 24 MB free of 48 MB (object store and program memory)
Storage card 1: Storage Card, 32 MB free of 64 MB
Ignored: ACLineStatus = 7 (not a number in its range; read as the default)
Ignored: BatteryPercent = 300 (not a number in its range; read as the default)
Ignored: BatteryVoltage = 0x1FFFFFFFF (not a number in its range; read as the default)
Ignored: StoreFree = 8589934592 (not a number in its range; read as the default)
Ignored: MemoryTotal = 1125899906842624 (not a number in its range; read as the default)
Ignored: MemoryAvail = 99999999999999999999999 (not a number in its range; read as the default)
Ignored: LocalTime = 2100-01-01 00:00:00 (not a number in its range; read as the default)
Ignored: Cards\\1\\TotalBytes = 1125899906842624 (not a number in its range; read as the default)"
# The clock falls back to the machine's, whose time varies.
actual="$(env -u TMPDIR CE_DEVICE= "$build/wine-run" "$build/bin/DeviceReadings.exe" | tr -d '\r' |
  grep -v '^Local time: ')"
if [ "$actual" != "$expected" ]; then
  echo "DeviceReadings read:"; echo "$actual"; echo "expected:"; echo "$expected"
  status=1
fi

# The docs' table of values is the device's own, row for row.
while read -r row; do
  grep -qF -- "$row" "$(dirname "$0")/../../docs/simulated-device.md" ||
    { echo "docs/simulated-device.md lacks: $row"; status=1; }
done < <("$build/wine-run" "$build/bin/DeviceReadings.exe" --values | tr -d '\r')

# A device the environment names wrongly is refused; what the live one does
# not know reads as unknown.
said="$(CE_DEVICE=liv "$build/wine-run" "$build/bin/DeviceReadings.exe" 2>&1)"
[ $? = 2 ] && [[ "$said" == *"live or simulated"* ]] || { echo "CE_DEVICE=liv: $said"; status=1; }
said="$(CE_DEVICE=live "$build/wine-run" "$build/bin/DeviceReadings.exe" | grep '^Battery')"
[[ "$said" != *255%* ]] || { echo "CE_DEVICE=live: $said"; status=1; }

# Leave the device as every other test expects to find it: empty, defaults.
wine reg delete "$key" /f >/dev/null 2>&1 </dev/null
exit $status
