#!/usr/bin/env bash
# kalvane-cli as a user runs it: exit codes, messages, bad files among good.
# usage: cli-test.sh PATH/TO/kalvane-cli SAMPLES_DIR
set -u
cli=$1
samples=$2
. "$(dirname "$0")/expect.sh"

expect "help" 0 "usage: kalvane-cli load" "$cli" --help
expect "no arguments is bad usage" 2 "usage:" "$cli"
expect "unknown command is bad usage" 2 "unknown command 'frobnicate'" "$cli" frobnicate
expect "missing folder fails" 1 "/nonexistent/photos: no such file or folder" \
  "$cli" load /nonexistent/photos

cp "$samples/turntable/turntable_00.jpg" "$samples/turntable/turntable_01.jpg" "$work/"
printf 'not a jpeg' > "$work/broken.jpg"
head -c 5000 "$samples/turntable/turntable_02.jpg" > "$work/truncated.jpg"
printf 'notes' > "$work/notes.txt"
printf 'not a png' > "$work/aaa.png"  # first in name order
expect "bad files are reported and skipped" 0 "items: 2 \(not registered: 3\)" "$cli" load "$work"
expect "the scale comes from the first readable photo" 0 "item scale: 0.375" "$cli" load "$work"
expect "the reason names the file" 0 "broken.jpg: not a readable image" "$cli" load "$work"
expect "a duplicate name is refused" 0 "items: 1 \(not registered: 1\)" \
  "$cli" load "$work/turntable_00.jpg" "$work/turntable_00.jpg"

mkdir "$work/empty"
expect "a folder without images fails" 1 "no image files" "$cli" load "$work/empty"

expect "designs are listed" 0 "shop/framed" "$cli" designs
project="$samples/turntable/turntable.vpj"
expect "design needs a design" 2 "design needs --design" "$cli" design "$project" -o "$work/site"
expect "an unknown design is bad usage" 2 "no such design" \
  "$cli" design "$project" --design shop/nothing -o "$work/site"
expect "no way out of the template folder" 2 "no such design" \
  "$cli" design "$project" --design ../../samples -o "$work/site"
expect "a page set is written" 0 "page set in" \
  "$cli" design "$project" --design simple/light -o "$work/site" --search "$samples/turntable" \
  --width 200 --no-help --title 'Cup & "Saucer" <Blue>'
for f in velzoom.html velzoom.js style.css veldata.swf veldata-2x.swf poster.jpg embed.html; do
  [ -f "$work/site/$f" ] || { echo "FAIL page set lacks $f"; failed=$((failed + 1)); }
done
for f in prev.jpg prev.html design.ini; do
  [ -e "$work/site/$f" ] && { echo "FAIL page set holds $f"; failed=$((failed + 1)); }
done
grep -q 'var help = "false";' "$work/site/velzoom.js" || { echo "FAIL help not switched off"; failed=$((failed + 1)); }
grep -q '<title>Cup &amp; &quot;Saucer&quot; &lt;Blue&gt;' "$work/site/velzoom.html" || { echo "FAIL title not in the page"; failed=$((failed + 1)); }
grep -q '商品名' "$work/site/velzoom.html" && { echo "FAIL the placeholder stayed"; failed=$((failed + 1)); }
grep -q 'ここに商品の説明\|data-vz-description' "$work/site/velzoom.html" && fail "the sample text or its place stayed"
# The product's text, a name that says the design's subtitle itself, and
# the viewer's turn as the command line sets it.
expect "a page set with its text and turn" 0 "page set in" \
  "$cli" design "$project" --design simple/light -o "$work/told" --search "$samples/turntable" \
  --width 100 --title 'Mug 360° ビュー' --description $'Glaze <b>\n300 ml' --autoplay loop \
  --resume-after 5 --on-touch pause --load-on click
grep -q '<title>Mug 360° ビュー</title>' "$work/told/velzoom.html" || fail "the title says 360° twice"
grep -q 'data-vz-description>Glaze &lt;b&gt;<br>' "$work/told/velzoom.html" || fail "the text is not in the page"
for v in 'autoplay = "true"' 'spinOnce = "false"' 'resumeAfter = "5"' 'stopOnTouch = "false"' 'loadOn = "click"'; do
  grep -q "^var $v;" "$work/told/velzoom.js" || fail "velzoom.js lacks $v"
done
expect "--autoplay none" 0 "page set in" \
  "$cli" design "$project" --design simple/light -o "$work/told" --search "$samples/turntable" \
  --width 100 --autoplay none
