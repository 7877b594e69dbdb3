#!/usr/bin/env bash
# Page sets of every design with the product's name, and variants of their
# viewer's autoplay and loading settings, opened in headless Chromium as a
# desktop and as a touch phone.
# usage: pages-test.sh KALVANE_CLI SAMPLE_PROJECT OUT
set -eu
cli=$1 project=$2 out=$3
case "$out" in
  */e2e-pages) rm -rf "$out" ;;
  *) echo "pages-test.sh: $out is not an e2e-pages folder" >&2; exit 2 ;;
esac
title='青いマグカップ <M> & "カップ"'
designs=$("$cli" designs)
for design in $designs; do
  "$cli" design "$project" --design "$design" -o "$out/${design/\//-}" --width 400 --title "$title" > /dev/null
done
# Variants of one set, their settings written as the export writes them.
variant() {
  cp -r "$out/simple-light" "$out/$1"
}
set_var() {
  sed -i "s/^var $2 = \"[^\"]*\";/var $2 = \"$3\";/" "$out/$1/velzoom.js"
}
variant endless && set_var endless spinOnce false
variant resume && set_var resume spinOnce false && set_var resume resumeAfter 1
variant pausing && set_var pausing spinOnce false && set_var pausing stopOnTouch false
variant still && set_var still autoplay false
variant click && set_var click loadOn click
variant long
# the viewer far below the fold of a long page
sed -i 's|<main>|<main><div id="spacer" style="height:4000px"></div>|' "$out/long/velzoom.html"
exec node "$(dirname "$0")/pages.mjs" "$cli" "$out" "$title" $designs
