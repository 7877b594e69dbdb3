#!/usr/bin/env bash
# kalvane-cli against sizes meant to exhaust it (counts, photos, rates), a
# project made with relative names opened from elsewhere, a squatted
# temporary folder and a wait for another export.
# usage: limits-test.sh PATH/TO/kalvane-cli SAMPLE_FOLDER (photos and turntable-aligned.vpj)
set -u
cli=$(realpath "$1")
samples=$(realpath "$2")
project=$samples/turntable-aligned.vpj
. "$(dirname "$0")/expect.sh"

# Under a gigabyte of address space, answered at once: the count is held
# against the project's photos before anything is made for it.
# A sanitizer's shadow memory needs more address space than that: there
# only the time is held.
if [ -n "${KALVANE_SANITIZED:-}" ]; then
  limited() { timeout 60 "$@"; }
else
  limited() { (ulimit -v 1000000 && timeout 20 "$@"); }
fi
expect "a billion frames" 2 "a set of 1073741824 frames needs as many photos; the project has 24" \
  limited "$cli" frames "$project" -o "$work/set" --count 1073741824
expect "ten million frames" 2 "a set of 10000000 frames needs as many photos" \
  limited "$cli" frames "$project" -o "$work/set" --count 10000000
[ -e "$work/set" ] && fail "a refused set made its folder"

# More photos than a movie holds: refused before one is read.
mkdir "$work/many"
for i in $(seq 1 1001); do ln -s "$samples/turntable_00.jpg" "$work/many/p$i.jpg"; done
expect "1001 photos" 1 "1001 photos: a project's movie holds at most 1000 frames; no project written" \
  limited "$cli" new "$work/many" -o "$work/many.vpj"
[ -e "$work/many.vpj" ] && fail "a refused project was written"

# Relative names in, a project that finds its photos from any folder.
mkdir -p "$work/shoot/base" "$work/elsewhere"
cp "$samples"/turntable_0[0-3].jpg "$work/shoot/base/"
(cd "$work/shoot" && "$cli" new ./base -o rel.vpj >/dev/null) || fail "new with relative names"
grep -q "^name=$work/shoot/base/turntable_00.jpg$" "$work/shoot/rel.vpj" ||
  fail "not stored from the root: $(grep -m1 '^name=' "$work/shoot/rel.vpj")"
expect "opened from another folder" 0 "missing images: 0" \
  bash -c "cd '$work/elsewhere' && '$cli' info ../shoot/rel.vpj"
expect "and exported from there" 0 "wrote .*: 4 frames" \
  bash -c "cd '$work/elsewhere' && '$cli' export ../shoot/rel.vpj -o rel.swf --width 100"

# Rates the formats cannot carry, with the range.
expect "a GIF at 60 a second" 2 "--fps 60: an animated GIF shows from 50 frames a second down to one frame every 655.35 seconds" \
  "$cli" anim "$project" -o "$work/x.gif" --fps 60
expect "a GIF frame of 10000 seconds" 2 "a frame lasts 2 to 65535 hundredths of a second" \
  "$cli" anim "$project" -o "$work/x.gif" --fps 0.0001
expect "a WebP at 99 a second" 2 "--fps 99: an animated WebP shows from 90.909091 frames a second" \
  "$cli" anim "$project" -o "$work/x.webp" --fps 99
expect "a rate of 1e-320" 2 "a frame lasts 11 to 16777215 milliseconds" \
  "$cli" anim "$project" -o "$work/x.webp" --fps 1e-320
[ -e "$work/x.gif" ] || [ -e "$work/x.webp" ] && fail "a refused animation was written"

# The folder the exports used to share in /tmp, taken by someone else,
# blocks nothing: the user's own folder lies in the runtime folder (or
# the cache) instead.
mkdir -p "$work/tmp" "$work/home" && chmod 700 "$work/home"
printf 'taken' >"$work/tmp/Kalvane-$(id -u)"
expect "an export beside a squatted temporary folder" 0 "wrote .*squat.swf" \
  env -u XDG_RUNTIME_DIR -u XDG_CACHE_HOME TMPDIR="$work/tmp" HOME="$work/home" \
  "$cli" export "$project" -o "$work/squat.swf" --width 100
[ -f "$work/home/.cache/kalvane/0.jpg" ] || fail "the frames are not in the user's cache folder"

# An export waiting for another says so, and goes on when the other ends.
mkdir -m 700 "$work/run"
mkdir -m 700 "$work/run/kalvane"
exec 9>"$work/run/kalvane/.export-lock"
flock 9
XDG_RUNTIME_DIR="$work/run" "$cli" export "$project" -o "$work/waited.swf" --width 100 \
  9>&- 2>"$work/wait.txt" >/dev/null &
waiter=$!
for _ in $(seq 200); do
  grep -q waiting "$work/wait.txt" && break
  sleep 0.05
done
grep -q "^kalvane-cli: waiting for another export to finish" "$work/wait.txt" ||
  fail "the wait was not said: $(cat "$work/wait.txt")"
[ -e "$work/waited.swf" ] && fail "wrote while another export held the lock"
exec 9>&-
wait "$waiter" || fail "the waiting export failed: $(cat "$work/wait.txt")"
[ -s "$work/waited.swf" ] || fail "the waiting export wrote nothing"

[ $failed -eq 0 ] && echo "limits: all passed"
exit $failed
