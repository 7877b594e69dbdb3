#!/usr/bin/env bash
# kalvane-cli check on sets made here: a good set passes, each broken rule
# fails with the frame at fault, and frames --max-bytes keeps a limit.
# usage: check-test.sh PATH/TO/kalvane-cli SAMPLE_FOLDER (photos and turntable-aligned.vpj)
set -u
cli=$1
project=$2/turntable-aligned.vpj
. "$(dirname "$0")/expect.sh"

# A product on pure white, as a cut-out shoot gives: 24 squares of 1600.
vips black "$work/base.v" 1600 1600 --bands 3
vips linear "$work/base.v" "$work/white.v" 1 255 --uchar
vips draw_rect "$work/white.v" "40 40 40" 100 150 1400 1300 --fill
mkdir "$work/good"
for i in $(seq -w 1 24); do vips copy "$work/white.v" "$work/good/shoe_$i.jpg[Q=90]"; done
expect "a good set passes" 0 "amazon: 9 of 9 rules passed" "$cli" check "$work/good" --for amazon
(cd "$work/good" && zip -q -0 "$work/good.zip" ./*.jpg)
expect "its zip passes for walmart" 0 "walmart: 5 of 5 rules passed" \
  "$cli" check "$work/good.zip" --for walmart

# One broken rule each.
cp -r "$work/good" "$work/grey"
vips draw_rect "$work/white.v" "243 243 243" 0 412 3 3 --fill
vips copy "$work/white.v" "$work/grey/shoe_07.jpg[Q=100]"
expect "a grey border" 1 "frame 7 \(shoe_07.jpg\): border pixel \([0-5], 41[0-9]\) = 2[0-4][0-9]" \
  "$cli" check "$work/grey" --for amazon
expect "a grey border fails that rule alone" 1 "amazon: 8 of 9 rules passed" \
  "$cli" check "$work/grey" --for amazon
cp -r "$work/good" "$work/more"
for i in $(seq 25 36); do cp "$work/good/shoe_01.jpg" "$work/more/shoe_$i.jpg"; done
expect "36 frames" 1 "FAIL  24, 48 or 72 frames" "$cli" check "$work/more" --for amazon
out=$("$cli" check "$work/more" --for amazon --json)
[ "$(grep -o '"passed": false' <<<"$out" | wc -l)" -eq 2 ] || fail "json: $out"

# --max-bytes lowers the quality until each frame fits, never below 60.
expect "frames within 150000 bytes" 0 "24 frames of 2000 x 2000" \
  "$cli" frames "$project" -o "$work/fit" --count 24 --size 2000 --square --quality 100 \
  --max-bytes 150000
for f in "$work/fit"/*.jpg; do
  [ "$(stat -c %s "$f")" -le 150000 ] || fail "$f is $(stat -c %s "$f") bytes"
done
expect "walmart's size rule holds them" 1 "ok    at most 1.5 MB" \
  "$cli" check "$work/fit" --for walmart
expect "a limit no frame can keep" 1 "turntable-aligned_01.jpg: [0-9]+ bytes at quality 60, more than the 5000 allowed" \
  "$cli" frames "$project" -o "$work/nofit" --count 24 --size 2000 --max-bytes 5000
expect "a limit on png" 2 "png is lossless" \
  "$cli" frames "$project" -o "$work/nofit" --format png --max-bytes 5000

# Videos for Google and Shopify.
"$cli" video "$project" -o "$work/spin.mp4" --min-seconds 6 >/dev/null 2>&1 || fail "video"
"$cli" video "$project" -o "$work/spin.webm" >/dev/null 2>&1 || fail "webm"
expect "an MP4 of 6 s for google" 0 "google: 3 of 3 rules passed" \
  "$cli" check "$work/spin.mp4" --for google
expect "a WebM is no MP4" 1 "FAIL  MP4 \(H.264\)" "$cli" check "$work/spin.webm" --for shopify

expect "a video for amazon" 2 "amazon takes a folder or a zip of frames" \
  "$cli" check "$work/spin.mp4" --for amazon
expect "no marketplace" 2 "check needs --for" "$cli" check "$work/good"
expect "an unknown marketplace" 2 "--for takes amazon, walmart, google or shopify, not ebay" \
  "$cli" check "$work/good" --for ebay
expect "nothing there" 2 "no such file or folder" "$cli" check "$work/none" --for amazon

[ $failed -eq 0 ] && echo "check: all passed"
exit $failed
