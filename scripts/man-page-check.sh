#!/usr/bin/env bash
# Checks a hand-written manual page against its program:
#   man-page-check.sh PROGRAM PAGE [COMMAND...]
# man reads it without a warning, it has the sections a page of section 1
# has, and it mentions every option PROGRAM --help (and each COMMAND's --help)
# lists.
set -euo pipefail
program=$1 page=$2
shift 2
export LC_ALL=C.UTF-8 LANG=C.UTF-8 LANGUAGE=
failures=0
fail() { echo "man-page-check: $(basename "$page"): $*" >&2; failures=$((failures + 1)); }

warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) || fail "man cannot read it"
[[ -z $warnings ]] || fail "man warns: $warnings"
text=$(MANWIDTH=200 man -l "$page" 2>/dev/null) || fail "man cannot show it"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
  grep -q -x "$section" <<<"$text" || fail "no $section section"
done
for command in "" "$@"; do
  # shellcheck disable=SC2086 # no command: the program's own --help
  for option in $("$program" $command --help | grep -o -E -- '--[a-z][a-z-]+' | sort -u); do
    [[ $text == *"$option"* ]] || fail "does not mention ${command:+$command }$option"
  done
  [[ -z $command || $text == *"tavro $command"* ]] || fail "does not describe tavro $command"
done
((failures == 0))
