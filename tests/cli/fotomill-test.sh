#!/usr/bin/env bash
# fotomill's command line: a shoot evened out, names, formats, turns, and
# what it refuses.
# usage: fotomill-test.sh PATH/TO/fotomill SAMPLE_FOLDER (turntable photos)
set -u
tool=$1
samples=$2
. "$(dirname "$0")/expect.sh"

width() { vipsheader -f width "$1"; }
height() { vipsheader -f height "$1"; }
# The largest mean over the smallest, of each channel, over the files.
spread() {
  for f in "$@"; do vips stats "$f" "$work/stats.csv" && sed -n '2,4p' "$work/stats.csv" | cut -f5 | tr '\n' ' ' && echo; done |
    awk '{for (c = 1; c <= 3; c++) { if (NR == 1 || $c < lo[c]) lo[c] = $c; if (NR == 1 || $c > hi[c]) hi[c] = $c }}
         END {m = 0; for (c = 1; c <= 3; c++) if (hi[c] / lo[c] > m) m = hi[c] / lo[c]; printf "%.4f\n", m}'
}

# Six shots of the turntable made darker, brighter and tinted by up to 20 %,
# one PNG and one TIFF among them.
mkdir -p "$work/shoot"
light=("1 1 1" "0.8 0.8 0.8" "1.2 1.2 1.2" "1.15 1 0.85" "0.85 0.95 1.2" "1.1 0.88 1")
names=(s1.jpg s2.jpg s3.png s4.jpg s5.tif s6.jpg)
for i in 0 1 2 3 4 5; do
  vips linear "$samples/turntable_0$i.jpg" "$work/shoot/${names[$i]}" "${light[$i]}" "0 0 0" --uchar
done
expect "a shoot matched at 600" 0 "prepared 6 of 6 photos" \
  "$tool" --match-exposure --size 600 -o "$work/even" "$work/shoot"
for f in "$work"/even/*.jpg; do [ "$(width "$f")" = 600 ] || fail "$f is $(width "$f") wide"; done
[ "$(ls "$work/even" | wc -l)" = 6 ] || fail "not six files: $(ls "$work/even")"
s=$(spread "$work"/even/*.jpg)
awk -v s="$s" 'BEGIN {exit !(s < 1.03)}' || fail "matched means spread $s"
"$tool" --size 600 -o "$work/plain" "$work/shoot" >/dev/null
s=$(spread "$work"/plain/*.jpg)
awk -v s="$s" 'BEGIN {exit !(s > 1.05)}' || fail "unmatched means only spread $s: the check above proves nothing"
expect "matched and cleaned" 0 "prepared 6 of 6" \
  "$tool" --match-exposure --white-background --size 600 -o "$work/white" "$work/shoot"
s=$(spread "$work"/white/*.jpg)
awk -v s="$s" 'BEGIN {exit !(s < 1.03)}' || fail "cleaned means spread $s"
# A bare --white-background takes no photo for its threshold.
expect "a bare --white-background before a photo" 0 "prepared 1 of 1" \
  "$tool" --white-background "$work/shoot/s1.jpg" -o "$work/bare"
expect "a threshold after =" 0 "prepared 1 of 1" \
  "$tool" --white-background=20 "$work/shoot/s1.jpg" -o "$work/bare"

# Names in the editor's order, formats and turns.
mkdir -p "$work/order"
for f in p10 P3 p2; do cp "$samples/turntable_00.jpg" "$work/order/$f.jpg"; done
expect "numbered in name order" 0 "wrote .*/01-p2.png.*wrote .*/02-P3.png.*wrote .*/03-p10.png" \
  bash -c "'$tool' --format png --size 100 --name '{index:02}-{name}' -o '$work/named' '$work/order' | tr '\n' ' '"
expect "webp" 0 "wrote .*/p2.webp" "$tool" --format webp --quality 60 --size 100 -o "$work/webp" "$work/order"
[ "$(vipsheader -f vips-loader "$work/webp/p2.webp" 2>/dev/null)" = webpload ] || fail "not a WebP"
expect "a quarter turn makes a landscape photo upright" 0 "prepared 1 of 1" \
  "$tool" --rotate 90 --size 300 -o "$work/turned" "$work/order/p2.jpg"
[ "$(width "$work/turned/p2.jpg")x$(height "$work/turned/p2.jpg")" = 225x300 ] ||
  fail "turned size $(width "$work/turned/p2.jpg")x$(height "$work/turned/p2.jpg")"
expect "levelled" 0 "prepared 1 of 1" "$tool" --level -3.5 --size 300 -o "$work/level" "$work/order/p2.jpg"
expect "help" 0 "usage: fotomill" "$tool" --help

# Refusals.
expect "no output folder" 2 "no output folder" "$tool" "$work/order"
expect "no photos" 2 "no photos given" "$tool" -o "$work/x"
expect "-o without a folder" 2 "needs" "$tool" "$work/order" -o
for bad in "--rotate 45" "--rotate 360" "--size 0" "--size 12px" "--format gif" "--quality 101" \
  "--level 50" "--level ten" "--white-background=abc" "--white-background=150" "--name {bad}" \
  "--name fixed" "--frobnicate" "--match-exposure=yes"; do
  # shellcheck disable=SC2086
  expect "refused: $bad" 2 "see fotomill --help" "$tool" $bad -o "$work/x" "$work/order"
done
[ -e "$work/x" ] && fail "a refused command made its folder"
expect "a missing photo" 1 "nothing.jpg: no such file or folder" \
  "$tool" -o "$work/x" "$work/nothing.jpg"
expect "a file that is no photo" 1 "notes.txt: not a photo file" \
  bash -c "echo hi >'$work/notes.txt'; '$tool' -o '$work/x' '$work/notes.txt'"
before=$(md5sum "$work"/order/*.jpg)
expect "never over the originals" 1 "originals are never written over" \
  "$tool" --size 50 -o "$work/order" "$work/order"
[ "$before" = "$(md5sum "$work"/order/*.jpg)" ] || fail "an original changed"
expect "two photos of one output name" 1 "would both be written as s1.jpg" \
  bash -c "cp '$work/shoot/s3.png' '$work/shoot/s1.png'; '$tool' -o '$work/x' '$work/shoot/s1.jpg' '$work/shoot/s1.png'"
printf 'not a jpeg' >"$work/order/p5.jpg"
expect "a broken photo fails, the others are written" 1 "p5.jpg: not a readable image.*prepared 3 of 4" \
  bash -c "set -o pipefail; '$tool' --size 50 -o '$work/some' '$work/order' 2>&1 | tr '\n' ' '"
[ "$(ls "$work/some" | wc -l)" = 3 ] || fail "not the three good photos: $(ls "$work/some")"

[ "$failed" -eq 0 ] && echo "fotomill: all passed"
exit "$failed"