grep -q '^var autoplay = "false";' "$work/told/velzoom.js" || fail "--autoplay none left the turn on"
for bad in "--autoplay sometimes" "--resume-after 5s" "--resume-after 3601" "--on-touch hold" "--load-on scroll"; do
  expect "design refuses $bad" 2 "${bad%% *} (takes|must be)" \
    "$cli" design "$project" --design simple/light -o "$work/s" $bad
done
# Where a page set may go, and what it may replace.
expect "the root takes no page set" 1 "/: a system folder takes no page set" \
  "$cli" design "$project" --design simple/light -o / --search "$samples/turntable"
for f in velzoom.html velzoom.js style.css veldata.swf .kalvane-pageset; do
  [ -e "/$f" ] && { echo "FAIL the page set went into / ($f)"; failed=$((failed + 1)); }
done
expect "a folder typed with a slash is that folder" 1 "/usr: a system folder" \
  "$cli" design "$project" --design simple/light -o /usr/ --search "$samples/turntable"
expect "the home folder itself takes no page set" 1 "the home folder itself" \
  env HOME="$work/home" "$cli" design "$project" --design simple/light -o "$work/home/" \
  --search "$samples/turntable"
mkdir -p "$work/theirs"
printf 'their own page' >"$work/theirs/velzoom.html"
printf 'their notes' >"$work/theirs/notes.txt"
expect "someone else's page is not replaced unasked" 1 "would replace .*velzoom.html.*--overwrite" \
  "$cli" design "$project" --design simple/light -o "$work/theirs" --search "$samples/turntable"
grep -qx 'their own page' "$work/theirs/velzoom.html" || { echo "FAIL a foreign velzoom.html was replaced"; failed=$((failed + 1)); }
[ -e "$work/theirs/veldata.swf" ] && { echo "FAIL a refused page set wrote its movie"; failed=$((failed + 1)); }
expect "--overwrite replaces it" 0 "page set in" \
  "$cli" design "$project" --design simple/light -o "$work/theirs" --search "$samples/turntable" \
  --overwrite
grep -q 'their own page' "$work/theirs/velzoom.html" && { echo "FAIL --overwrite kept the old page"; failed=$((failed + 1)); }
grep -qx 'their notes' "$work/theirs/notes.txt" || { echo "FAIL another file was touched"; failed=$((failed + 1)); }
expect "an earlier page set of ours is replaced silently" 0 "page set in" \
  "$cli" design "$project" --design simple/dark -o "$work/site" --search "$samples/turntable"
cmp -s "$work/site/style.css" "$(dirname "$cli")/template/simple/dark/style.css" ||
  { echo "FAIL the earlier page set was not replaced"; failed=$((failed + 1)); }
expect "a missing photo names itself" 1 "turntable_00.jpg: image not found" \
  "$cli" design "$project" --design simple/light -o "$work/site2"
expect "serving a missing folder fails" 1 "no such folder" "$cli" serve "$work/nowhere"
# Two photos of one name from two folders, and an unreadable one.
mkdir -p "$work/other"
cp "$samples/turntable/turntable_01.jpg" "$work/other/turntable_00.jpg"
printf 'not a jpeg' >"$work/broken.jpg"
printf '[project]\nitemCount=4\n[projectItem0]\nname=%s\n[projectItem1]\nname=%s\n[projectItem2]\nname=%s\n[projectItem3]\nname=%s\n' \
  "$samples/turntable/turntable_00.jpg" "$work/other/turntable_00.jpg" "$work/broken.jpg" \
  "$samples/turntable/turntable_02.jpg" >"$work/dup.vpj"
expect "refused photos are named and fail the export" 1 "other/turntable_00.jpg: has the same file name" \
  "$cli" export "$work/dup.vpj" -o "$work/dup.swf"
expect "the strict export names the unreadable photo too" 1 "broken.jpg" \
  "$cli" export "$work/dup.vpj" -o "$work/dup.swf"
expect "--skip-unreadable exports the others" 0 "wrote .*: 2 frames" \
  "$cli" export "$work/dup.vpj" -o "$work/dup.swf" --skip-unreadable
