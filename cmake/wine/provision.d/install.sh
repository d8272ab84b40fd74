#!/bin/bash
# The device at every session start: its browser (the stand-in) at
# \Windows\iexplore.exe in the device's file system, then the product
# installed from its manifest, as the device's installer would (again after a
# rebuild: the install replaces its own files). Wine's output goes to a file:
# the services the first wine start leaves running must not hold the
# caller's output open.
set -eu
if [ -f "$BIN_DIR/BrowserStandIn.exe" ]; then
  cp -f "$BIN_DIR/BrowserStandIn.exe" "$DEVICE_DIR/Windows/iexplore.exe"
fi
if [ -f "$BIN_DIR/DeviceInstall.exe" ]; then
  log="$WINE_DIR/install.log"
  if ! wine "$BIN_DIR/DeviceInstall.exe" install </dev/null >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
  fi
fi
