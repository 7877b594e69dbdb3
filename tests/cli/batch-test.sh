#!/usr/bin/env bash
# kalvane-cli batch over small products of the sample photos: results and
# reports, the exit status, a second run that skips everything, --force,
# --dry-run, two shards that cover every product once, a product another
# run holds, and a run killed with SIGKILL, then resumed.
# usage: batch-test.sh PATH/TO/kalvane-cli SAMPLE_FOLDER (its turntable_NN.jpg photos)
set -u
cli=$1
samples=$2
. "$(dirname "$0")/expect.sh"
cd "$work" || exit 1

# Products of two or three photos each; "twelve" has too few for Amazon's
# view, "missing" names a folder that is not there.
shoot() { # folder first-photo count
  mkdir -p "shots/$1"
  for ((i = $2; i < $2 + $3; i++)); do cp "$samples/turntable_$(printf %02d $i).jpg" "shots/$1/"; done
}
shoot mug 0 3
shoot cup 3 2
shoot jar 5 2
shoot pot 7 2
shoot vase 9 3
shoot twelve 0 12
cat >good.jsonl <<'EOF'
{"id": "mug", "photos": ["shots/mug"], "align": false, "outputs": ["swf", "frames"]}

{"id": "cup", "photos": ["shots/cup"], "title": "Cup", "outputs": ["pageset", "mobile"]}
{"id": "jar", "photos": ["shots/jar"], "prepare": {"white_background": true, "size": 400}, "align": false, "outputs": ["gif"]}
{"id": "pot", "photos": ["shots/pot/turntable_08.jpg", "shots/pot/turntable_07.jpg"], "align": false, "rotate": 90, "outputs": ["swf"]}
{"id": "vase", "project": "vase.vpj", "box": [0.2, 0.1, 0.8, 0.9], "outputs": ["webp"]}
EOF
"$cli" new shots/vase -o vase.vpj >/dev/null || fail "the project of vase"
{
  cat good.jsonl
  echo '{"id": "missing", "photos": ["shots/none"], "align": false, "outputs": ["swf"]}'
  echo '{"id": "twelve", "photos": ["shots/twelve"], "align": false, "outputs": ["amazon", "swf"]}'
} >all.jsonl
report() { cat "$1"/report-*.jsonl 2>/dev/null; }
# The products of a report with a status, in name order, on one line.
with() { grep "\"status\":\"$2\"" "$1" 2>/dev/null | grep -o '"id":"[^"]*"' | cut -d'"' -f4 | sort | tr '\n' ' '; }
# Every product's files with their times, to see that nothing changed.
listing() { find "$1" -type f ! -name '*.jsonl' -printf '%p %s %T@\n' | sort; }

# -- A manifest error runs nothing.
printf '{"id": "a", "photos": ["x"], "outputs": ["swf"]}\n{"id": "b", "photos": ["x"], "outputs": ["png"]}\n' >bad.jsonl
expect "a manifest error names line and column" 2 '^bad.jsonl:2:42: unknown output "png"' \
  "$cli" batch bad.jsonl -o bad-out
[ -e bad-out ] && fail "a bad manifest wrote something"
expect "a bad shard" 2 "--shard takes I/N" "$cli" batch good.jsonl -o out --shard 2/2
expect "a shard the environment gives without its count" 2 "KALVANE_SHARD_COUNT is not set" \
  env JOB_COMPLETION_INDEX=1 "$cli" batch good.jsonl -o out
expect "no output into the root" 1 "batch output" "$cli" batch good.jsonl -o /

# -- The first run: failures named, the others made, a report line each.
expect "the first run" 1 "7 products: 5 ok, 0 done earlier, 2 failed, 0 busy" \
  "$cli" batch all.jsonl -o out
"$cli" batch all.jsonl -o out >/dev/null 2>stderr
grep -q "failed: missing: photos: .*shots/none: no such file or folder" stderr ||
  fail "the missing folder is not named: $(cat stderr)"
grep -q "failed: twelve: amazon: .*twelve-amazon.zip: 12 photos: .*at least 24 photos" stderr ||
  fail "the Amazon set of 12 photos is not refused by name: $(cat stderr)"
[ "$(with out/report-0-of-1.jsonl ok)" = "cup jar mug pot vase " ] || fail "ok: $(report out)"
[ "$(with out/report-0-of-1.jsonl done-earlier)" = "cup jar mug pot vase " ] || fail "again: $(report out)"
[ "$(with out/report-0-of-1.jsonl failed)" = "missing missing twelve twelve " ] || fail "failed: $(report out)"
grep -q '"status": "failed"' out/twelve/result.json && grep -q '"step": "amazon"' out/twelve/result.json ||
  fail "twelve's result: $(cat out/twelve/result.json)"
[ -s out/twelve/twelve.vpj ] && [ -s out/twelve/veldata.swf ] || fail "twelve's other outputs were not made"
for f in mug/mug.vpj mug/veldata.swf mug/frames/001.jpg mug/frames/003.jpg cup/site/veldata.swf \
  cup/mobile.swf jar/jar.gif jar/prepared/turntable_05.jpg pot/veldata.swf vase/vase.webp; do
  [ -s "out/$f" ] || fail "out/$f was not made"
