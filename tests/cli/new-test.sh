#!/usr/bin/env bash
# kalvane-cli new: the order, the turn, the box and the alignment it writes,
# read back with info, and what it refuses.
# usage: new-test.sh PATH/TO/kalvane-cli SAMPLE_FOLDER (photos and turntable-aligned.vpj)
set -u
cli=$1
samples=$2
. "$(dirname "$0")/expect.sh"

photo() { cp "$samples/turntable_0$((RANDOM % 3)).jpg" "$1"; }
mkdir -p "$work/shots/more" "$work/empty"
for f in P3 p10 p2; do photo "$work/shots/$f.jpg"; done
photo "$work/shots/more/p1.jpg"
printf 'notes' >"$work/shots/notes.txt"

# The editor's order: numbers by value, letters without case, whatever
# order the folders and photos come in.
expect "a project from a folder and a photo" 0 "wrote .*order.vpj: 4 photos, rotation 0, trimming box 0.05 0.05 0.95 0.95" \
  "$cli" new "$work/shots/more/p1.jpg" "$work/shots" -o "$work/order.vpj"
"$cli" info "$work/order.vpj" >"$work/order.txt" 2>&1 || fail "info cannot read what new wrote"
names=$(grep -E '^ +[0-9]+  ' "$work/order.txt" | awk '{print $2}' | sed "s|$work/||" | tr '\n' ' ')
[ "$names" = "shots/P3.jpg shots/p10.jpg shots/p2.jpg shots/more/p1.jpg " ] && fail "order is byte order: $names"
[ "$names" = "shots/more/p1.jpg shots/p2.jpg shots/P3.jpg shots/p10.jpg " ] || fail "order: $names"
grep -q "missing images: 0" "$work/order.txt" || fail "the project's photos are not found"
grep -q "items: 4 (itemCount=4)" "$work/order.txt" || fail "item count"
[ "$(ls -A "$work" | grep -c '^order')" -eq 2 ] || fail "something beside order.vpj was left: $(ls -A "$work")"
expect "load takes them in the same order" 0 "0  p2.jpg.*1  P3.jpg.*2  p10.jpg" \
  bash -c "'$cli' load '$work/shots' | tr '\n' ' '"

# The turn and the box, as info reads them back.
expect "a quarter turn counter-clockwise" 0 "rotation 9000" \
  "$cli" new "$work/shots" -o "$work/turned.vpj" --rotate 90
grep -q "rotation: 9000" <("$cli" info "$work/turned.vpj") || fail "--rotate 90 did not read back"
expect "three quarters, options before the photos, values after =" 0 "rotation 27000" \
  "$cli" new --rotate=270 --output="$work/turned.vpj" "$work/shots"
expect "a box" 0 "trimming box 0.1 0.2 0.9 0.75" \
  "$cli" new "$work/shots" -o "$work/boxed.vpj" --box 0.1,0.2,0.9,0.75 --rotate 180
"$cli" info "$work/boxed.vpj" >"$work/boxed.txt"
grep -q "trimming box: 0.1 0.2 0.9 0.75" "$work/boxed.txt" || fail "--box did not read back"
grep -q "rotation: 18000" "$work/boxed.txt" || fail "--rotate 180 did not read back"
expect "the project exports" 0 "wrote .*: 3 frames of 100 x " \
  "$cli" export "$work/boxed.vpj" -o "$work/boxed.swf" --width 100

for r in 0 45 360 -90 90.0 ninety ""; do
  expect "rotation '$r' is refused" 2 "rotate (takes 90, 180 or 270|needs)" \
    "$cli" new "$work/shots" -o "$work/bad.vpj" --rotate "$r"
done
for b in 0.5,0,0.5,1 0,0.6,1,0.4 -0.1,0,1,1 0,0,1.5,1 0.1,0.1,0.9 0.1,0.1,0.9,0.9,0.5 \
  nan,0,1,1 0.1,0.1,0.9,0.9x "0.1, 0.1,0.9,0.9"; do
  expect "box '$b' is refused" 2 "--box takes L,T,R,B" \
    "$cli" new "$work/shots" -o "$work/bad.vpj" --box "$b"
done
[ -e "$work/bad.vpj" ] && fail "a refused command wrote a project"

# --align gives the offsets align gives the sample project.
expect "aligned as align does" 0 "aligned 24 items" \
  "$cli" new "$samples" -o "$work/aligned.vpj" --align
diff <(grep -E '^[xy]=' "$work/aligned.vpj") <(grep -E '^[xy]=' "$samples/turntable-aligned.vpj") >/dev/null ||
  fail "--align offsets differ from the aligned sample"

# Refusals.
expect "no photos is bad usage" 2 "new needs photos or folders" "$cli" new -o "$work/x.vpj"
expect "no output is bad usage" 2 "new needs -o PROJECT.vpj" "$cli" new "$work/shots"
expect "-o without a name" 2 "-o needs a file name" "$cli" new "$work/shots" -o
expect "a missing photo" 1 "nothing.jpg: no such file or folder" \
  "$cli" new "$work/shots" "$work/nothing.jpg" -o "$work/x.vpj"
expect "a folder without photos" 1 "no image files" "$cli" new "$work/empty" -o "$work/x.vpj"
expect "a file that is no photo" 1 "notes.txt: not an image file" \
  "$cli" new "$work/shots/notes.txt" "$work/shots" -o "$work/x.vpj"
printf 'not a jpeg' >"$work/shots/broken.jpg"
expect "an unreadable photo is named and no project written" 1 "broken.jpg: not a readable image" \
  "$cli" new "$work/shots" -o "$work/x.vpj"
expect "... and the count said" 1 "1 of 4 photos could not be taken; no project written" \
  "$cli" new "$work/shots" -o "$work/x.vpj"
rm "$work/shots/broken.jpg"
photo "$work/shots/more/p2.jpg"
expect "two photos of one name" 1 "p2.jpg: has the same file name" \
  "$cli" new "$work/shots" "$work/shots/more" -o "$work/x.vpj"
[ -e "$work/x.vpj" ] && fail "a refused project was written"
expect "the project is not written over a photo" 1 "is one of the photos" \
  "$cli" new "$work/shots" -o "$work/shots/p2.jpg"
cmp -s "$work/shots/p2.jpg" "$samples/turntable_00.jpg" || cmp -s "$work/shots/p2.jpg" "$samples/turntable_01.jpg" ||
  cmp -s "$work/shots/p2.jpg" "$samples/turntable_02.jpg" || fail "the photo was overwritten"
printf 'kept' >"$work/ro.vpj"
chmod 0444 "$work/ro.vpj"
expect "a write-protected project is not replaced" 1 "ro.vpj: the file is write-protected" \
  "$cli" new "$work/shots" -o "$work/ro.vpj"
grep -qx kept "$work/ro.vpj" || fail "the write-protected project was replaced"
expect "an earlier project is replaced, as align and export replace theirs" 0 "wrote .*order.vpj: 3 photos" \
  "$cli" new "$work/shots" -o "$work/order.vpj"

[ $failed -eq 0 ] && echo "new: all passed"
exit $failed
