#!/bin/bash
# A day's products over a few workstations with GNU parallel and ssh: the
# manifest cut into SHARDS shards, each host making one shard at a time
# until all are made. The manifest, its photos and OUTDIR must lie at the
# same path on every host (a shared folder, NFS), and kalvane-cli be on
# each host's PATH. Run it again to make what failed or was not reached.
#
#   examples/parallel/batch-over-ssh.sh /shared/day/manifest.jsonl /shared/day/out 8 ws1 ws2 ws3
set -eu
if [ $# -lt 4 ]; then
  echo "usage: $0 MANIFEST.jsonl OUTDIR SHARDS HOST..." >&2
  exit 2
fi
manifest=$1 outdir=$2 shards=$3
shift 3
hosts=$(IFS=,; echo "$*")
# One shard a host at once: a product already uses every core of it.
seq 0 $((shards - 1)) |
  parallel --jobs 1 --sshlogin "$hosts" --tag --line-buffer \
    kalvane-cli batch "$manifest" -o "$outdir" --shard {}/"$shards"
