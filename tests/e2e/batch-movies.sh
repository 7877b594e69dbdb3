#!/usr/bin/env bash
# The movies kalvane-cli batch writes (the data movie and the phones'),
# for the parser test to read with its expectations: three sample photos,
# the default trimming box (1440 x 1080 of 1600 x 1200).
# usage: batch-movies.sh KALVANE_CLI SAMPLES_FOLDER OUT_FOLDER
set -eu
cli=$1 samples=$2 out=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/shots"
cp "$samples"/turntable/turntable_0[0-2].jpg "$work/shots/"
echo '{"id": "mug", "photos": ["shots"], "align": false, "outputs": ["swf", "mobile"]}' >"$work/m.jsonl"
"$cli" batch "$work/m.jsonl" -o "$work/out" >/dev/null
cp "$work/out/mug/veldata.swf" "$out/batch-veldata.swf"
cp "$work/out/mug/mobile.swf" "$out/batch-mobile.swf"
cat >"$out/manifest-batch.json" <<JSON
[
  {"file": "batch-veldata.swf", "frames": 3, "width": 500, "height": 375, "pcLayout": true, "tags": []},
  {"file": "batch-mobile.swf", "frames": 1, "width": 160, "height": 120, "pcLayout": false, "tags": [],
   "mobile": {"frames": 3, "width": 160, "height": 120}}
]
JSON