# Photos whose header reads but whose pixels cannot be had. A PNG claiming
# 60000 x 60000 is refused at the load (which reads headers only) and must
# not set the scale; a JPEG cut in half is found only when its frame is made.
printf '\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\xea\x60\x00\x00\xea\x60\x08\x02\x00\x00\x00\x0f\xb0\xe2\x15\x00\x00\x00\x11\x49\x44\x41\x54\x78\x9c\x63\x60\x18\x05\xa3\x60\x14\x0c\x77\x00\x00\x03\xe8\x00\x01\xb3\xa6\xd3\x46\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82' >"$work/huge.png"
good="$samples/turntable/turntable_03.jpg"
half=$(($(wc -c <"$samples/turntable/turntable_04.jpg") / 2))
head -c "$half" "$samples/turntable/turntable_04.jpg" >"$work/cut.jpg"
two_photos() { # project-file first second
  printf '[project]\nitemCount=2\n[projectItem0]\nname=%s\n[projectItem1]\nname=%s\n[trimBox]\np1x=0.1\np1y=0.1\np2x=0.9\np2y=0.9\n' \
    "$2" "$3" >"$1"
}
two_photos "$work/huge.vpj" "$work/huge.png" "$good"
expect "a photo too large is refused at the load" 1 "huge.png: image too large" \
  "$cli" export "$work/huge.vpj" -o "$work/huge.swf"
expect "the others export without it, sized by the good photo" 0 "wrote .*: 1 frames of 500 x 375" \
  "$cli" export "$work/huge.vpj" -o "$work/huge.swf" --skip-unreadable
two_photos "$work/cut.vpj" "$good" "$work/cut.jpg"
expect "a photo cut short fails the export, named" 1 "no movie written: .*cut.jpg" \
  "$cli" export "$work/cut.vpj" -o "$work/cut.swf"
[ -e "$work/cut.swf" ] && { echo "FAIL a movie was written"; failed=$((failed + 1)); }
expect "--skip-unreadable names a photo cut short" 0 "skipped: .*cut.jpg" \
  "$cli" export "$work/cut.vpj" -o "$work/cut.swf" --skip-unreadable
expect "--skip-unreadable exports the rest" 0 "wrote .*: 1 frames" \
  "$cli" export "$work/cut.vpj" -o "$work/cut.swf" --skip-unreadable
# Every photo an export cannot use is named in one run: those the load
# refuses (empty, not a picture, a header claiming a huge size) and the one
# cut short, which only its frame finds out; nothing is written.
: >"$work/empty.jpg"
printf '[project]\nitemCount=5\n[projectItem0]\nname=%s\n[projectItem1]\nname=%s\n[projectItem2]\nname=%s\n[projectItem3]\nname=%s\n[projectItem4]\nname=%s\n' \
  "$good" "$work/empty.jpg" "$work/broken.jpg" "$work/huge.png" "$work/cut.jpg" >"$work/four.vpj"
