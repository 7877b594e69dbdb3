#!/usr/bin/env bash
# kalvane-cli align on the sample as shot gives the offsets of the aligned
# sample project, and changes nothing else in the file.
set -euo pipefail
cli=$1
samples=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$cli" align "$samples/turntable.vpj" -o "$out/aligned.vpj" >"$out/table.txt"
grep -q 'aligned 24 items' "$out/table.txt"
# whole work pixels as in the aligned sample; in photo pixels within a
# fifth of a pixel of the shifts the photos were made with
diff <(grep -v '^f[xy]=' "$out/aligned.vpj") "$samples/turntable-aligned.vpj"
diff <(grep -v '^f\?[xy]=' "$out/aligned.vpj") <(grep -v '^[xy]=' "$samples/turntable.vpj")
paste <(grep '^fx=' "$out/aligned.vpj") <(grep '^fy=' "$out/aligned.vpj") \
  <(grep -v '^#' "$samples/offsets.txt") | tr '=' ' ' |
  awk '{ ex = $2 + $6; ey = $4 + $7; if (ex < -0.2 || ex > 0.2 || ey < -0.2 || ey > 0.2) {
           print "item " NR - 1 ": fine offset " $2 "," $4 " against the shift " $6 "," $7; bad = 1 } }
       END { if (NR != 24) { print NR " fine offsets"; bad = 1 } exit bad }'
if "$cli" align "$samples/turntable.vpj" -o "$out/x.vpj" --region 0.5,0,0.2,1 2>/dev/null; then
  echo "a region with left > right was taken"; exit 1
fi
# The first item at the end of the int range: held at the offset limit,
# nothing measured against it, every offset kept within the limit.
awk 'NR == 6 { print "x=-2147483648"; next } NR == 7 { print "y=2147483647"; next } { print }' \
  "$samples/turntable.vpj" >"$out/far.vpj"
grep -qx 'x=-2147483648' "$out/far.vpj"
"$cli" align "$out/far.vpj" -o "$out/far-aligned.vpj" >"$out/far.txt"
grep -q 'aligned 24 items' "$out/far.txt"
sed -n 6,7p "$out/far-aligned.vpj" | tr '\n' ' ' | grep -qx 'x=-1000000 y=1000000 '
if grep -E '^[xy]=-?[0-9]{8,}' "$out/far-aligned.vpj"; then
  echo "an offset beyond the limit was written"; exit 1
fi
echo "align: ok"
