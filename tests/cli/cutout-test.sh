#!/usr/bin/env bash
# fotomill's cut-outs from the command line: on white every pixel the
# truth calls backdrop is exactly white, transparent keeps an alpha that
# covers the product, the soft shadow is the same in every frame, and what
# is refused.
# usage: cutout-test.sh PATH/TO/fotomill RENDERS (KIND_NN.jpg beside
# KIND_NN-truth.png, and plate.jpg)
set -u
tool=$1
renders=$2
. "$(dirname "$0")/expect.sh"

# Pixels of IMAGE that are not 255 in every band where TRUTH (dilated by
# two pixels, for the anti-aliased edge) is backdrop.
not_white() { # image truth
  vips morph "$2" "$work/grown.v" "$work/disc.mat" dilate
  vips relational_const "$work/grown.v" "$work/back.v" less 1
  vips extract_band "$1" "$work/rgb.v" 0 --n 3
  vips bandbool "$work/rgb.v" "$work/and.v" and
  vips relational_const "$work/and.v" "$work/grey.v" less 255
  vips boolean "$work/grey.v" "$work/back.v" "$work/bad.v" and
  vips avg "$work/bad.v" | awk -v n="$(($(vipsheader -f width "$1") * $(vipsheader -f height "$1")))" '{printf "%d\n", $1 / 255 * n + 0.5}'
}
printf '5 5\n255 255 255 255 255\n255 255 255 255 255\n255 255 255 255 255\n255 255 255 255 255\n255 255 255 255 255\n' >"$work/disc.mat"

expect "white, as PNG" 0 "prepared 4 of 4 photos" \
  "$tool" --cutout white --format png -o "$work/white" "$renders"/dark_0*.jpg
for f in "$work"/white/dark_0*.png; do
  n=$(not_white "$f" "$renders/$(basename "${f%.png}")-truth.png")
  [ "$n" = 0 ] || fail "$f: $n backdrop pixels are not exactly white"
done
# The photo itself is no white: the check above could fail.
n=$(not_white "$renders/dark_00.jpg" "$renders/dark_00-truth.png")
[ "$n" -gt 1000 ] || fail "the shot's backdrop is white already ($n grey pixels): the check proves nothing"

expect "white, as JPEG" 0 "prepared 1 of 1" \
  "$tool" --cutout white -o "$work/jpeg" "$renders/dark_00.jpg"
[ "$(vipsheader -f bands "$work/jpeg/dark_00.jpg")" = 3 ] || fail "a JPEG with alpha"

expect "transparent is PNG unless asked" 0 "wrote .*/dark_00.png" \
  "$tool" --cutout transparent -o "$work/clear" "$renders/dark_00.jpg"
[ "$(vipsheader -f bands "$work/clear/dark_00.png")" = 4 ] || fail "no alpha in the PNG"
# The alpha covers the product: at least 95 % of the truth is opaque.
vips extract_band "$work/clear/dark_00.png" "$work/alpha.v" 3
vips boolean "$work/alpha.v" "$renders/dark_00-truth.png" "$work/both.v" and
cover=$(echo "$(vips avg "$work/both.v") $(vips avg "$renders/dark_00-truth.png")" | awk '{printf "%.3f", $1 / $2}')
awk -v c="$cover" 'BEGIN {exit !(c > 0.95)}' || fail "the alpha covers $cover of the product"
expect "transparent WebP" 0 "wrote .*/dark_00.webp" \
  "$tool" --cutout transparent --format webp -o "$work/webp" "$renders/dark_00.jpg"
[ "$(vipsheader -f bands "$work/webp/dark_00.webp")" = 4 ] || fail "no alpha in the WebP"

# One shadow for the spin, under the bottle's foot: the same in each frame.
expect "soft shadow" 0 "prepared 4 of 4" \
  "$tool" --cutout white --shadow soft --format png -o "$work/shadow" "$renders"/dark_0*.jpg
floor() { vips crop "$1" "$work/floor.png" 120 298 240 8 >/dev/null && echo "$work/floor.png"; }
for f in "$work"/shadow/dark_0[123].png; do
  cp "$(floor "$work/shadow/dark_00.png")" "$work/first.png"
  d=$(vips subtract "$(floor "$f")" "$work/first.png" "$work/d.v" && vips abs "$work/d.v" "$work/e.v" && vips max "$work/e.v")
  awk -v d="$d" 'BEGIN {exit !(d <= 2)}' || fail "$f: the shadow differs from the first frame's by $d"
done
dark=$(vips min "$(floor "$work/shadow/dark_00.png")")
awk -v d="$dark" 'BEGIN {exit !(d < 230)}' || fail "no shadow under the product (darkest $dark)"
white=$(vips min "$(floor "$work/white/dark_00.png")")
[ "$white" = 255.000000 ] || fail "a shadow without --shadow soft (darkest $white)"

expect "keyed against the empty set" 0 "prepared 1 of 1" \
  "$tool" --cutout white --plate "$renders/plate.jpg" --format png -o "$work/plate" "$renders/ring_00.jpg"
# Against the plate nearly all the backdrop goes: at most 1 % of it stays.
n=$(not_white "$work/plate/ring_00.png" "$renders/ring_00-truth.png")
[ "$n" -lt 1700 ] || fail "keyed: $n backdrop pixels are not exactly white"

# Refused, each with its reason and exit 2.
expect "transparent JPEG" 2 "--cutout transparent needs --format png or webp" \
  "$tool" --cutout transparent --format jpg -o "$work/x" "$renders/ring_00.jpg"
expect "an unknown cut-out" 2 "--cutout takes white or transparent" \
  "$tool" --cutout grey -o "$work/x" "$renders/ring_00.jpg"
expect "an unknown shadow" 2 "--shadow takes none or soft" \
  "$tool" --cutout white --shadow hard -o "$work/x" "$renders/ring_00.jpg"
expect "a shadow without a cut-out" 2 "--shadow goes with --cutout" \
  "$tool" --shadow soft -o "$work/x" "$renders/ring_00.jpg"
expect "a plate without a cut-out" 2 "--plate goes with --cutout" \
  "$tool" --plate "$renders/plate.jpg" -o "$work/x" "$renders/ring_00.jpg"
expect "cut-out and white background" 2 "do not go together" \
  "$tool" --cutout white --white-background -o "$work/x" "$renders/ring_00.jpg"
expect "a missing plate" 1 "the photo of the empty set .*no such file" \
  "$tool" --cutout white --plate "$work/none.jpg" -o "$work/x" "$renders/ring_00.jpg"
[ ! -e "$work/x/ring_00.jpg" ] || fail "a refused run wrote a photo"
vips crop "$renders/plate.jpg" "$work/narrow.jpg" 0 0 200 360
expect "a plate of another shape" 1 "is not the photos' shape" \
  "$tool" --cutout white --plate "$work/narrow.jpg" -o "$work/y" "$renders/ring_00.jpg"

if [ "$failed" -eq 0 ]; then echo "cutout: all passed"; else echo "cutout: $failed failed"; exit 1; fi