for command in "export -o $work/four.swf" "anim -o $work/four.gif"; do
  out=$("$cli" ${command%% *} "$work/four.vpj" ${command#* } 2>&1)
  status=$?
  [ "$status" -eq 1 ] || fail "${command%% *} of unusable photos ended with $status"
  grep -q "4 photos cannot be used" <<<"$out" || fail "${command%% *} did not count the unusable photos: $out"
  for name in empty.jpg broken.jpg huge.png cut.jpg; do
    grep -q "kalvane-cli: .*$name" <<<"$out" || fail "${command%% *} did not name $name: $out"
  done
  grep -q '[^ -~]' <<<"$out" && fail "${command%% *} said something not in English: $out"
done
[ -e "$work/four.swf" ] || [ -e "$work/four.gif" ] && fail "a movie of unusable photos was written"
expect "a file that is no project is refused" 1 "not a project file" \
  "$cli" info "$work/broken.jpg"
expect "a bad width is bad usage" 2 "--width must be" "$cli" export "$project" -o "$work/x.swf" --width 0

# What -o names: a write-protected file stays, a link is written through.
printf 'kept' >"$work/ro.swf"
chmod 0444 "$work/ro.swf"
expect "a write-protected movie is not replaced" 1 "ro.swf: the file is write-protected" \
  "$cli" export "$project" -o "$work/ro.swf" --search "$samples/turntable" --width 100
printf 'kept' >"$work/ro.vpj"
chmod 0444 "$work/ro.vpj"
expect "a write-protected project is not replaced" 1 "ro.vpj: the file is write-protected" \
  "$cli" align "$project" -o "$work/ro.vpj" --search "$samples/turntable"
for f in ro.swf ro.vpj; do
  grep -qx 'kept' "$work/$f" || { echo "FAIL the write-protected $f was replaced"; failed=$((failed + 1)); }
done
mkdir -p "$work/published"
ln -s "$work/published/veldata.swf" "$work/link.swf"
expect "a link to a movie not written yet is written through" 0 "wrote .*link.swf: 24 frames" \
  "$cli" export "$project" -o "$work/link.swf" --search "$samples/turntable" --width 100
[ -L "$work/link.swf" ] && [ -s "$work/published/veldata.swf" ] ||
  { echo "FAIL the link was not written through"; failed=$((failed + 1)); }
ln -s "$work/nowhere/veldata.swf" "$work/lost.swf"
expect "a link into a missing folder is refused" 1 "lost.swf: the link names .*whose folder does not exist" \
  "$cli" export "$project" -o "$work/lost.swf" --search "$samples/turntable" --width 100
[ -L "$work/lost.swf" ] || { echo "FAIL the dangling link was replaced"; failed=$((failed + 1)); }

# One option parser for every command: the same mistakes give the same
# messages and exit statuses wherever they are made.
for cmd in load info export mobile designs design serve preview align new; do
  expect "$cmd refuses an unknown option" 2 "unknown option --bogus" "$cli" $cmd --bogus "$project"
  expect "$cmd --help shows its usage" 0 "^usage: kalvane-cli $cmd( |\$)" "$cli" $cmd --help
  shown=$("$cli" $cmd --help | grep -cE '^(usage: | {7})kalvane-cli ')
  [ "$shown" = 1 ] || fail "$cmd --help shows the usage of $shown commands"
done
expect "design --help names its options" 0 "--description TEXT.*--autoplay none\|once\|loop" \
  bash -c "'$cli' design --help | tr '\n' ' '"
expect "-o at the end needs its value" 2 "^kalvane-cli: -o needs a file name" "$cli" export "$project" -o
expect "--output at the end too" 2 "^kalvane-cli: --output needs a file name" "$cli" align "$project" --output
expect "design's -o needs a folder" 2 "-o needs a folder" "$cli" design "$project" --design simple/light -o
expect "--width at the end" 2 "--width needs a number" "$cli" design "$project" -o "$work/s" --width
expect "--region at the end" 2 "--region needs L,T,R,B" "$cli" align "$project" -o "$work/a.vpj" --region
expect "--port at the end" 2 "--port needs a number" "$cli" serve "$work" --port
expect "--design at the end" 2 "--design needs THEME/DESIGN" "$cli" design "$project" -o "$work/s" --design
expect "--title at the end" 2 "--title needs the product's name" "$cli" design "$project" -o "$work/s" --design simple/light --title
expect "a flag takes no value" 2 "--skip-unreadable takes no value" \
  "$cli" export "$project" -o "$work/x.swf" --skip-unreadable=maybe
expect "an empty value is no value" 2 "--search needs a folder" "$cli" export "$project" -o "$work/x.swf" --search=
for w in abc 12x 2501 -5 1.5 ""; do
  expect "width '$w' is refused" 2 "--width (must be a whole number from 1 to 2500|needs)" \
    "$cli" export "$project" -o "$work/x.swf" --width "$w"
done
expect "design takes the same widths" 2 "--width must be" "$cli" design "$project" --design simple/light -o "$work/s" --width 3000
expect "preview takes the same widths" 2 "--width must be" "$cli" preview "$project" --width 0
for p in 65536 -1 80x http; do
  expect "port '$p' is refused" 2 "--port must be 0 to 65535" "$cli" serve "$work" --port "$p"
done
expect "a region with junk after it is refused" 2 "--region takes L,T,R,B" \
  "$cli" align "$project" -o "$work/a.vpj" --region 0,0,1,1junk
expect "the last of a repeated option counts" 2 "--width must be" \
  "$cli" export "$project" -o "$work/x.swf" --width 100 --width 0
expect "two projects are refused" 2 "more than one project file" "$cli" export "$project" "$project" -o "$work/x.swf"
expect "info takes one project" 2 "info takes one project file" "$cli" info "$project" "$project"
expect "designs takes nothing" 2 "designs takes no arguments" "$cli" designs shop
# A --search folder must exist, for every command that takes one; nothing is written.
expect "export: --search must exist" 1 "/nonexistent: no such folder" \
  "$cli" export "$project" -o "$work/s1.swf" --search /nonexistent
expect "mobile: --search must exist" 1 "/nonexistent: no such folder" \
  "$cli" mobile "$project" -o "$work/s2.swf" --search /nonexistent
expect "design: --search must exist" 1 "/nonexistent: no such folder" \
  "$cli" design "$project" --design simple/light -o "$work/s3" --search /nonexistent
expect "preview: --search must exist" 1 "/nonexistent: no such folder" \
  "$cli" preview "$project" --search /nonexistent
expect "align: --search must exist" 1 "/nonexistent: no such folder" \
  "$cli" align "$project" -o "$work/s4.vpj" --search /nonexistent
expect "a file is no search folder" 1 "no such folder" \
  "$cli" align "$project" -o "$work/s4.vpj" --search "$project"
for f in s1.swf s2.swf s3 s4.vpj; do
  [ -e "$work/$f" ] && { echo "FAIL $f was written with a missing --search folder"; failed=$((failed + 1)); }
done
expect "values joined with = and options first" 0 "wrote .*eq.swf: 24 frames of 100 x 75" \
  "$cli" export --width=100 --search="$samples/turntable" --output="$work/eq.swf" "$project"
mkdir -p "$work/dash"
cp "$samples/turntable/turntable_03.jpg" "$work/dash/-03.jpg"
expect "-- ends the options" 0 "items: 1 " "$cli" load -- "$work/dash/-03.jpg"
expect "align finds moved photos in --search" 0 "aligned 24 items" \
  "$cli" align "$project" -o "$work/moved.vpj" --search "$samples/turntable"

# The photos' order: numbers by value, letters without case (as the editor).
mkdir -p "$work/order"
for f in P3 p10 p2; do cp "$samples/turntable/turntable_00.jpg" "$work/order/$f.jpg"; done
expect "load orders as the editor" 0 "0  p2.jpg .* 1  P3.jpg .* 2  p10.jpg" \
  bash -c "'$cli' load '$work/order' '$work/order/P3.jpg' | tr '\n' ' '"

# The mobile movie and its two tools.
tools=$(dirname "$cli")
expect "the mobile movie is written and measured" 0 "movie size: [0-9]+ bytes" \
  "$cli" mobile "$project" -o "$work/m.swf" --search "$samples/turntable"
ln -s "$work/published/velmobile.swf" "$work/mlink.swf"
expect "the mobile movie is written through a link" 0 "movie size: [0-9]+ bytes" \
  "$cli" mobile "$project" -o "$work/mlink.swf" --search "$samples/turntable"
[ -L "$work/mlink.swf" ] && [ -s "$work/published/velmobile.swf" ] ||
  { echo "FAIL the mobile movie was not written through the link"; failed=$((failed + 1)); }
expect "mobile takes no width" 2 "160 pixels wide" "$cli" mobile "$project" -o "$work/m.swf" --width 300
expect "jpeg2swf helps" 0 "usage: jpeg2swf" "$tools/jpeg2swf" --help
expect "jpeg2swf without pictures is bad usage" 2 "no pictures given" "$tools/jpeg2swf" -o "$work/j.swf"
expect "jpeg2swf refuses an unknown option" 2 "unknown option -x" "$tools/jpeg2swf" -x "$work/turntable_00.jpg"
expect "jpeg2swf refuses quality 0" 2 "quality must be" "$tools/jpeg2swf" -q 0 "$work/turntable_00.jpg"
expect "jpeg2swf refuses rate 0" 2 "rate must be" "$tools/jpeg2swf" -r 0 "$work/turntable_00.jpg"
expect "jpeg2swf names a picture it cannot read" 1 "broken.jpg" \
  "$tools/jpeg2swf" -o "$work/j.swf" "$work/turntable_00.jpg" "$work/broken.jpg"
expect "swfcombine without a slave is bad usage" 2 "NAME=SLAVE" "$tools/swfcombine" "$work/m.swf"
expect "swfcombine refuses a slave without a name" 2 "is not NAME=SLAVE" \
  "$tools/swfcombine" "$work/m.swf" "$work/m.swf"
expect "swfcombine says the name is not there" 1 "places nothing under the name other_mc" \
  "$tools/swfcombine" -o "$work/c.swf" "$tools/template_m/velmobile.swf" "other_mc=$work/m.swf"
expect "swfcombine refuses what is no movie" 1 "not a Flash movie" \
  "$tools/swfcombine" -o "$work/c.swf" "$work/broken.jpg" "loadRect_mc=$work/m.swf"

[ $failed -eq 0 ] && echo "cli: all passed"
exit $failed
