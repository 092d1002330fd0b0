#!/usr/bin/env bash
# Opens the window on a private X server, drives it as a user would (xdotool)
# and takes screenshots: at start, with both files chosen (the source's level
# pictured), after a conversion (the target's level pictured, its lost cells
# marked), the larger view of that picture (as it opens and zoomed in), the
# source's picture again, after a failed conversion (with and without its
# message box), a level naming chunks 64 and above: converted by default
# (lost cells marked, the packed conversion offered), then packed, and the
# same file chosen twice. Then the window again in Portuguese with its file
# dialog open, and at scale 2 after a conversion that left cells empty; last,
# the window opened with both files named on its command line (the preview of
# the conversion with its marks) and then filling the whole 1280×900 screen.
#
# Usage: scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail

build=${1:-build}
out=${2:-$build/screenshots}
app=$(realpath "$build/app/gui/tavro-conversor")
samples=$build/samples

for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (make deps installs it)" >&2; exit 1; }
done
[[ -x $app ]] || { echo "screenshots: $app is not built" >&2; exit 1; }

work=$(mktemp -d)
# The save states sit in a short, tidy folder, since the pictures show their paths.
files=${TMPDIR:-/tmp}/saves
mkdir "$files" 2>/dev/null || files=$work/saves
pids=()
cleanup() {
  # The window first, then its X server.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  [[ $files == "$work/saves" ]] || rm -rf "$files"
  rm -rf "$work"
}
trap cleanup EXIT

