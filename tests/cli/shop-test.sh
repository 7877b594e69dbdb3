#!/usr/bin/env bash
# kalvane-cli frames and anim on the sample project: the files, their
# sizes, the zip's listing, the animation's pages, and what is refused.
# usage: shop-test.sh PATH/TO/kalvane-cli SAMPLE_FOLDER (photos and turntable-aligned.vpj)
set -u
cli=$1
samples=$2
project=$samples/turntable-aligned.vpj
. "$(dirname "$0")/expect.sh"
size() { vipsheader -f width "$1" | tr -d '\n'; printf x; vipsheader -f height "$1"; }
stage_width() { # an uncompressed movie's: its frame rectangle's second field, in twips
  local bits="" b i
  for b in $(od -An -tu1 -j8 -N17 "$1"); do
    for ((i = 7; i >= 0; i--)); do bits+=$(((b >> i) & 1)); done
  done
  local n=$((2#${bits:0:5}))
  echo $((2#${bits:$((5 + n)):n} / 20))
}

# Every frame by default, named {name}_{index:02}, 500 wide as the data movie.
expect "a set of every frame" 0 "wrote .*all/: 24 frames of 500 x 375 pixels" \
  "$cli" frames "$project" -o "$work/all"
[ "$(ls "$work/all" | wc -l)" -eq 24 ] || fail "not 24 files: $(ls "$work/all")"
[ -f "$work/all/turntable-aligned_01.jpg" ] && [ -f "$work/all/turntable-aligned_24.jpg" ] ||
  fail "names: $(ls "$work/all" | head -3)"
[ "$(size "$work/all/turntable-aligned_13.jpg")" = 500x375 ] || fail "size of a frame"
ls -A "$work" | grep -q kalvane- && fail "a folder was left aside: $(ls -A "$work")"

# An Amazon-like set: fewer frames, square, zipped.
expect "8 square frames of 600 in a zip" 0 "wrote .*amazon/turntable-aligned.zip: 8 frames of 600 x 600" \
  "$cli" frames "$project" -o "$work/amazon" --count 8 --size 600 --square --zip
[ "$(ls "$work/amazon")" = turntable-aligned.zip ] || fail "the zip is not alone: $(ls "$work/amazon")"
listing=$(unzip -Z1 "$work/amazon/turntable-aligned.zip" | tr '\n' ' ')
want=""
for i in 01 02 03 04 05 06 07 08; do want+="turntable-aligned_$i.jpg "; done
[ "$listing" = "$want" ] || fail "zip listing: $listing"
unzip -q -d "$work/unzipped" "$work/amazon/turntable-aligned.zip"
for f in "$work/unzipped"/*; do
  [ "$(size "$f")" = 600x600 ] || fail "zipped $f is $(size "$f")"
done
expect "angles in the names, transparent PNG" 0 "8 frames of 400 x 400" \
  "$cli" frames "$project" -o "$work/png" --count 8 --size 400 --square --background transparent \
  --format png --name 'spin-{angle:03}'
[ "$(ls "$work/png" | tr '\n' ' ')" = "spin-000.png spin-045.png spin-090.png spin-135.png spin-180.png spin-225.png spin-270.png spin-315.png " ] ||
  fail "angle names: $(ls "$work/png" | tr '\n' ' ')"
[ "$(vipsheader -f bands "$work/png/spin-045.png")" = 4 ] || fail "no alpha in the transparent PNG"
expect "WebP on a colour, 300 on the longer side" 0 "24 frames of 300 x 225" \
  "$cli" frames "$project" -o "$work/webp" --format webp --quality 60 --background '#102030' --size 300
[ "$(size "$work/webp/turntable-aligned_02.webp")" = 300x225 ] || fail "webp size"

# What would spoil the set is said on stderr, and the set still made: a
# count that does not divide the 24 photos, frames larger than the cut of
# 1280 x 960 photo pixels.
quiet() { "$@" 2>"$work/stderr" >/dev/null && ! grep -q warning "$work/stderr"; }
expect "16 of 24 frames are unevenly spaced" 0 \
  "kalvane-cli: warning: 16 frames do not divide the turn of 24 photos evenly: they lie 15 and 30 degrees apart \(0, 15, 45, 60, 90, 105, .*, \.\.\. degrees\), so the spin jerks; counts that do: 24, 12, 8, 6, 4, 3, 2$" \
  "$cli" frames "$project" -o "$work/uneven" --count 16 --size 100
[ "$(ls "$work/uneven" | wc -l)" -eq 16 ] || fail "the uneven set was not made"
quiet "$cli" frames "$project" -o "$work/even" --count 12 --size 100 || fail "an even count was warned of"
expect "a longer side of 2000 enlarges the cut" 0 \
  "kalvane-cli: warning: frames of 2000 x 1500 pixels enlarge the cut \(the trimming box, 1280 x 960 photo pixels\) 1.56 times and will look soft; --size 1280 or less" \
  "$cli" frames "$project" -o "$work/large" --count 1 --size 2000 --square
[ "$(size "$work/large/turntable-aligned_01.jpg")" = 2000x2000 ] || fail "the enlarged set was not made"
quiet "$cli" frames "$project" -o "$work/large" --count 1 --size 1400 || fail "1.09 times was warned of"
expect "a movie wider than the cut" 0 "warning: frames of 1500 x 1125 pixels enlarge .* 1.17 times .*--width 1280 or less" \
  "$cli" export "$project" -o "$work/wide.swf" --width 1500
# The page set's sharper movie stops at the cut's width (not 1600), and the
# first movie is not warned of.
quiet "$cli" design "$project" --design simple/light -o "$work/site" --width 800 ||
  fail "a page set within the cut was warned of"
[ "$(stage_width "$work/site/veldata.swf")" = 800 ] || fail "the movie is not 800 wide"
[ "$(stage_width "$work/site/veldata-2x.swf")" = 1280 ] ||
  fail "the sharper movie is $(stage_width "$work/site/veldata-2x.swf") wide, not the cut's 1280"
grep -q 'largeMovie = "veldata-2x.swf"' "$work/site/velzoom.js" || fail "the page lacks the sharper movie"

# Run again into the same folder: its frames are replaced, other files stay.
printf 'mine' >"$work/all/notes.txt"
expect "again into the same folder" 0 "24 frames" "$cli" frames "$project" -o "$work/all" --size 200
grep -qx mine "$work/all/notes.txt" || fail "another file in the folder was touched"
[ "$(size "$work/all/turntable-aligned_24.jpg")" = 200x150 ] || fail "the frames were not replaced"

# A set is replaced as a set: a smaller one leaves none of the earlier frames.
frames_in() { ls "$1" | grep -c '^turntable-aligned_'; }
expect "a smaller set into the same folder" 0 "12 frames of 100 x 75" \
  "$cli" frames "$project" -o "$work/all" --count 12 --size 100
[ "$(frames_in "$work/all")" -eq 12 ] || fail "earlier frames left: $(ls "$work/all" | tr '\n' ' ')"
grep -qx mine "$work/all/notes.txt" || fail "the user's file went with the earlier set"
# What would stop it is found before any frame is replaced: a folder where a
# frame goes, a write-protected frame (which stays so).
earlier=$(md5sum "$work"/all/turntable-aligned_*)
mkdir "$work/all/turntable-aligned_13.jpg"
expect "a folder where a frame goes" 1 "all/turntable-aligned_13.jpg: is a folder, not a file; it is never replaced" \
  "$cli" frames "$project" -o "$work/all" --size 120
rmdir "$work/all/turntable-aligned_13.jpg"
chmod 0444 "$work/all/turntable-aligned_03.jpg"
expect "a write-protected frame" 1 "turntable-aligned_03.jpg: the file is write-protected" \
  "$cli" frames "$project" -o "$work/all" --count 6 --size 120
[ "$earlier" = "$(md5sum "$work"/all/turntable-aligned_*)" ] || fail "a refused set changed the earlier one"
[ "$(stat -c %a "$work/all/turntable-aligned_03.jpg")" = 444 ] || fail "the protected frame lost its protection"
chmod 0444 "$work/amazon/turntable-aligned.zip"
expect "a write-protected zip" 1 "turntable-aligned.zip: the file is write-protected" \
  "$cli" frames "$project" -o "$work/amazon" --count 8 --zip
# Links planted in the folder are never followed: neither a frame's name nor
# the set's mark, which would otherwise name the user's file as a frame.
mkdir "$work/planted"
printf mine >"$work/planted/notes.txt"
printf 'notes.txt\n' >"$work/outside"
ln -s "$work/outside" "$work/planted/.kalvane-frames-turntable-aligned"
ln -s "$work/outside" "$work/planted/turntable-aligned_1.jpg"
expect "links in a set's folder" 0 "4 frames" \
  "$cli" frames "$project" -o "$work/planted" --count 4 --size 100 --name '{name}_{index}'
[ "$(cat "$work/outside")" = notes.txt ] || fail "a link was written through"
grep -qx mine "$work/planted/notes.txt" || fail "the user's file was taken for a frame"
[ -L "$work/planted/turntable-aligned_1.jpg" ] && fail "the frame is still a link"
# Names no zip entry or folder takes: a Windows path, a line break.
cp "$project" "$work/..\\..\\win.vpj"
expect "a project named with backslashes" 2 'the project.s name "\.\.\\\.\.\\win" holds' \
  "$cli" frames "$work/..\\..\\win.vpj" -o "$work/win" --zip
expect "backslashes in the template" 2 "the name template .* holds" \
  "$cli" frames "$project" -o "$work/win" --name '..\..\x{index}' --zip
expect "a line break in the template" 2 'the name template "x\\n\{index\}" holds' \
  "$cli" frames "$project" -o "$work/win" --name $'x\n{index}'
[ -e "$work/win" ] && fail "a refused name made its folder"
# Links in a page set's folder: the mark as a link names nothing, so a link
# of the set's names is not taken for ours; with --overwrite the links
# themselves are replaced.
mkdir "$work/planted-site"
printf 'velzoom.js\n' >"$work/outside-mark"
printf 'theirs\n' >"$work/outside-js"
ln -s "$work/outside-mark" "$work/planted-site/.kalvane-pageset"
ln -s "$work/outside-js" "$work/planted-site/velzoom.js"
expect "a link of a page set's name is not ours" 1 "would replace files no page set of ours wrote: velzoom.js" \
  "$cli" design "$project" --design simple/light -o "$work/planted-site"
expect "with --overwrite the links are replaced" 0 "page set in" \
  "$cli" design "$project" --design simple/light -o "$work/planted-site" --overwrite
[ "$(cat "$work/outside-mark")" = velzoom.js ] || fail "the page set's mark was written through"
[ "$(cat "$work/outside-js")" = theirs ] || fail "velzoom.js was written through"
[ -L "$work/planted-site/velzoom.js" ] && fail "velzoom.js is still a link"

# Animations: every frame, the rate and the loop.
expect "an animated WebP" 0 "wrote .*spin.webp: 24 frames of 500 x 375 pixels, 8 a second, looping for ever" \
  "$cli" anim "$project" -o "$work/spin.webp"
[ "$(vipsheader -f n-pages "$work/spin.webp")" = 24 ] || fail "webp pages"
[ "$(vipsheader -f height "$work/spin.webp")" = 375 ] || fail "webp page height"
[ "$(vipsheader -f loop "$work/spin.webp")" = 0 ] || fail "webp does not loop for ever"
expect "an animated GIF" 0 "24 frames of 240 x 180 pixels, 12 a second, played 2 times" \
  "$cli" anim "$project" -o "$work/spin.gif" --width 240 --fps 12 --loop 2
[ "$(vipsheader -f n-pages "$work/spin.gif")" = 24 ] || fail "gif pages"
[ "$(vipsheader -f width "$work/spin.gif")" = 240 ] || fail "gif width"
[ "$(vipsheader -f loop "$work/spin.gif")" = 2 ] || fail "gif loop"
ls -A "$work" | grep -q kalvane- && fail "a temporary was left: $(ls -A "$work")"

# Refusals, before anything is written.
expect "more frames than photos" 2 "a set of 25 frames needs as many photos; the project has 24" \
  "$cli" frames "$project" -o "$work/bad" --count 25
expect "transparent JPEG" 2 "JPEG cannot be transparent" \
  "$cli" frames "$project" -o "$work/bad" --background transparent
expect "an unknown format" 2 "--format takes jpg, png or webp, not tiff" \
  "$cli" frames "$project" -o "$work/bad" --format tiff
expect "a bad colour" 2 "--background takes white, #RRGGBB or transparent" \
  "$cli" frames "$project" -o "$work/bad" --background '#abc'
expect "names that clash" 2 "frames 1 and 2 would both be same.jpg" \
  "$cli" frames "$project" -o "$work/bad" --name same
expect "an unknown field" 2 "the name knows" "$cli" frames "$project" -o "$work/bad" --name '{nr}'
expect "size above the limit" 2 "--size must be a whole number from 1 to 2500" \
  "$cli" frames "$project" -o "$work/bad" --size 3000
expect "quality for png" 2 "--quality is for jpg and webp" \
  "$cli" frames "$project" -o "$work/bad" --format png --quality 80
expect "count 0" 2 "--count must be" "$cli" frames "$project" -o "$work/bad" --count 0
expect "no folder" 2 "frames needs -o FOLDER" "$cli" frames "$project"
expect "the root" 1 "/: a system folder takes no frame set" "$cli" frames "$project" -o /
expect "a file as the folder" 1 "is a file, not a folder" \
  "$cli" frames "$project" -o "$work/spin.webp"
[ -e "$work/bad" ] && fail "a refused set was written"
expect "an animation of another format" 2 "anim writes .webp or .gif" \
  "$cli" anim "$project" -o "$work/spin.png"
expect "a rate of 0" 2 "--fps must be a number above 0" \
  "$cli" anim "$project" -o "$work/x.gif" --fps 0
expect "a missing project" 1 "nothing.vpj: no such project file" \
  "$cli" anim "$work/nothing.vpj" -o "$work/x.gif"
printf 'kept' >"$work/ro.gif"
chmod 0444 "$work/ro.gif"
expect "a write-protected animation is not replaced" 1 "ro.gif: the file is write-protected" \
  "$cli" anim "$project" -o "$work/ro.gif"
grep -qx kept "$work/ro.gif" || fail "the write-protected file was replaced"
[ -e "$work/x.gif" ] && fail "a refused animation was written"

[ $failed -eq 0 ] && echo "shop: all passed"
exit $failed
