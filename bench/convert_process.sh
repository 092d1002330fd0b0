#!/usr/bin/env bash
# The whole `tavro convert` process on the sample pair, beside a durable atomic
# copy of the target (cp, sync, mv), and its peak memory.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
tavro="$build/app/cli/tavro"
samples="$build/samples"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$samples/tavro2.state" original.state

hyperfine --warmup 5 --runs 100 --prepare "cp original.state T" \
  --command-name "tavro convert" "$tavro convert $samples/tavro1.state T" \
  --command-name "cp + sync + mv" "cp T T.tmp && sync T.tmp && mv T.tmp T"

cp original.state T
/usr/bin/time -f "tavro convert peak memory: %M KiB" "$tavro" convert "$samples/tavro1.state" T >/dev/null
