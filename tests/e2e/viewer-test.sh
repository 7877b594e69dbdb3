#!/usr/bin/env bash
# The sample project's page sets in two designs (help on and off), opened in
# headless Chromium. usage: viewer-test.sh KALVANE_CLI SAMPLE_PROJECT OUT
set -eu
cli=$1 project=$2 out=$3
rm -rf "$out"
"$cli" design "$project" --design shop/framed -o "$out/framed" --width 400 > /dev/null
"$cli" design "$project" --design simple/dark -o "$out/dark" --no-help --width 400 > /dev/null
exec node "$(dirname "$0")/viewer.mjs" "$cli" "$out/framed" "$out/dark"
