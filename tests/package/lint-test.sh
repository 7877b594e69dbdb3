#!/usr/bin/env bash
# The package `make deb` wrote: its version is the programs', it holds the
# installed layout and nothing of the build machine, and lintian finds no
# error and no warning that debian/ does not explain.
set -euo pipefail
build=$1 version=$2
shopt -s nullglob
debs=("$build"/kalvane_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "want one package in $build, found ${#debs[@]}"; exit 1; }
deb=${debs[0]}
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || {
  echo "package version $(dpkg-deb -f "$deb" Version), programs $version (debian/changelog)"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q 'libvips42' || { echo "no library dependencies found"; exit 1; }
contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
for f in /usr/bin/kalvane /usr/bin/kalvane-cli /usr/bin/fotomill /usr/lib/kalvane/jpeg2swf \
  /usr/lib/kalvane/swfcombine /usr/share/kalvane/template_m/velmobile.swf \
  /usr/share/kalvane/template/shop/framed/velzoom.js /usr/share/kalvane/samples/turntable/turntable.vpj \
  /usr/share/applications/kalvane.desktop /usr/share/applications/fotomill.desktop \
  /usr/share/mime/packages/kalvane.xml /usr/share/metainfo/example.kalvane.Kalvane.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/kalvane.svg /usr/share/icons/hicolor/128x128/apps/kalvane.png \
  /usr/share/man/man1/kalvane.1.gz /usr/share/man/man1/kalvane-cli.1.gz /usr/share/man/man1/fotomill.1.gz \
  /usr/share/doc/kalvane/copyright; do
  grep -qx "$f" <<<"$contents" || { echo "missing $f"; exit 1; }
done
outside=$(grep -Ev '^/$|^/usr/$|^/usr/bin/$|^/usr/bin/(kalvane|kalvane-cli|fotomill)$|^/usr/lib/$|^/usr/lib/kalvane/|^/usr/share/' \
  <<<"$contents" || true)
[ -z "$outside" ] || { echo "outside the layout: $outside"; exit 1; }
# The sample project names its photos where they are installed.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp"
grep -q '^name=/usr/share/kalvane/samples/turntable/' "$tmp/usr/share/kalvane/samples/turntable/turntable.vpj" ||
  { echo "the installed sample names its photos elsewhere"; exit 1; }
lintian --fail-on error,warning --display-level '>=warning' --show-overrides "$deb"
echo "package: ok"
