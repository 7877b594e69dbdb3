#!/usr/bin/env bash
# An installed tree works from where it was installed: the programs find
# their data beside themselves through the links on the PATH.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
"$prefix/bin/kalvane-cli" designs | grep -qx 'shop/framed'
sample="$prefix/lib/kalvane/samples/turntable/turntable.vpj"
"$prefix/bin/kalvane-cli" export "$sample" -o "$prefix/out.swf" --width 120 >/dev/null
test -s "$prefix/out.swf"
"$prefix/bin/kalvane-cli" mobile "$sample" -o "$prefix/mobile.swf" >/dev/null
test -s "$prefix/mobile.swf"
# The preparation tool beside the editor, which starts it from there.
"$prefix/bin/fotomill" --size 80 -o "$prefix/prepared" "$prefix/lib/kalvane/samples/turntable" >/dev/null
test -s "$prefix/prepared/turntable_00.jpg"
for f in kalvane fotomill jpeg2swf swfcombine template_m/velmobile.swf help/index.html icons/kalvane.svg \
  velzoom/tmp.html; do
  test -e "$prefix/lib/kalvane/$f" || { echo "missing $f"; exit 1; }
done
grep -q 'application/x-kalvane-project' "$prefix/share/applications/kalvane.desktop"
grep -q '\*.vpj' "$prefix/share/mime/packages/kalvane.xml"
echo "install: ok"
