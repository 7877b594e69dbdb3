#!/usr/bin/env bash
# The mobile movies (a wide and a tall box) and the PC data movie of a
# four-photo project, played by a real Flash player (Ruffle) in headless
# Chromium.
# usage: flash-player-test.sh KALVANE_CLI SAMPLE_PHOTOS OUT
set -eu
cli=$1 photos=$2 out=$3
case "$out" in
  */e2e-flash) rm -rf "$out" ;;
  *) echo "flash-player-test.sh: $out is not an e2e-flash folder" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out/photos"
# photos a quarter turn apart, no offsets; the box is the full picture,
# or (tall) its middle 0.4 of the width at full height
project() {
  printf '[project]\nitemCount=4\nitemRotate=0\n'
  i=0
  for n in 00 06 12 18; do
    cp "$photos/turntable_$n.jpg" "$out/photos/$i.jpg"
    printf '[projectItem%d]\nname=%s\nx=0\ny=0\n' $i "$out/photos/$i.jpg"
    i=$((i + 1))
  done
  printf '[trimBox]\np1x=%s\np1y=0\np2x=%s\np2y=1\n' "$1" "$2"
}
project 0 1 > "$out/project.vpj"
project 0.3 0.7 > "$out/tall.vpj"
"$cli" mobile "$out/project.vpj" -o "$out/mobile.swf" > /dev/null
"$cli" mobile "$out/tall.vpj" -o "$out/mobile-tall.swf" > /dev/null
"$cli" export "$out/project.vpj" -o "$out/pc.swf" --width 320 > /dev/null
cp -r "$here/node_modules/@ruffle-rs/ruffle" "$out/ruffle"
exec node "$here/flash-player.mjs" "$cli" "$out"
