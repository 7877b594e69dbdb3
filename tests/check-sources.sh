#!/usr/bin/env bash
# Source rules that hold for the whole tree:
#  - the core and the command-line program never include Qt;
#  - a layer includes only its own headers and those of the layers below
#    it, and never by a relative path, which the include paths cannot stop;
#  - raw pointer members start as nullptr, so a missing object fails at once;
#  - every C++ file is formatted by the repository's .clang-format.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
status=0

core=$(find src -path src/ui -prune -o -path src/fotomill -prune -o -path src/qt -prune -o \( -name '*.h' -o -name '*.cpp' \) -print)
if grep -n -E '^\s*#\s*include\s*[<"]Q[A-Za-z]*(/|>|")' $core; then
  echo "check-sources: Qt included outside src/ui, src/qt and src/fotomill" >&2
  status=1
fi

declare -A below=(
  [base]="base" [imaging]="base imaging" [swf]="base swf"
  [document]="base imaging document" [project]="base imaging swf document project"
  [export]="base imaging swf document project export"
  [cmdline]="cmdline"
  [cli]="base imaging swf document project export cmdline cli"
  [qt]="base qt"
  [ui]="base imaging swf document project export qt ui"
  [fotomill]="base imaging qt cmdline fotomill")
if grep -n -E '^\s*#\s*include\s*"[^"]*\.\./' $(find src tools -name '*.h' -o -name '*.cpp'); then
  echo "check-sources: include by a relative path" >&2
  status=1
fi
for layer in "${!below[@]}"; do
  allowed=$(echo "${below[$layer]}" | tr ' ' '|')
  if grep -n -E '^\s*#\s*include\s*"[a-z]+/' $(find "src/$layer" -name '*.h' -o -name '*.cpp') |
      grep -v -E "#\s*include\s*\"($allowed)/"; then
    echo "check-sources: src/$layer includes a layer above it" >&2
    status=1
  fi
done

# A pointer member declared without an initialiser: `Type* name;` inside a
# class (indented), where a function's locals would have one.
if grep -n -E '^  [A-Za-z_][A-Za-z0-9_:<>, ]*\*+ *[A-Za-z_][A-Za-z0-9_]*;' \
    $(find src tools -name '*.h'); then
  echo "check-sources: give the pointer members above an initialiser (= nullptr)" >&2
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
