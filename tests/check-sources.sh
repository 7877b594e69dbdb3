#!/usr/bin/env bash
# Source rules that hold for the whole tree:
#  - the core and the command-line program never include Qt;
#  - every C++ file is formatted by the repository's .clang-format.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
status=0

core=$(find src -path src/ui -prune -o \( -name '*.h' -o -name '*.cpp' \) -print)
if grep -n -E '^\s*#\s*include\s*[<"]Q[A-Za-z]*(/|>|")' $core; then
  echo "check-sources: Qt included outside src/ui" >&2
  status=1
fi

if command -v clang-format >/dev/null; then
  files=$(find src tests bench tools -name '*.h' -o -name '*.cpp' | sort)
  if ! clang-format --dry-run --Werror $files; then
    echo "check-sources: run clang-format -i on the files above" >&2
    status=1
  fi
else
  echo "check-sources: clang-format not installed" >&2
  status=1
fi
[ $status -eq 0 ] && echo "check-sources: ok"
exit $status
