#!/usr/bin/env bash
# A frame set put in place while the writer is killed (as by kill -9) at
# each of its steps in turn: the folder holds the earlier set or the new
# one, never frames of both, the user's files stay, and the next run
# leaves the new set alone.
# usage: frames-killed-test.sh PATH/TO/kalvane-cli SAMPLE_FOLDER KILL_LIBRARY
set -u
cli=$1
project=$2/turntable-aligned.vpj
kill_library=$3
. "$(dirname "$0")/expect.sh"

# The frames' widths, each once, and their count.
widths() { for f in "$1"/turntable-aligned_*.jpg; do [ -e "$f" ] && vipsheader -f width "$f"; done | sort -u | tr '\n' ' '; }
frames() { ls "$1" | grep -c '^turntable-aligned_'; }

# A folder of the set alone (swapped whole), and one with the user's notes
# in it (the earlier set removed by its mark). Earlier: 6 frames 300 wide;
# new: 3 frames 200 wide.
for kind in alone beside; do
  "$cli" frames "$project" -o "$work/$kind/set" --count 6 --size 300 >/dev/null || fail "$kind: the earlier set"
  [ $kind = beside ] && printf mine >"$work/$kind/set/notes.txt"
  step=1
  while [ $step -lt 100 ]; do
    rm -rf "$work/run" && cp -a "$work/$kind" "$work/run"
    set=$work/run/set
    # (the shell's own word of the kill goes with the output)
    {
      KALVANE_KILL_UNDER="$set" KALVANE_KILL_AT=$step LD_PRELOAD="$kill_library" \
        "$cli" frames "$project" -o "$set" --count 3 --size 200 >/dev/null 2>&1
    } 2>/dev/null
    status=$?
    seen="$kind, killed at step $step: $(frames "$set") frames $(widths "$set")wide"
    case "$(widths "$set")/$(frames "$set")" in
      "300 /6" | "200 /3") ;;
      # The earlier set removed, then the new one moved in, file by file.
      "300 /"[1-5] | "200 /"[12] | "/0") [ $kind = beside ] || fail "$seen: a set swapped whole is never partial" ;;
      *) fail "$seen" ;;
    esac
    [ $kind = alone ] || grep -qx mine "$set/notes.txt" || fail "$seen: the user's notes are gone"
    [ $status -eq 137 ] || break
    # Whatever the kill left, the next run puts the new set alone in place.
    "$cli" frames "$project" -o "$set" --count 3 --size 200 >/dev/null 2>&1 || fail "$seen: the next run failed"
    [ "$(widths "$set")/$(frames "$set")" = "200 /3" ] || fail "$seen: after the next run $(frames "$set") frames $(widths "$set")wide"
    ls -A "$work/run" | grep -q kalvane- && fail "$seen: left beside it: $(ls -A "$work/run")"
    step=$((step + 1))
  done
  [ $status -eq 0 ] || fail "$kind: the run that was not killed failed ($status)"
  [ $step -gt 3 ] || fail "$kind: only $step steps; the library did not stop the writer"
  echo "ok   $kind: killed at each of $((step - 1)) steps"
done

[ $failed -eq 0 ] && echo "frames killed: all passed"
exit $failed
