#!/usr/bin/env bash
# The sample project's MP4 and WebM played, and its animated WebP and GIF
# shown, in headless Chromium.
# usage: video-test.sh KALVANE_CLI SAMPLE_PROJECT OUT
set -eu
cli=$1 project=$2 out=$3
case "$out" in
  */e2e-videos) rm -rf "$out" ;;
  *) echo "video-test.sh: $out is not an e2e-videos folder" >&2; exit 2 ;;
esac
mkdir -p "$out"
"$cli" video "$project" -o "$out/spin.mp4" --min-seconds 6 > /dev/null
"$cli" video "$project" -o "$out/spin.webm" --min-seconds 6 > /dev/null
"$cli" anim "$project" -o "$out/spin.webp" > /dev/null
"$cli" anim "$project" -o "$out/spin.gif" > /dev/null
"$cli" frames "$project" -o "$out/frames" --count 1 --format png > /dev/null
cp "$out/frames/"*_01.png "$out/first.png"
exec node "$(dirname "$0")/video.mjs" "$out"