done
[ "$(vipsheader -f width out/jar/prepared/turntable_06.jpg)" = 400 ] || fail "jar's photos were not prepared"
[ "$(vipsheader -f width out/mug/frames/002.jpg)" = 1000 ] || fail "frames are not 1000 pixels"
grep -q "Cup" out/cup/site/velzoom.html || fail "the page set has not the title"
# Each output's bytes, as result.json says them.
size=$(stat -c %s out/mug/veldata.swf)
grep -q "\"path\": \"$work/out/mug/veldata.swf\"," out/mug/result.json &&
  grep -A1 "mug/veldata.swf" out/mug/result.json | grep -q "\"bytes\": $size" ||
  fail "mug's result.json: $(cat out/mug/result.json)"

# -- Only the good products: the first run makes what is left, the next skips everything.
expect "the good products are done" 0 "5 products: 0 ok, 5 done earlier, 0 failed" "$cli" batch good.jsonl -o out
before=$(listing out)
expect "a second run skips everything" 0 "5 done earlier" "$cli" batch good.jsonl -o out
[ "$(listing out)" = "$before" ] || fail "a skipping run changed files"

# -- A photo touched: the dry run says so and writes nothing; a run makes that product alone.
touch -d '2001-02-03' shots/pot/turntable_07.jpg
lines=$(report out | wc -l)
expect "the dry run names what would run" 0 "run   pot  \(its line, photos or the program changed\)" \
  "$cli" batch good.jsonl -o out --dry-run
"$cli" batch good.jsonl -o out --dry-run | grep -q "^done  mug$" || fail "the dry run would make mug"
[ "$(report out | wc -l)" = "$lines" ] && [ "$(listing out)" = "$before" ] || fail "the dry run wrote"
expect "a touched photo makes its product again" 0 "5 products: 1 ok, 4 done earlier" \
  "$cli" batch good.jsonl -o out
expect "--force makes every product again" 0 "5 products: 5 ok, 0 done earlier" \
  "$cli" batch good.jsonl -o out --force --jobs 2

# -- A product another run holds is left to it.
lockfile=out/mug/.kalvane-batch.lock
mkfifo hold
flock "$lockfile" cat hold >/dev/null &
holder=$!
while flock -n "$lockfile" true; do :; done # until it holds the lock
expect "a held product is busy" 1 "4 done earlier, 0 failed, 1 busy" "$cli" batch good.jsonl -o out
echo >hold
wait $holder
grep -q '"id":"mug","status":"busy"' out/report-0-of-1.jsonl || fail "busy is not reported"

# -- Two shards: every product once, in the shard its id's hash says; the
# environment of a Slurm array gives the same shards.
expect "shard 0 of 2" 0 "of shard 0/2" "$cli" batch good.jsonl -o shards --shard 0/2 --jobs 2
expect "shard 1 of 2" 0 "of shard 1/2" "$cli" batch good.jsonl -o shards --shard 1/2
both="$(with shards/report-0-of-2.jsonl ok)$(with shards/report-1-of-2.jsonl ok)"
[ "$(echo $both | tr ' ' '\n' | sort | tr '\n' ' ')" = "cup jar mug pot vase " ] ||
  fail "the shards made $both"
SLURM_ARRAY_TASK_ID=7 SLURM_ARRAY_TASK_MIN=7 SLURM_ARRAY_TASK_COUNT=2 \
  "$cli" batch good.jsonl -o slurm >/dev/null 2>&1
[ "$(with slurm/report-0-of-2.jsonl ok)" = "$(with shards/report-0-of-2.jsonl ok)" ] ||
  fail "Slurm's first task made $(with slurm/report-0-of-2.jsonl ok)"

# -- Killed with SIGKILL while making a product, then resumed.
shoot slow 0 24
printf '%s\n' '{"id": "first", "photos": ["shots/cup"], "align": false, "outputs": ["swf"]}' \
  '{"id": "slow", "photos": ["shots/slow"], "outputs": ["mp4", "webm"]}' \
  '{"id": "last", "photos": ["shots/jar"], "align": false, "outputs": ["swf"]}' >killed.jsonl
"$cli" batch killed.jsonl -o killed >/dev/null 2>&1 &
batch=$!
for ((i = 0; i < 1200; i++)); do [ -e killed/slow/batch.log ] && break; sleep 0.05; done # until it works on slow
makers=$(cat /proc/$batch/task/$batch/children)
kill -9 $batch
wait $batch 2>/dev/null
for pid in $makers; do # each product's process ends with the batch
  for ((i = 0; i < 200; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -0 "$pid" 2>/dev/null && fail "the product's process $pid outlived the batch"
done
[ -n "$makers" ] || fail "no product was in work when the batch was killed"
[ -e killed/first/result.json ] || fail "the product done before the kill has no result"
[ -e killed/slow/result.json ] && fail "the product killed midway has a result: $(cat killed/slow/result.json)"
[ -e killed/last/result.json ] && fail "the product after it was made"
expect "the run resumed" 0 "3 products: 2 ok, 1 done earlier, 0 failed" "$cli" batch killed.jsonl -o killed
[ "$(with killed/report-0-of-1.jsonl ok)" = "first last slow " ] || fail "resumed: $(report killed)"
[ "$(find killed -name '*.kalvane-??????' | wc -l)" = 0 ] ||
  fail "temporaries are left: $(find killed -name '*.kalvane-??????')"

[ $failed -eq 0 ] && echo "batch: all passed"
exit $failed
