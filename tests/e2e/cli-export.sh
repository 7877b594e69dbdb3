#!/usr/bin/env bash
# The command line end to end on the sample project: the as-shot project
# with its photos "moved" (found through --search), exported at 320 pixels,
# for the parser test to read with its expectations.
# The mobile movies (the sample's box and a tall one) and jpeg2swf's own
# movies at two qualities come too.
# usage: cli-export.sh KALVANE_CLI SAMPLES_FOLDER OUT_FOLDER
set -eu
cli=$1 samples=$2 out=$3
tools=$(dirname "$cli")
mkdir -p "$out"
"$cli" mobile "$samples/turntable/turntable.vpj" -o "$out/cli-mobile.swf" \
  --search "$samples/turntable"
# a box taller than wide: the stage takes the frames' height
{
  printf '[project]\nitemCount=3\nitemRotate=0\n'
  i=0
  for n in 00 06 12; do
    printf '[projectItem%d]\nname=%s\nx=0\ny=0\n' $i "$samples/turntable/turntable_$n.jpg"
    i=$((i + 1))
  done
  printf '[trimBox]\np1x=0.3\np1y=0\np2x=0.7\np2y=1\n'
} > "$out/tall.vpj"
"$cli" mobile "$out/tall.vpj" -o "$out/cli-mobile-tall.swf"
# jpeg2swf's pictures at a quarter of the photos' size: the parser is slow
# on large movies, and the size changes nothing it checks.
small=()
for n in 00 06 12; do
  vips thumbnail "$samples/turntable/turntable_$n.jpg" "$out/small-$n.jpg" 400
  small+=("$out/small-$n.jpg")
done
for q in 72 30; do
  "$tools/jpeg2swf" -r 3 -q $q -o "$out/jpeg2swf-q$q.swf" "${small[@]}"
done
"$cli" export "$samples/turntable/turntable.vpj" -o "$out/cli-sample.swf" --width 320 \
  --search "$samples/turntable"
"$cli" export "$samples/turntable/turntable.vpj" -o "$out/cli-sample-wide.swf" --width 640 \
  --search "$samples/turntable"
# a page set's sharper movie: the same turn at twice the width
"$cli" design "$samples/turntable/turntable.vpj" --design simple/light -o "$out/page-set" --width 320 \
  --search "$samples/turntable" --overwrite > /dev/null
cp "$out/page-set/veldata-2x.swf" "$out/cli-page-2x.swf"
rm -rf "$out/page-set"
# ... but never wider than the cut: the tall box's 640 photo pixels, not 800
"$cli" design "$out/tall.vpj" --design simple/light -o "$out/page-set" --width 400 > /dev/null
cp "$out/page-set/veldata-2x.swf" "$out/cli-page-2x-cut.swf"
rm -rf "$out/page-set"
cat > "$out/manifest-cli.json" <<JSON
[
  {"file": "cli-sample.swf", "frames": 24, "width": 320, "height": 240, "pcLayout": true, "tags": []},
  {"file": "cli-sample-wide.swf", "frames": 24, "width": 640, "height": 480, "pcLayout": true, "tags": []},
  {"file": "cli-page-2x.swf", "frames": 24, "width": 640, "height": 480, "pcLayout": true, "tags": []},
  {"file": "cli-page-2x-cut.swf", "frames": 3, "width": 640, "height": 1200, "pcLayout": true, "tags": []},
  {"file": "cli-mobile.swf", "frames": 1, "width": 160, "height": 120, "pcLayout": false, "tags": [],
   "mobile": {"frames": 24, "width": 160, "height": 120}},
  {"file": "cli-mobile-tall.swf", "frames": 1, "width": 160, "height": 300, "pcLayout": false, "tags": [],
   "mobile": {"frames": 3, "width": 160, "height": 300}},
  {"file": "jpeg2swf-q72.swf", "frames": 3, "width": 400, "height": 300, "pcLayout": false, "tags": [],
   "rate": 3, "quality": 72},
  {"file": "jpeg2swf-q30.swf", "frames": 3, "width": 400, "height": 300, "pcLayout": false, "tags": [],
   "rate": 3, "quality": 30}
]
JSON
