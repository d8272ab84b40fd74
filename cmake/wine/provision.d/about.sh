#!/bin/bash
# The About program's installer part, at every session start: the browser
# stand-in at the device's browser path, the product page, and the About
# program's path under AboutLocation. One wine start (the registry write).
set -eu
DRIVE_C="$WINEPREFIX/drive_c"

if [ -f "$BIN_DIR/BrowserStandIn.exe" ]; then
  cp -f "$BIN_DIR/BrowserStandIn.exe" "$DRIVE_C/windows/iexplore.exe"
fi

SITE="$DRIVE_C/Program Files/Tessel-Quarry/Quorvane/MiniSite"
mkdir -p "$SITE"
cp -f "$SRC_DIR/about/MiniSite/home.htm" "$SITE/home.htm"

# Wine maps Z: to the Unix root, so the Windows path needs no wine start.
if [ "$(readlink "$WINEPREFIX/dosdevices/z:" 2>/dev/null)" = "/" ]; then
  ABOUT_PATH="Z:$(printf '%s' "$BIN_DIR/AboutDashboard.exe" | tr '/' '\\')"
else
  ABOUT_PATH="$(winepath -w "$BIN_DIR/AboutDashboard.exe")"
fi
wine reg add 'HKLM\Software\Tessel-Quarry\Quorvane' /v AboutLocation /t REG_SZ \
  /d "$ABOUT_PATH" /f >/dev/null 2>&1
