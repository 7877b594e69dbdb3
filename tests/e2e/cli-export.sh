#!/usr/bin/env bash
# The command line end to end on the sample project: the as-shot project
# with its photos "moved" (found through --search), exported at 320 pixels,
# for the parser test to read with its expectations.
# usage: cli-export.sh KALVANE_CLI SAMPLES_FOLDER OUT_FOLDER
set -eu
cli=$1 samples=$2 out=$3
mkdir -p "$out"
"$cli" export "$samples/turntable/turntable.vpj" -o "$out/cli-sample.swf" --width 320 \
  --search "$samples/turntable"
"$cli" export "$samples/turntable/turntable.vpj" -o "$out/cli-sample-wide.swf" --width 1000 \
  --search "$samples/turntable"
cat > "$out/manifest-cli.json" <<JSON
[
  {"file": "cli-sample.swf", "frames": 24, "width": 320, "height": 240, "pcLayout": true, "tags": []},
  {"file": "cli-sample-wide.swf", "frames": 24, "width": 1000, "height": 750, "pcLayout": true, "tags": []}
]
JSON
