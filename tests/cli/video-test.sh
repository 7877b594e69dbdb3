#!/usr/bin/env bash
# kalvane-cli video on the sample project, every video read back by
# ffprobe: container, codec, pixel format, size, rate, duration, frames,
# the MP4's index at the front; and what is refused.
# usage: video-test.sh PATH/TO/kalvane-cli SAMPLE_FOLDER (photos and turntable-aligned.vpj)
set -u
cli=$1
samples=$2
project=$samples/turntable-aligned.vpj
. "$(dirname "$0")/expect.sh"
# probe FILE: "format codec pix_fmt WxH rate frames duration"
probe() {
  local s format duration
  s=$(ffprobe -v error -count_frames -select_streams v:0 -of csv=p=0 \
    -show_entries stream=codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames "$1")
  format=$(ffprobe -v error -of default=nw=1:nk=1 -show_entries format=format_name "$1")
  duration=$(ffprobe -v error -of default=nw=1:nk=1 -show_entries format=duration "$1")
  IFS=, read -r codec width height pix rate frames <<<"$s"
  printf '%s %s %s %sx%s %s %s %.3f\n' "$format" "$codec" "$pix" "$width" "$height" "$rate" \
    "$frames" "$duration"
}
is() { # name want got
  [ "$2" = "$3" ] && echo "ok   $1" || fail "$1: $3 (want $2)"
}

# The defaults: 500 wide as the data movie, 375 high made even, 8 a second.
expect "an MP4 of one turn" 0 "wrote .*spin.mp4: 24 frames of 500 x 376 pixels \(1 turn of 24\), 8 a second, 3 seconds, H.264 in MP4" \
  "$cli" video "$project" -o "$work/spin.mp4"
is "MP4 read back" "mov,mp4,m4a,3gp,3g2,mj2 h264 yuv420p 500x376 8/1 24 3.000" "$(probe "$work/spin.mp4")"
boxes=$(python3 -c '
import sys
d = open(sys.argv[1], "rb").read(); i = 0; names = []
while i + 8 <= len(d):
    n = int.from_bytes(d[i:i + 4], "big"); names.append(d[i + 4:i + 8].decode()); i += max(n, 8)
print(" ".join(names))' "$work/spin.mp4")
case "$boxes" in ftyp\ moov*mdat*) echo "ok   the index is at the front" ;; *) fail "boxes: $boxes" ;; esac

# Google Merchant's 6 seconds: two whole turns of 3 s.
expect "an MP4 of at least 6 s" 0 "48 frames of 500 x 376 pixels \(2 turns of 24\), 8 a second, 6 seconds" \
  "$cli" video "$project" -o "$work/merchant.mp4" --min-seconds 6
is "6 s MP4 read back" "mov,mp4,m4a,3gp,3g2,mj2 h264 yuv420p 500x376 8/1 48 6.000" "$(probe "$work/merchant.mp4")"
expect "a WebM" 0 "72 frames of 320 x 240 pixels \(3 turns of 24\), 12 a second, 6 seconds, VP9 in WebM" \
  "$cli" video "$project" -o "$work/spin.webm" --width 320 --fps 12 --min-seconds 5 --quality 60
is "WebM read back" "matroska,webm vp9 yuv420p 320x240 12/1 72 6.000" "$(probe "$work/spin.webm")"
# A rate with a fraction and a height of 375 x 0.6: 225, made 226 or 224.
expect "a WebM at 7.5 a second" 0 "24 frames of 300 x 22[46] pixels" \
  "$cli" video "$project" -o "$work/slow.webm" --width 300 --fps 7.5
is "7.5 a second read back" "15/2 24 3.200" "$(probe "$work/slow.webm" | cut -d' ' -f5-)"
smaller=$(stat -c %s "$work/spin.mp4")
expect "a lower quality" 0 "H.264" "$cli" video "$project" -o "$work/low.mp4" --quality 10
[ "$(stat -c %s "$work/low.mp4")" -lt "$smaller" ] || fail "quality 10 is not smaller than 75"
ls -A "$work" | grep -q kalvane- && fail "a temporary was left: $(ls -A "$work")"

# Refusals, before anything is written.
expect "an unknown extension" 2 "spin.mov: video writes .mp4 \(H.264\) or .webm \(VP9\)" \
  "$cli" video "$project" -o "$work/spin.mov"
expect "a rate of 0" 2 "--fps must be a number from 0.01 to 100" "$cli" video "$project" -o "$work/x.mp4" --fps 0
expect "a negative rate" 2 "--fps must be a number from 0.01 to 100" "$cli" video "$project" -o "$work/x.mp4" --fps -3
expect "a rate no encoder takes" 2 "--fps must be a number from 0.01 to 100" \
  "$cli" video "$project" -o "$work/x.webm" --fps 1e-320
expect "quality above 100" 2 "--quality must be a whole number from 0 to 100" \
  "$cli" video "$project" -o "$work/x.mp4" --quality 101
expect "quality below 0" 2 "--quality must be a whole number from 0 to 100" \
  "$cli" video "$project" -o "$work/x.mp4" --quality -1
expect "an odd width" 2 "--width must be an even whole number" \
  "$cli" video "$project" -o "$work/x.mp4" --width 333
expect "a negative length" 2 "--min-seconds must be a number from 0 to 3600" \
  "$cli" video "$project" -o "$work/x.webm" --min-seconds -1
expect "no output" 2 "video needs -o OUT.mp4 or -o OUT.webm" "$cli" video "$project"
expect "a missing project" 1 "nothing.vpj: no such project file" \
  "$cli" video "$work/nothing.vpj" -o "$work/x.mp4"
mkdir "$work/folder.mp4"
expect "a folder as the output" 1 "not a regular file" "$cli" video "$project" -o "$work/folder.mp4"
printf 'kept' >"$work/ro.mp4"
chmod 0444 "$work/ro.mp4"
expect "a write-protected video is not replaced" 1 "ro.mp4: the file is write-protected" \
  "$cli" video "$project" -o "$work/ro.mp4"
grep -qx kept "$work/ro.mp4" || fail "the write-protected file was replaced"
[ -e "$work/x.mp4" ] || [ -e "$work/x.webm" ] && fail "a refused video was written"
ls -A "$work" | grep -q kalvane- && fail "a temporary was left: $(ls -A "$work")"

[ $failed -eq 0 ] && echo "video: all passed"
exit $failed
