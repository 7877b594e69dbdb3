#!/usr/bin/env bash
# kalvane-cli align on a rendered turntable shoot whose product fills the
# frame and turns (its spots, handle and shadow move on) while the camera
# shakes by known fractions of a pixel: the offsets found cancel the shake
# and follow nothing that turns. A photo blurred past use is named as
# doubtful (or kept), never silently placed.
set -euo pipefail
cli=$1
shoot=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
n=$(grep -vc '^#' "$shoot/shake.txt")
project() { # FILE [PHOTO-TO-REPLACE REPLACEMENT]
  {
    printf '[project]\nitemCount=%d\nitemRotate=0\n' "$n"
    i=0
    grep -v '^#' "$shoot/shake.txt" | while read -r name dx dy; do
      path=$shoot/$name
      if [ "${2:-}" = "$name" ]; then path=$3; fi
      printf '[projectItem%d]\nname=%s\nx=0\ny=0\n' "$i" "$path"
      i=$((i + 1))
    done
  } >"$1"
}
project "$out/shot.vpj"
"$cli" align "$out/shot.vpj" -o "$out/aligned.vpj" >"$out/table.txt"
grep -q "aligned $n items" "$out/table.txt"
grep -q 'none doubtful' "$out/table.txt"
# fx,fy cancel the shake the photos were moved by: within a quarter pixel
# each, a tenth in the middle
paste <(grep '^fx=' "$out/aligned.vpj" | cut -d= -f2) <(grep '^fy=' "$out/aligned.vpj" | cut -d= -f2) \
  <(grep -v '^#' "$shoot/shake.txt") |
  awk '{ ex = $1 + $4; ey = $2 + $5; e = sqrt(ex * ex + ey * ey); if (e > 0.25) {
           print $3 ": off by " ex "," ey; bad = 1 } all[NR] = e }
       END { near = 0; for (i = 1; i <= NR; i++) if (all[i] <= 0.1) near++
             if (near * 2 < NR) { print "fewer than half within a tenth of a pixel"; bad = 1 }
             exit bad }'
# A photo blurred past use: named after the table, whether kept or placed.
vips gaussblur "$shoot/photo_03.jpg" "$out/blurred.jpg" 12
project "$out/blurred.vpj" photo_03.jpg "$out/blurred.jpg"
"$cli" align "$out/blurred.vpj" -o "$out/x.vpj" >"$out/blurred.txt"
grep -E '^ +3 +blurred.jpg .*(doubtful|not trusted: kept)$' "$out/blurred.txt" >/dev/null
tail -1 "$out/blurred.txt" | grep -q '^aligned'
grep -E 'doubtful \(confidence below 40 %, worth a look\): 3 blurred.jpg$' "$out/blurred.txt" >/dev/null
echo "align turning: ok"
