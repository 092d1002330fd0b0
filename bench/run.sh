#!/usr/bin/env bash
# Runs every benchmark: the Google Benchmark executables, the game check's
# identification table (not timed), then each bench/*.sh.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)

for bench in "$build"/bench/tavro_*_bench; do
  [[ -x "$bench" ]] || continue
  echo "== $(basename "$bench")"
  "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done

echo "== tavro_game_check_table"
"$build"/bench/tavro_game_check_table 500 "$build"/samples

for script in "$here"/*.sh; do
  [[ "$(basename "$script")" == run.sh ]] && continue
  echo "== $(basename "$script")"
  bash "$script" "$build"
done
