# The command-line scripts' one check, sourced: runs a command, compares
# its exit status and matches its output; counts failures in $failed.
failed=0

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
