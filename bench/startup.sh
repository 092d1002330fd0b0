#!/usr/bin/env bash
# Start-up of the window against a bare Qt Widgets program that shows an empty
# window, measured side by side with hyperfine: from process start until the
# window has been painted (tavro-conversor --quit-when-shown), on a private X
# server (Xvfb) and on the offscreen platform.
#
# Usage: bench/startup.sh [BUILD_DIR] [RUNS]
# Build with -DCMAKE_BUILD_TYPE=Release for figures worth comparing.
set -euo pipefail

build=${1:-build}
runs=${2:-60}
app=$build/app/gui/tavro-conversor
bare=$build/bench/startup/tavro_bare_window
results=$build/bench/startup
for program in "$app" "$bare"; do
  [[ -x $program ]] || { echo "startup: $program is not built" >&2; exit 1; }
done
for tool in hyperfine Xvfb; do
  command -v "$tool" >/dev/null || { echo "startup: $tool is missing (make deps installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb=""
cleanup() {
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The same conditions for both: no desktop session, no scaling, English.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR \
  QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI LANGUAGE
export LC_ALL=C.UTF-8 XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$results"

# Prints "window/bare" medians from a hyperfine CSV export (window first).
ratio() {
  awk -F, 'NR == 2 { window = $4 } NR == 3 { bare = $4 }
           END { printf "median: window %.1f ms, bare %.1f ms, ratio %.2f (target at most 1.30)\n",
                 window * 1000, bare * 1000, window / bare }' "$1"
}

measure() {
  local platform=$1
  echo "== $platform"
  QT_QPA_PLATFORM=$platform hyperfine -N --warmup 10 --runs "$runs" \
    --export-csv "$results/$platform.csv" --export-markdown "$results/$platform.md" \
    -n tavro-conversor "$app --quit-when-shown" -n bare-window "$bare"
  ratio "$results/$platform.csv"
}

# -noreset: without it, about one start in thirty fails to connect.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
[[ -s $work/display ]] || { echo "startup: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(cat "$work/display")

measure xcb
measure offscreen
