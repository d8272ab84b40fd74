#!/bin/bash
# Live mode: the browser stand-in hands the product page's device path to the
# desktop's browser as the installed file. Wine's winebrowser is pointed at a
# recorder instead of a real browser for the run.
#   LiveProductInfo.sh BUILD_DIR
set -u
build="$1"
fail() { echo "LiveProductInfo: FAIL: $*"; exit 1; }
work="$(mktemp -d /tmp/live-page-XXXXXX)"
eval "$("$build/wine-session" env)"
cleanup() {
  wine reg delete 'HKCU\Software\Wine\WineBrowser' /v Browsers /f >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
printf '#!/bin/sh\nprintf "%%s" "$1" > "%s/opened.tmp" && mv "%s/opened.tmp" "%s/opened"\n' \
  "$work" "$work" "$work" > "$work/browser"
chmod +x "$work/browser"
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /t REG_SZ /d "$work/browser" /f \
  >/dev/null 2>&1 || fail "cannot point winebrowser at the recorder"

# The About dialog's start: the browser with the page's device path as its argument.
page='\Program Files\Tessel-Quarry\Quorvane\MiniSite\home.htm'
CE_DEVICE=live "$build/wine-run" cmd /c "D:\\Windows\\iexplore.exe $page" >/dev/null 2>&1
for _ in $(seq 1 600); do [ -f "$work/opened" ] && break; sleep 0.05; done
[ -f "$work/opened" ] || fail "the desktop's browser was not started within 30 s"
url="$(cat "$work/opened")"
echo "the desktop's browser opened: $url"
file="$(printf '%b' "${url//%/\\x}")" file="${file#file://}"
installed="$build/wine/device/Program Files/Tessel-Quarry/Quorvane/MiniSite/home.htm"
[ "${url#file://}" != "$url" ] && cmp -s "$file" "$installed" || \
  fail "that is not the installed page $installed"
echo "LiveProductInfo: the installed page opened on the desktop"
