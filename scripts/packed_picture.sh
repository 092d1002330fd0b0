#!/usr/bin/env bash
# Draws docs/packed-level.png: the packed conversion: the generated level
# that names chunks 1 to 82 (build/samples/tavro1-big.state) as the first game
# shows it, after a default conversion (holes where cells name chunks 64 and
# above) and after a packed one (whole), one above the other, labelled.
#
# Usage: scripts/packed_picture.sh [BUILD_DIR] [OUT_PNG]
set -euo pipefail

build=${1:-build}
out=${2:-docs/packed-level.png}
tavro=$build/app/cli/tavro
big=$build/samples/tavro1-big.state
command -v convert >/dev/null || { echo "packed_picture: ImageMagick's convert is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/samples/tavro2.state" "$work/default.state"
cp "$build/samples/tavro2.state" "$work/packed.state"
"$tavro" convert "$big" "$work/default.state" >/dev/null
"$tavro" convert --pack "$big" "$work/packed.state" >/dev/null
"$tavro" render --game 1 --scale 8 "$big" "$work/1.png" >/dev/null
"$tavro" render --game 2 --scale 8 "$work/default.state" "$work/2.png" >/dev/null
"$tavro" render --game 2 --scale 8 "$work/packed.state" "$work/3.png" >/dev/null

strip() {  # picture, label
  convert -font DejaVu-Sans -pointsize 13 -background white -fill '#303030' label:"$2" \
    \( "$1" -background '#b8d8f0' -flatten \) -gravity west -append "$work/labelled-$(basename "$1")"
}
strip "$work/1.png" "The level in the Tavro 1 save state (chunks 1 to 82)"
strip "$work/2.png" "tavro convert: cells naming chunks 64 and above arrive empty"
strip "$work/3.png" "tavro convert --pack: the whole level"
convert "$work"/labelled-{1,2,3}.png -background white -splice 0x8 -append -bordercolor white -border 6x2 \
  -strip "$out"
echo "packed_picture: wrote $out"
