#!/usr/bin/env bash
# Runs every fuzzer for a bounded time with a fixed seed (so that a run can be
# repeated), starting from the seed corpus kept in
# fuzz/corpus/NAME (which is left as it is). Fails on any finding; each
# finding stays whole in BUILD_DIR/findings/NAME/, and its bytes are printed
# whole in base64, so that a CI log alone reproduces it.
#   fuzz/run.sh BUILD_DIR SECONDS_PER_HARNESS
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Freed memory is held back until 16 MB more were freed, not the default 256 MB:
# one input allocates about 1 MB, so a use after free within it is still
# caught, and the memory a run touches stays in the cache (a third faster).
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}

status=0
for fuzzer in "$build"/fuzz/tavro_*_fuzzer; do
  name=$(basename "$fuzzer" _fuzzer); name=${name#tavro_}
  findings=$build/findings/$name
  mkdir -p "$work/$name" "$findings"
  echo "== $name: ${seconds}s"
  if ! "$fuzzer" -seed=1 -max_total_time="$seconds" -max_len=400000 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$findings/" -print_final_stats=1 \
       "$work/$name" "$here/corpus/$name" >"$work/$name.log" 2>&1; then
    status=1
    tail -n 40 "$work/$name.log"
    for finding in "$findings"/*; do
      [[ -e "$finding" ]] || continue
      echo "finding: $finding ($(stat -c %s "$finding") bytes), in base64:"
      base64 -w0 "$finding"
      echo
    done
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^Done' "$work/$name.log" || true
done
exit $status
