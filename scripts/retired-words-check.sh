#!/usr/bin/env bash
# Finds the retired words of docs/glossary.md in what players read: the
# window's translations (resources/translations/*.ts), the command line's
# sentences (the string literals of app/cli/*.cpp) and the page's texts
# (web/site/texts.js). Whole words, any case.
#   retired-words-check.sh [SOURCE_DIR]
set -euo pipefail
root=${1:-$(dirname "$0")/..}
export LC_ALL=C.UTF-8

mapfile -t words < <(sed -n '/^## Retired words/,$ s/^- `\([^`]*\)` → .*/\1/p' "$root/docs/glossary.md")
((${#words[@]} > 0)) || { echo "retired-words-check: no retired words in docs/glossary.md" >&2; exit 1; }

texts() {
  # The texts of the translations, English and Portuguese.
  grep -h -o -P '<(source|translation|numerusform)>\K[^<]*' "$root"/resources/translations/*.ts
  # The command line's string literals.
  grep -h -o -P '"(?:[^"\\]|\\.)*"' "$root"/app/cli/*.cpp
  # The page's texts, less its comments.
  grep -h -v -P '^\s*//' "$root/web/site/texts.js"
}

found=0
for word in "${words[@]}"; do
  pattern=$(sed 's/ /\\s+/g' <<<"$word")
  if hits=$(texts | grep -i -P "(?<![\\p{L}])$pattern(?![\\p{L}])"); then
    echo "retired-words-check: \"$word\" is still used:" >&2
    sed 's/^/  /' <<<"$hits" >&2
    found=1
  fi
done
exit $found
