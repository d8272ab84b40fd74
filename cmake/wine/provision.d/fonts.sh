#!/bin/bash
# Wine's own fonts that the session needs, in the prefix's Fonts folder where
# every Wine process finds them: Marlett draws the caption buttons' glyphs
# (without it they show as letters). This Wine build does not look in its
# own font folder, /usr/share/wine/fonts (fonts-wine).
set -eu
FONTS="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$FONTS"
for font in marlett.ttf; do
  cp -u "/usr/share/wine/fonts/$font" "$FONTS/$font"
done
