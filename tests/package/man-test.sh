#!/usr/bin/env bash
# The manual pages the build wrote from the programs' own --help: groff
# reads them without a warning, every command of kalvane-cli has its
# section and every option of fotomill its entry.
set -euo pipefail
build=$1
for page in kalvane kalvane-cli fotomill; do
  errors=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$build/man/$page.1" 2>&1 >/dev/null)
  [ -z "$errors" ] || { echo "$page.1: $errors"; exit 1; }
  grep -q '^\.SH SYNOPSIS' "$build/man/$page.1" || { echo "$page.1 has no synopsis"; exit 1; }
done
commands=$("$build/kalvane-cli" --help | sed -n 's/^\(usage: \| \{7\}\)kalvane-cli \([a-z]\+\).*/\2/p')
[ "$(wc -l <<<"$commands")" -ge 10 ] || { echo "too few commands in kalvane-cli --help"; exit 1; }
sections=$(sed -n 's/^\.SS //p' "$build/man/kalvane-cli.1")
[ "$commands" = "$sections" ] || { echo "commands and sections differ:"; diff <(echo "$commands") <(echo "$sections"); exit 1; }
# Each command's section holds its whole text, as the page reads.
flat() { tr -s ' \n' '  '; }
page=$(LC_ALL=C.UTF-8 MANWIDTH=5000 man -E UTF-8 -l "$build/man/kalvane-cli.1" 2>/dev/null | col -bx | flat)
for c in $commands; do
  text=$("$build/kalvane-cli" "$c" --help | awk '/^$/{n++; next} n==1' | sed "1s/^$c *//" | flat)
  grep -qF -- "${text# }" <<<"$page" || { echo "kalvane-cli.1 lacks the text of $c: $text"; exit 1; }
done
options=$("$build/fotomill" --help | sed -n 's/^\(-[-a-z]*\).*/\1/p' | sed 's/-/\\\\-/g')
for o in $options; do
  grep -q "^\\\\fB$o\\\\fR" "$build/man/fotomill.1" || { echo "fotomill.1 has no entry for $o"; exit 1; }
done
grep -q '^\.SH DESCRIPTION' "$build/man/kalvane.1"
echo "man: ok"
