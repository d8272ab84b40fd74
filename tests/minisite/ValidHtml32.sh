#!/bin/bash
# The product page is the HTML 3.2 its DOCTYPE declares: OpenSP's onsgmls
# against W3C's HTML 3.2 DTD (Debian's opensp and w3c-sgml-lib) reports no
# error and no warning. A missing validator fails the test; it never skips.
#
#   ValidHtml32.sh PAGE.htm
set -u
page="${1:?usage: ValidHtml32.sh PAGE.htm}"
catalog=/usr/share/xml/w3c-sgml-lib/schema/dtd/sgml.soc
command -v onsgmls >/dev/null || { echo "FAIL: onsgmls is not installed (opensp)"; exit 1; }
[ -f "$catalog" ] || { echo "FAIL: no $catalog (w3c-sgml-lib)"; exit 1; }
head -1 "$page" | grep -q '^<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 3.2 Final//EN">' ||
  { echo "FAIL: $page does not declare HTML 3.2"; exit 1; }
messages="$(onsgmls -s -c "$catalog" "$page" 2>&1)"
status=$?
[ $status -eq 0 ] && [ -z "$messages" ] || { echo "FAIL: $page is not valid HTML 3.2:"; echo "$messages"; exit 1; }
echo "ValidHtml32: $page is valid HTML 3.2"
