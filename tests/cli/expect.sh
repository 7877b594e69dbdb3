# What the command-line scripts share, sourced: a work folder removed at
# the end (write-protected files in it too), and the checks, which count
# failures in $failed.
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failed=0

fail() { echo "FAIL $*"; failed=$((failed + 1)); }

expect() { # name expected-status expected-output-regex command...
  local name=$1 want=$2 pattern=$3
  shift 3
  local out status
  out=$("$@" 2>&1)
  status=$?
  if [ "$status" -ne "$want" ] || ! grep -q -E -- "$pattern" <<<"$out"; then
    echo "FAIL $name: status $status (want $want), output:"
    echo "$out" | head -20
    failed=$((failed + 1))
  else
    echo "ok   $name"
  fi
}
