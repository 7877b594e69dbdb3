#!/usr/bin/env bash
# The sample project's page sets in two designs (help on and off), opened in
# headless Chromium, and movies from elsewhere in the viewer.
# usage: viewer-test.sh KALVANE_CLI WRITE_MOVIES SAMPLE_PROJECT OUT
set -eu
cli=$1 movies=$2 project=$3 out=$4
case "$out" in
  */e2e-sites) rm -rf "$out" ;;
  *) echo "viewer-test.sh: $out is not an e2e-sites folder" >&2; exit 2 ;;
esac
"$cli" design "$project" --design shop/framed -o "$out/framed" --width 400 > /dev/null
"$cli" design "$project" --design simple/dark -o "$out/dark" --no-help --width 400 > /dev/null
"$movies" --viewer-cases "$out/cases"
for case in legacy compressed reordered large; do
  cp "$out/dark/velzoom.html" "$out/dark/velzoom.js" "$out/dark/style.css" "$out/dark/poster.jpg" "$out/cases/$case/"
done
exec node "$(dirname "$0")/viewer.mjs" "$cli" "$out/framed" "$out/dark" "$out/cases" "$project"
