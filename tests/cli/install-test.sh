#!/usr/bin/env bash
# An installed tree works from where it was installed: the programs on the
# PATH find their data in share/kalvane and their helpers in lib/kalvane.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$prefix"
data=$prefix/share/kalvane
"$prefix/bin/kalvane-cli" designs | grep -qx 'shop/framed'
sample="$data/samples/turntable/turntable.vpj"
# The installed sample names its photos where they were installed.
grep -q "name=$data/samples/turntable/" "$sample"
"$prefix/bin/kalvane-cli" export "$sample" -o "$prefix/out.swf" --width 120 >/dev/null
test -s "$prefix/out.swf"
"$prefix/bin/kalvane-cli" mobile "$sample" -o "$prefix/mobile.swf" >/dev/null
test -s "$prefix/mobile.swf"
"$prefix/bin/kalvane-cli" design "$sample" --design shop/framed -o "$prefix/site" >/dev/null
test -s "$prefix/site/veldata.swf"
# The preparation tool beside the editor, which starts it from there.
"$prefix/bin/fotomill" --size 80 -o "$prefix/prepared" "$data/samples/turntable" >/dev/null
test -s "$prefix/prepared/turntable_00.jpg"
# The editor answers --version without a display.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/kalvane" --version | grep -qx 'kalvane [0-9.]*'
for f in bin/kalvane bin/kalvane-cli bin/fotomill lib/kalvane/jpeg2swf lib/kalvane/swfcombine \
  share/kalvane/template_m/velmobile.swf share/kalvane/help/index.html share/kalvane/icons/kalvane.svg \
  share/kalvane/velzoom/tmp.html share/icons/hicolor/scalable/apps/kalvane.svg \
  share/icons/hicolor/48x48/apps/kalvane.png share/icons/hicolor/256x256/apps/kalvane.png \
  share/applications/fotomill.desktop share/metainfo/example.kalvane.Kalvane.metainfo.xml \
  share/man/man1/kalvane.1 share/man/man1/kalvane-cli.1 share/man/man1/fotomill.1; do
  test -e "$prefix/$f" || { echo "missing $f"; exit 1; }
done
# Nothing of the programs' own lies on the PATH but the three programs.
test "$(ls "$prefix/bin")" = "$(printf 'fotomill\nkalvane\nkalvane-cli')"
grep -q 'application/x-kalvane-project' "$prefix/share/applications/kalvane.desktop"
grep -q '\*.vpj' "$prefix/share/mime/packages/kalvane.xml"
echo "install: ok"
