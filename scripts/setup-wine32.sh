#!/bin/bash
# A 32-bit Wine for the device build's test runs, unpacked from Debian's i386
# packages into a folder of its own (QUORVANE_WINE32, /opt/quorvane-wine32 by
# default): apt runs with its own lists, cache and architectures, nothing is
# installed, and the system's Wine (64-bit) stays exactly as it is. Made once
# per machine and shared by every clone; run again, it only checks.
#
# Exit status: 0 when the 32-bit Wine is ready, 3 when this kernel cannot run
# 32-bit programs (it says so in one line), anything else on a failure.
set -euo pipefail
HOME_DIR="${QUORVANE_WINE32:-/opt/quorvane-wine32}"
ROOT="$HOME_DIR/root"

if ! /lib32/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "32-bit: not run: this kernel cannot run 32-bit programs"
  exit 3
fi

# The 32-bit Wine talks to the system's wineserver: the same version exactly.
version="$(dpkg-query -W -f='${Version}' wine64)"
if [ "$(cat "$ROOT/.version" 2>/dev/null)" = "$version" ]; then
  exit 0
fi
mkdir -p "$HOME_DIR"
exec 9>"$HOME_DIR/lock"
flock 9
if [ "$(cat "$ROOT/.version" 2>/dev/null)" = "$version" ]; then
  exit 0
fi
start=$SECONDS
APT="$HOME_DIR/apt"
rm -rf "$APT" "$ROOT.new"
mkdir -p "$APT/lists/partial" "$APT/cache/archives/partial" "$ROOT.new"
# Debian's own sources as the system has them; an empty package status, so
# that apt fetches the whole closure of the i386 packages.
cp /etc/apt/sources.list.d/debian.sources "$APT/debian.sources"
: >"$APT/status"
apt_private=(-qq -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$APT"
             -o Dir::State::Lists="$APT/lists" -o Dir::State::status="$APT/status"
             -o Dir::Cache="$APT/cache" -o Debug::NoLocking=1
             -o APT::Architectures::=amd64 -o APT::Architectures::=i386)
apt-get "${apt_private[@]}" update
# The X libraries' 32-bit forms are ones Wine loads at run time (it only
# recommends them).
apt-get "${apt_private[@]}" install --download-only --no-install-recommends -y \
  "wine32:i386=$version" "libwine:i386=$version" libxcursor1:i386 libxi6:i386 \
  libxrandr2:i386 libxrender1:i386 libxext6:i386 libxfixes3:i386 libxinerama1:i386 \
  libxcomposite1:i386 libxxf86vm1:i386 >/dev/null
count=0
for deb in "$APT"/cache/archives/*_i386.deb; do
  dpkg -x "$deb" "$ROOT.new"
  count=$((count + 1))
done

# What installing would have done: the libraries' short names (ldconfig, with
# the system's library folders so the multiarch ones are looked at) ...
mkdir -p "$ROOT.new/etc"
echo 'include /etc/ld.so.conf.d/*.conf' >"$ROOT.new/etc/ld.so.conf"
ldconfig -r "$ROOT.new"
# ... libwine's zlib1.dll, marked as a Wine builtin ...
in=/usr/i686-w64-mingw32/lib/zlib1.dll
out="$ROOT.new/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
{
  head -c 64 "$in"
  printf 'Wine builtin DLL'
  head -c 16 /dev/zero
  tail -c +97 "$in"
} >"$out"
# ... and Wine's fonts (fonts-wine, for every architecture).
mkdir -p "$ROOT.new/usr/share/wine/fonts"
cp -as /usr/share/wine/fonts/. "$ROOT.new/usr/share/wine/fonts/"

# Wine starts its children and restarts itself through the folder of the
# loader it was started from: a `wine` there in the loader's place, which sets
# the library path, catches every start. The wineserver is the system's.
LOADER_DIR="$ROOT.new/usr/lib/wine"
mv "$LOADER_DIR/wine" "$LOADER_DIR/wine.bin"
cat >"$LOADER_DIR/wine" <<EOF
#!/bin/sh
export LD_LIBRARY_PATH="$ROOT/lib/i386-linux-gnu:$ROOT/usr/lib/i386-linux-gnu"
export WINELOADER="$ROOT/usr/lib/wine/wine" WINESERVER=/usr/lib/wine/wineserver
exec "$ROOT/usr/lib/wine/wine.bin" "\$@"
EOF
# What a session puts first on its PATH.
mkdir -p "$ROOT.new/bin"
ln -s ../usr/lib/wine/wine "$ROOT.new/bin/wine"
ln -s /usr/lib/wine/wineserver "$ROOT.new/bin/wineserver"
printf '#!/bin/sh\nexec "%s/usr/lib/wine/wine" wineboot "$@"\n' "$ROOT" >"$ROOT.new/bin/wineboot"
chmod +x "$LOADER_DIR/wine" "$ROOT.new/bin/wineboot"
echo "$version" >"$ROOT.new/.version"
rm -rf "$ROOT"
mv "$ROOT.new" "$ROOT"
rm -rf "$APT"
echo "32-bit: Wine $version unpacked from $count packages into $ROOT in $((SECONDS - start)) s"
