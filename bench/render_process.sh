#!/usr/bin/env bash
# `tavro render` of a whole plane to PNG, as a user runs it.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
hyperfine --warmup 2 --runs 20 \
  --command-name "tavro render --full (sample, whole plane)" \
  "$build/app/cli/tavro render --game 1 --full $build/samples/tavro1.state $work/plane.png"
