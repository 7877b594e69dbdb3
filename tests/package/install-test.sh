#!/usr/bin/env bash
# `make test-deb`: installs the package with apt as a user would, runs the
# installed programs from the system's folders, and removes it again,
# leaving the machine as it was: the package gone with every file it
# brought, and no package apt added for it left behind. Needs root; not
# for CI, as it changes the machine.
set -euo pipefail
build=$(cd "$1" && pwd)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
shopt -s nullglob
debs=("$build"/kalvane_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "test-deb: want one package in $build, found ${#debs[@]}" >&2; exit 1; }
deb=${debs[0]}
if dpkg-query -W -f='${Status}' kalvane 2>/dev/null | grep -q installed; then
  echo "test-deb: kalvane is installed already; remove it first (this test removes it at the end)" >&2
  exit 1
fi

packages() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 ~ /^.i/ {print $2}' | sort; }
before=$(packages)
work=$(mktemp -d)
# The programs' own folders for the user (settings, export work) in the
# scratch folder, so nothing is left in the real home either.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
unset XDG_RUNTIME_DIR DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir -p "$HOME"
remove() {
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kalvane >/dev/null 2>&1 || true
  local added
  added=$(comm -13 <(echo "$before") <(packages))
  if [ -n "$added" ]; then
    # shellcheck disable=SC2086
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $added >/dev/null
  fi
  rm -rf "$work"
}
trap remove EXIT

echo "test-deb: installing $(basename "$deb")"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
files=$(dpkg-query -L kalvane)

cd "$work"
[ "$(command -v kalvane-cli)" = /usr/bin/kalvane-cli ]
kalvane-cli designs | grep -qx 'shop/framed'
sample=/usr/share/kalvane/samples/turntable/turntable-aligned.vpj
kalvane-cli export "$sample" -o veldata.swf >/dev/null
test -s veldata.swf
kalvane-cli mobile "$sample" -o mobile.swf >/dev/null  # the helpers in /usr/lib/kalvane
test -s mobile.swf
kalvane-cli design "$sample" --design shop/framed -o site >/dev/null
test -s site/veldata.swf && test -s site/velzoom.js
fotomill --help | grep -q '^usage: fotomill'
fotomill --size 100 -o prepared /usr/share/kalvane/samples/turntable >/dev/null
test -s prepared/turntable_00.jpg
kalvane --version | grep -qx "kalvane $(dpkg-deb -f "$deb" Version)"
[ "$(man -w kalvane-cli)" = /usr/share/man/man1/kalvane-cli.1.gz ]
man -w fotomill >/dev/null && man -w kalvane >/dev/null
echo "test-deb: the installed programs ran"

remove
trap - EXIT
left=""
while read -r f; do
  [ -e "$f" ] && [ ! -d "$f" ] && left+="$f "
done <<<"$files"
for d in /usr/share/kalvane /usr/lib/kalvane /usr/share/doc/kalvane; do [ -e "$d" ] && left+="$d "; done
[ -z "$left" ] || { echo "test-deb: left behind: $left" >&2; exit 1; }
! dpkg-query -W -f='${Status}' kalvane 2>/dev/null | grep -q installed
[ "$(packages)" = "$before" ] || { echo "test-deb: the installed packages changed" >&2; exit 1; }
echo "test-deb: installed, ran and removed; nothing left behind"