# -noreset: without it, about one start in thirty fails to connect.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
[[ -s $work/display ]] || { echo "screenshots: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(cat "$work/display")

mkdir -p "$files" "$out" "$work/runtime"
chmod 700 "$work/runtime"
cp "$samples/tavro1.state" "$samples/tavro2.state" "$samples/tavro1-big.state" "$files/"
cp "$samples/tavro2.state" "$files/level2.state"
head -c 100 "$samples/tavro1.state" >"$files/broken.state"

visible() { xdotool search --all --onlyvisible --pid "$app_pid" --name "$1" 2>/dev/null | head -1; }

wait_for() {
  local id
  for _ in $(seq 200); do
    id=$(visible "$1")
    [[ -n $id ]] && { echo "$id"; return; }
    sleep 0.05
  done
  echo "screenshots: no window named '$1' appeared; the screen is in $out/unexpected.png" >&2
  import -window root "$out/unexpected.png" || true
  exit 1
}

wait_gone() {
  for _ in $(seq 200); do
    [[ -z $(visible "$1") ]] && { sleep 0.2; return; }
    sleep 0.05
  done
  echo "screenshots: the window named '$1' stayed open" >&2
  exit 1
}

# Starts the window with Qt's own file dialog and no desktop session leaking
# in, in English at scale 1 unless the arguments (VAR=value) say otherwise,
# with the files in app_args on its command line.
app_args=()
start_app() {
  (cd "$files" && exec env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u QT_QPA_PLATFORMTHEME -u QT_STYLE_OVERRIDE \
    -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS -u QT_AUTO_SCREEN_SCALE_FACTOR -u QT_FONT_DPI -u LANGUAGE \
    LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" "$@" "$app" "${app_args[@]}") &
  app_pid=$!
  pids+=("$app_pid")
  window=$(wait_for 'SaveState Conversor')
  sleep 0.3
}

# Ends the window started last.
stop_app() {
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
}

scale=1

# Clicks at (x, y) in the window. The pointer moves there first: a click with
# no motion before it may reach the window before Qt knows the pointer is in.
# Coordinates are at scale 1: they grow with the window's scale.
click() {
  local x=$(($1 * scale)) y=$(($2 * scale))
  xdotool mousemove --window "$window" $((x - 10)) "$y" sleep 0.1 \
    mousemove --window "$window" "$x" "$y" sleep 0.1 click 1
}

shoot() {
  sleep 0.4
  import -window "$1" "$out/$2.png"
}

# Types a path into the file dialog titled $1 and accepts it, as a user
# does: Return while the completer's list still shows. The window closes a
# list the dialog leaves behind, so the next click reaches the window.
answer_dialog() {
  local dialog
  dialog=$(wait_for "^$1\$")
  xdotool windowfocus --sync "$dialog"
  xdotool key alt+n ctrl+a
  xdotool type --delay 5 "$2"
  sleep 0.6
  xdotool key Return
  wait_gone "^$1\$"
}

# The controls' centres, in window pixels: the form's, then the level
# picture's and its Before button, beneath the form and its packing choice.
# The offer of the packed conversion sits in the status bar, this far from
# the window's right and bottom edges.
command1=(221 40)
command2=(221 88)
command3=(224 120)
picture=(221 272)
before=(36 205)
pack_offer_from_corner=(110 13)

start_app
shoot "$window" 01-start
click "${command1[@]}"
answer_dialog Open "$files/tavro1.state"
click "${command2[@]}"
answer_dialog 'Save As' "$files/tavro2.state"
shoot "$window" 02-chosen
click "${command3[@]}"
shoot "$window" 03-converted

# The larger view of the converted level: as it opens, then zoomed in twice
# with Ctrl + (each keeps the middle of the view where it is).
click "${picture[@]}"
view=$(wait_for '^Level in tavro2.state after the conversion$')
xdotool windowfocus --sync "$view"
shoot "$view" 04-view
xdotool key ctrl+plus ctrl+plus
shoot "$view" 05-view-zoomed
xdotool key Escape
wait_gone '^Level in tavro2.state after the conversion$'
click "${before[@]}"
shoot "$window" 06-before

click "${command1[@]}"
answer_dialog Open "$files/broken.state"
shoot "$window" 06b-not-ready
click "${command3[@]}"
box=$(wait_for '^Conversion failed$')
sleep 0.4
eval "$(xdotool getwindowgeometry --shell "$window" | sed 's/^/WINDOW_/')"
eval "$(xdotool getwindowgeometry --shell "$box" | sed 's/^/BOX_/')"
right=$((BOX_X + BOX_WIDTH > WINDOW_WIDTH ? BOX_X + BOX_WIDTH : WINDOW_WIDTH))
bottom=$((BOX_Y + BOX_HEIGHT > WINDOW_HEIGHT ? BOX_Y + BOX_HEIGHT : WINDOW_HEIGHT))
import -window root -crop "${right}x${bottom}+0+0" +repage "$out/07-failure-box.png"
xdotool windowfocus --sync "$box" key Return
wait_gone '^Conversion failed$'
shoot "$window" 08-failed

click "${command1[@]}"
answer_dialog Open "$files/tavro1-big.state"
click "${command2[@]}"
answer_dialog 'Save As' "$files/level2.state"
click "${command3[@]}"
shoot "$window" 09-big-default
eval "$(xdotool getwindowgeometry --shell "$window" | sed 's/^/WINDOW_/')"
click $((WINDOW_WIDTH - pack_offer_from_corner[0])) $((WINDOW_HEIGHT - pack_offer_from_corner[1]))
shoot "$window" 10-big-packed
click "${command2[@]}"
answer_dialog 'Save As' "$files/tavro1-big.state"
shoot "$window" 11-same-file
stop_app

# In Portuguese, Qt's own dialog included; the shot takes in the window and
# the dialog over it.
start_app LC_ALL=pt_BR.UTF-8 LANG=pt_BR.UTF-8
click "${command1[@]}"
dialog=$(wait_for '^Abrir$')
sleep 0.6
import -window root -crop 900x560+0+0 +repage "$out/12-portuguese-dialog.png"
xdotool windowfocus --sync "$dialog" key Escape
wait_gone '^Abrir$'
shoot "$window" 13-portuguese
stop_app

# At scale 2: the same form, twice the pixels.
start_app QT_SCALE_FACTOR=2
scale=2
click "${command1[@]}"
answer_dialog Open "$files/tavro1-big.state"
click "${command2[@]}"
answer_dialog 'Save As' "$files/level2.state"
click "${command3[@]}"
shoot "$window" 14-scale-2
stop_app

# Opened with both files from its command line, as the desktop's "Open with"
# does: the preview of the conversion, its lost cells marked; then the window
# filling the screen, the form where it was and the picture taking the rest.
cp "$samples/tavro2.state" "$files/level3.state"
app_args=("$files/tavro1-big.state" "$files/level3.state")
start_app LC_ALL=pt_BR.UTF-8 LANG=pt_BR.UTF-8
shoot "$window" 15-portuguese-preview
stop_app
start_app
scale=1
shoot "$window" 15-preview
xdotool windowsize --sync "$window" 100% 100%
shoot "$window" 16-maximized
stop_app

echo "screenshots: $(ls "$out"/*.png | wc -l) in $out"
