#!/bin/bash
# The device at every session start: its browser (the stand-in) at
# \Windows\iexplore.exe in the device's file system, then the product
# installed from its manifest, as the device's installer would (again after a
# rebuild: the install replaces its own files).
set -eu
if [ -f "$BIN_DIR/BrowserStandIn.exe" ]; then
  cp -f "$BIN_DIR/BrowserStandIn.exe" "$DEVICE_DIR/Windows/iexplore.exe"
fi
if [ -f "$BIN_DIR/DeviceInstall.exe" ]; then
  wine "$BIN_DIR/DeviceInstall.exe" install
fi
