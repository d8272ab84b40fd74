#!/bin/bash
# The product page in a real browser: headless Chromium (Debian's package)
# with a 240 x 320 window opens the installed MiniSite/home.htm where it is
# installed, inside a small checking page that frames it at the device's 240
# pixels. The page must be
# no wider than 240 pixels, load every image (small GIF or JPEG files),
# resolve every local link and carry no script. A browser that cannot run
# fails the test; it never skips.
#
#   PageInBrowser.sh SITE_FOLDER [--screenshot OUT.png]
set -u
fail() { echo "PageInBrowser: FAIL: $*" >&2; exit 1; }

site="${1:-}"
[ $# -eq 1 ] || { [ $# -eq 3 ] && [ "$2" = --screenshot ]; } || \
  fail "usage: PageInBrowser.sh SITE_FOLDER [--screenshot OUT.png]"
[ -f "$site/home.htm" ] || fail "no home.htm in $site (is the product installed?)"
command -v chromium >/dev/null || fail "chromium is not installed (scripts/setup.sh installs it)"

work="$(mktemp -d /tmp/minisite-XXXXXX)"
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# The page's address: its absolute path, each byte of its UTF-8 form outside
# [A-Za-z0-9/._-] as %XX (blanks, "#", "%", "Ü" as %C3%9C).
path="$(realpath "$site/home.htm")" url="file://"
while read -r byte; do
  case "$byte" in
    2[dfe]|3[0-9]|4[1-9a-f]|5[0-9a]|5f|6[1-9a-f]|7[0-9a]) url+="$(printf "\\x$byte")" ;;
    *) url+="%${byte^^}" ;;
  esac
done < <(printf '%s' "$path" | od -An -v -tx1 | tr -s ' ' '\n' | grep .)
sed "s|@PAGE@|$url|" > "$work/check.htm" <<'PAGE'
<!DOCTYPE html><html><body style="margin:0">
<iframe id="f" src="@PAGE@" width="240" height="320" style="border:0"></iframe>
<pre id="result">the page did not load</pre>
<script>
var f = document.getElementById('f');
f.onload = function () {
  var d = f.contentDocument, out = [];
  out.push('width ' + Math.max(d.documentElement.scrollWidth, d.body.scrollWidth));
  out.push('height ' + d.documentElement.scrollHeight);
  out.push('scripts ' + d.scripts.length);
  for (var i = 0; i < d.images.length; i++) {
    var img = d.images[i];
    out.push('image ' + img.getAttribute('src') + ' ' +
             (img.complete && img.naturalWidth > 0 ? 'loads' : 'broken'));
  }
  for (var i = 0; i < d.links.length; i++) {
    var href = d.links[i].getAttribute('href'), ok = false;
    if (/^[a-z]+:/i.test(href)) continue;  // the vendor's site is not local
    if (href.charAt(0) == '#') {
      ok = d.getElementsByName(href.slice(1)).length > 0 || !!d.getElementById(href.slice(1));
    } else {
      try {
        var x = new XMLHttpRequest();
        x.open('GET', d.links[i].href, false);
        x.send();
        ok = x.responseText.length > 0;
      } catch (e) {}
    }
    out.push('link ' + href + ' ' + (ok ? 'resolves' : 'broken'));
  }
  document.getElementById('result').textContent = out.join('\n') + '\ndone';
};
</script></body></html>
PAGE

browse() {
  local out
  out="$(timeout 180 chromium --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --hide-scrollbars --allow-file-access-from-files --user-data-dir="$work/profile" \
    "$@" 2>"$work/browser.log")" || fail "chromium did not run: $(tail -c 400 "$work/browser.log")"
  printf '%s' "$out"
}

report="$(browse --window-size=240,320 --virtual-time-budget=10000 --dump-dom \
  "file://$work/check.htm" | sed -n '/<pre id="result">/,/<\/pre>/p' | \
  sed -e 's/<pre id="result">//' -e 's/<\/pre>.*//' -e 's/&amp;/\&/g' -e 's/&lt;/</g' -e 's/&gt;/>/g')"
echo "$report"
[ "$(printf '%s\n' "$report" | tail -1)" = done ] || fail "the checking page did not finish"

problems=()
fact() { printf '%s\n' "$report" | sed -n "s/^$1 //p"; }
[ "$(fact width)" -le 240 ] || problems+=("the page is $(fact width) pixels wide")
[ "$(fact scripts)" = 0 ] || problems+=("the page has scripts")
[ -n "$(fact image)" ] || problems+=("the page shows no image")
while read -r src state; do
  [ -n "$src" ] || continue
  magic="$(head -c 3 "$site/$src" 2>/dev/null | od -An -tx1 | tr -d ' ')"
  if [ "$state" != loads ] || { [ "$magic" != 474946 ] && [ "$magic" != ffd8ff ]; }; then
    problems+=("image $src: $state, not a loading GIF or JPEG")
  elif [ "$(stat -c %s "$site/$src")" -gt 16384 ]; then
    problems+=("image $src is over 16 KB")
  fi
done <<< "$(fact image)"
while read -r href state; do
  [ -z "$href" ] || [ "$state" = resolves ] || problems+=("link $href is broken")
done <<< "$(fact link)"
[ ${#problems[@]} -eq 0 ] || fail "$(IFS=';'; echo "${problems[*]}")"

if [ $# -eq 3 ]; then
  height="$(fact height)"
  [ "$height" -ge 320 ] || height=320
  browse --window-size=240,"$height" --screenshot="$(realpath -m "$3")" \
    "$url" >/dev/null
  echo "picture: $3 (240 x $height)"
fi
echo "PageInBrowser: the page fits 240 pixels, every image loads, every local link resolves"
