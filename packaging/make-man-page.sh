#!/usr/bin/env bash
# Writes the compressed section-1 manual page of PROGRAM from its own --help
# and --version, so that the page says what the program says.
#   make-man-page.sh PROGRAM OUT.1.gz "WHAT IT DOES" SEE-ALSO [SUBCOMMAND...]
# Each SUBCOMMAND's --help goes in a COMMANDS section, as the program prints it;
# packaging/PROGRAM.h2m, where there is one, adds the sections help2man cannot
# read off the program (EXAMPLES, and for tavro what --pack does).
set -euo pipefail
program=$1 out=$2 name=$3 see_also=$4
shift 4

# English, whatever the builder's language.
export LC_ALL=C.UTF-8 LANG=C.UTF-8 LANGUAGE=

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# roff reads a backslash as an escape and a leading dot or quote as a request;
# a plain "-" would print as a hyphen, which cannot be pasted as an option.
as_roff() { sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

include=$work/include.h2m
{
  if (($# > 0)); then
    echo '[COMMANDS]'
    for command in "$@"; do
      echo ".SS \"$(basename "$program") $command\""
      echo '.nf'
      "$program" "$command" --help | as_roff
      echo '.fi'
    done
  fi
  echo '[SEE ALSO]'
  echo ".BR $see_also (1)"
  extra=$(dirname "$0")/$(basename "$program").h2m
  if [[ -f "$extra" ]]; then cat "$extra"; fi
} >"$include"

help2man --no-info --section=1 --name="$name" --include="$include" \
  --output="$work/page.1" "$program"
gzip -9 -n -c "$work/page.1" >"$out"
