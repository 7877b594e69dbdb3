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
diff "$out/aligned.vpj" "$samples/turntable-aligned.vpj"
diff <(grep -v '^[xy]=' "$out/aligned.vpj") <(grep -v '^[xy]=' "$samples/turntable.vpj")
if "$cli" align "$samples/turntable.vpj" -o "$out/x.vpj" --region 0.5,0,0.2,1 2>/dev/null; then
  echo "a region with left > right was taken"; exit 1
fi
echo "align: ok"
