#!/usr/bin/env bash
# Opens the window on a private X server, drives it as a user would (xdotool)
# and takes screenshots: at start, with both files chosen (the source's level
# pictured), after a conversion (the target's level pictured, its lost cells
# marked), the larger view of that picture (as it opens and zoomed in), the
# source's picture again, after a failed conversion (with and without its
# message box), and a level naming chunks 64 and above: converted by default
# (lost cells marked, the packed conversion offered), then packed.
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
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
[[ -s $work/display ]] || { echo "screenshots: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(cat "$work/display")

mkdir -p "$files" "$out" "$work/runtime"
chmod 700 "$work/runtime"
cp "$samples/tavro1.state" "$samples/tavro2.state" "$samples/tavro1-big.state" "$files/"
cp "$samples/tavro2.state" "$files/level2.state"
head -c 100 "$samples/tavro1.state" >"$files/broken.state"

# Qt's own file dialog, in English, at scale 1: no desktop session leaks in.
(cd "$files" && exec env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u QT_QPA_PLATFORMTHEME -u QT_STYLE_OVERRIDE \
  -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS -u QT_AUTO_SCREEN_SCALE_FACTOR -u QT_FONT_DPI -u LANGUAGE \
  LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" "$app") &
app_pid=$!
pids+=("$app_pid")

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

# The completer's popup under the file name field, if it is open.
popup() { visible '^tavro-conversor$'; }

window=$(wait_for 'SaveState Conversor')

# Clicks at (x, y) in the window. The pointer moves there first: a click with
# no motion before it may reach the window before Qt knows the pointer is in.
click() {
  xdotool mousemove --window "$window" $(($1 - 10)) "$2" sleep 0.1 \
    mousemove --window "$window" "$1" "$2" sleep 0.1 click 1
}

shoot() {
  sleep 0.4
  import -window "$1" "$out/$2.png"
}

# Types a path into the file dialog titled $1 and accepts it. The completer's
# popup opens a moment after typing and may outlive the dialog; left open, it
# would swallow the next click, so it is closed before Return and after.
answer_dialog() {
  local dialog
  dialog=$(wait_for "^$1\$")
  xdotool windowfocus --sync "$dialog"
  xdotool key alt+n ctrl+a
  xdotool type --delay 5 "$2"
  sleep 0.6
  if [[ -n $(popup) ]]; then
    xdotool key Escape
    sleep 0.2
  fi
  xdotool key Return
  wait_gone "^$1\$"
  # The popup may still count as open inside Qt though X shows nothing; an
  # Escape closes it and does nothing in the window itself.
  xdotool key Escape
  sleep 0.2
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

echo "screenshots: $(ls "$out"/*.png | wc -l) in $out"
