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
  "$tool" --white-background=20 "$work/shoot/s1.jpg" -o "$work/bare2"

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
expect "help" 0 "usage: fotomill" "$tool" --help

# Levelled photos keep their frame, each photo with its own angle.
size() { echo "$(width "$1")x$(height "$1")"; }
printf '# name angle\nturntable_01.jpg 2.5\nturntable_02 -1.25\n' >"$work/levels.txt"
expect "levelled, one angle and each its own" 0 "prepared 3 of 3 photos into .* at 1600 x 1200" \
  "$tool" --level -3.5 --level-file "$work/levels.txt" -o "$work/level" \
  "$samples/turntable_00.jpg" "$samples/turntable_01.jpg" "$samples/turntable_02.jpg"
for f in "$work"/level/*.jpg; do [ "$(size "$f")" = 1600x1200 ] || fail "$f is $(size "$f")"; done
cmp -s "$work/level/turntable_01.jpg" "$work/level/turntable_02.jpg" && fail "two levels, one photo"
printf 'nothing.jpg 1\n' >"$work/bad-levels.txt"
expect "a level for no photo" 2 "bad-levels.txt:1: nothing.jpg is none of the photos" \
  "$tool" --level-file "$work/bad-levels.txt" -o "$work/x" "$samples/turntable_00.jpg"
printf 'turntable_00.jpg 50\n' >"$work/bad-levels.txt"
expect "a level beyond 45" 2 "angle from -45 to 45" \
  "$tool" --level-file "$work/bad-levels.txt" -o "$work/x" "$samples/turntable_00.jpg"

# One size for the whole run, and never larger than the photos unless asked.
expect "not enlarged" 0 "at 1600 x 1200" "$tool" --size 2000 -o "$work/big" "$samples/turntable_00.jpg"
[ "$(size "$work/big/turntable_00.jpg")" = 1600x1200 ] || fail "enlarged to $(size "$work/big/turntable_00.jpg")"
expect "enlarged when asked" 0 "at 2000 x 1500" \
  "$tool" --size 2000 --enlarge -o "$work/bigger" "$samples/turntable_00.jpg"
[ "$(size "$work/bigger/turntable_00.jpg")" = 2000x1500 ] || fail "not enlarged: $(size "$work/bigger/turntable_00.jpg")"
mkdir -p "$work/odd"
vips embed "$samples/turntable_00.jpg" "$work/odd/a.jpg" 0 0 1600 1227 --extend copy
vips embed "$samples/turntable_01.jpg" "$work/odd/b.png" 0 0 1600 1227 --extend copy
expect "a JPEG and a PNG of one shoot" 0 "prepared 2 of 2" "$tool" --size 600 -o "$work/odd-out" "$work/odd"
[ "$(size "$work/odd-out/a.jpg")" = "$(size "$work/odd-out/b.jpg")" ] ||
  fail "one run, two sizes: $(size "$work/odd-out/a.jpg") and $(size "$work/odd-out/b.jpg")"

# A second shoot into the same folder never mixes with the first.
expect "a first shoot" 0 "prepared 6 of 6" "$tool" --size 200 --name 'shoe-{index:03}' -o "$work/shoe" "$work/shoot"
expect "a second shoot is refused" 1 "holds 6 files of an earlier run.*--replace" \
  bash -c "set -o pipefail; '$tool' --size 200 --name 'shoe-{index:03}' -o '$work/shoe' '$work/shoot/s1.jpg' '$work/shoot/s2.jpg' 2>&1 | tr '\n' ' '"
[ "$(ls "$work/shoe" | wc -l)" = 6 ] || fail "the refused shoot changed the folder: $(ls "$work/shoe")"
expect "--replace removes the first shoot" 0 "prepared 2 of 2" \
  "$tool" --replace --size 200 --name 'shoe-{index:03}' -o "$work/shoe" "$work/shoot/s1.jpg" "$work/shoot/s2.jpg"
[ "$(ls "$work/shoe" | tr '\n' ' ')" = "shoe-001.jpg shoe-002.jpg " ] || fail "mixed: $(ls "$work/shoe")"

# What the window sets, on the command line too.
expect "feather, shadows, reference, crop, metadata" 0 "prepared 3 of 3 photos into .* at 270 x 180" \
  "$tool" --match-exposure --reference turntable_02 --white-background --feather 4 --remove-shadows \
  --crop 5,10,5,10 --keep-metadata --size 270 -o "$work/all" \
  "$samples/turntable_00.jpg" "$samples/turntable_01.jpg" "$samples/turntable_02.jpg"
expect "the reference by number" 0 "prepared 2 of 2" \
  "$tool" --match-exposure --reference 2 --size 100 -o "$work/ref2" "$samples/turntable_00.jpg" "$samples/turntable_01.jpg"
expect "no such reference" 2 "--reference nope: is neither" \
  "$tool" --match-exposure --reference nope -o "$work/x" "$samples/turntable_00.jpg"

# Refusals.
expect "no output folder" 2 "no output folder" "$tool" "$work/order"
expect "no photos" 2 "no photos given" "$tool" -o "$work/x"
expect "-o without a folder" 2 "needs" "$tool" "$work/order" -o
for bad in "--rotate 45" "--rotate 360" "--size 0" "--size 12px" "--format gif" "--quality 101" \
  "--level 50" "--level ten" "--white-background=abc" "--white-background=150" "--name {bad}" \
  "--name fixed" "--frobnicate" "--match-exposure=yes" "--feather 60" "--crop 1,2,3" \
  "--crop 50,0,50,0" "--enlarge=yes" "--replace=1" "--reference 9"; do
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


# Never into the home folder itself (nor the root or a system folder).
mkdir -p "$work/home"
expect "the home folder itself" 1 "home: the home folder itself takes no photos; choose a folder in it" \
  env HOME="$work/home" "$tool" -o "$work/home" "$work/order/p2.jpg"
[ -z "$(ls -A "$work/home")" ] || fail "written into the home folder: $(ls -A "$work/home")"
# Links planted in the output folder are never followed: the mark as a link
# names nothing, a photo's name as a link is not ours.
mkdir -p "$work/planted"
printf 'p2.jpg\n' >"$work/outside"
ln -s "$work/outside" "$work/planted/.fotomill"
ln -s "$work/outside" "$work/planted/p2.jpg"
expect "a link named like a photo is not ours" 1 "would replace files fotomill did not write \(p2.jpg\)" \
  "$tool" --replace --size 50 -o "$work/planted" "$work/order/p2.jpg"
rm "$work/planted/p2.jpg"
expect "a link as the mark" 0 "prepared 1 of 1" "$tool" --size 50 -o "$work/planted" "$work/order/p2.jpg"
[ "$(cat "$work/outside")" = p2.jpg ] || fail "the mark's link was written through: $(cat "$work/outside")"
[ -L "$work/planted/.fotomill" ] && fail "the mark is still a link"
# A name no folder takes: a line break from a photo's name, in the template.
mkdir -p "$work/broken" && cp "$work/order/p2.jpg" "$work/broken/a"$'\n'"b.jpg"
expect "a line break from a photo's name" 1 'its output name "a\\nb.jpg" would hold' \
  "$tool" -o "$work/nl" "$work/broken"
expect "a line break in the template" 2 "control character" \
  "$tool" --name $'{name}\n' -o "$work/nl" "$work/order"
[ -e "$work/nl" ] && fail "a refused name made its folder"

[ "$failed" -eq 0 ] && echo "fotomill: all passed"
exit "$failed"
