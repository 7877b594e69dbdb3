#!/usr/bin/env bash
# The mobile movie and the PC data movie of a four-photo project, played by
# a real Flash player (Ruffle) in headless Chromium.
# usage: flash-player-test.sh KALVANE_CLI SAMPLE_PHOTOS OUT
set -eu
cli=$1 photos=$2 out=$3
case "$out" in
  */e2e-flash) rm -rf "$out" ;;
  *) echo "flash-player-test.sh: $out is not an e2e-flash folder" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out/photos"
# photos a quarter turn apart, whole (the box is the full picture), no offsets
{
  printf '[project]\nitemCount=4\nitemRotate=0\n'
  i=0
  for n in 00 06 12 18; do
    cp "$photos/turntable_$n.jpg" "$out/photos/$i.jpg"
    printf '[projectItem%d]\nname=%s\nx=0\ny=0\n' $i "$out/photos/$i.jpg"
    i=$((i + 1))
  done
  printf '[trimBox]\np1x=0\np1y=0\np2x=1\np2y=1\n'
} > "$out/project.vpj"
"$cli" mobile "$out/project.vpj" -o "$out/mobile.swf" > /dev/null
"$cli" export "$out/project.vpj" -o "$out/pc.swf" --width 320 > /dev/null
cp -r "$here/node_modules/@ruffle-rs/ruffle" "$out/ruffle"
exec node "$here/flash-player.mjs" "$cli" "$out"
