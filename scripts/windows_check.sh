#!/usr/bin/env bash
# tavro.exe under Wine against the Linux tavro: the same bytes from `convert`
# on random pairs (plain and packed, targets of a save state's least length
# and longer; --force, as random bytes hold no Tavro 1 level), and the same
# pixels from `render` on the samples, decoded on Linux.
# Usage: windows_check.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR [PAIRS]
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-$(realpath "$2")/wine} WINEDEBUG=${WINEDEBUG:--all}
linux=$1/app/cli/tavro
windows=$2/tavro.exe
samples=$1/samples
pairs=${3:-20}
work=$2/check
rm -rf "$work" && mkdir -p "$work"
failures=0

fail() { echo "windows check: $*" >&2; failures=$((failures + 1)); }

for ((i = 1; i <= pairs; i++)); do
  head -c 180000 /dev/urandom >"$work/source.state"
  # Every fourth target has another length, at least a save state's; the rest are full-size.
  size=$(( i % 4 == 0 ? 107640 + RANDOM : 180000 ))
  head -c "$size" /dev/urandom >"$work/target.state"
  cp "$work/target.state" "$work/linux.state"
  cp "$work/target.state" "$work/windows.state"
  options=(--force); (( i % 2 )) && options+=(--pack)
  set +e
  "$linux" convert "${options[@]}" "$work/source.state" "$work/linux.state" >/dev/null
  linux_status=$?
  wine "$windows" convert "${options[@]}" "$work/source.state" "$work/windows.state" >/dev/null
  windows_status=$?
  set -e
  [[ $linux_status == "$windows_status" ]] || fail "pair $i: exit status $linux_status on Linux, $windows_status on Windows"
  cmp -s "$work/linux.state" "$work/windows.state" || fail "pair $i (${options[*]:-plain}, $size bytes): the targets differ"
done
echo "convert: $pairs random pairs compared"
# Lines end the Windows way on the console.
[[ $(wine "$windows" --version | od -An -c | tr -d ' \n') == '1.00\r\n' ]] || fail "--version does not end in CRLF"

# ImageMagick decodes both; its width limit (16,384) rules out a whole plane at
# scale 1 (the second game's sample fills its plane).
pixels() { convert "$1" -depth 8 rgba:"$1.rgba" && sha256sum <"$1.rgba" && rm "$1.rgba"; }
pictures=0
for game in 1 2; do
  for state in "$samples"/tavro"$game"*.state; do
    for view in "$game" "3 --full"; do
      read -r scale full <<<"$view"
      name=$(basename "$state" .state)-$scale${full:-}
      "$linux" render --game "$game" --scale "$scale" ${full:-} "$state" "$work/$name-linux.png" >/dev/null
      wine "$windows" render --game "$game" --scale "$scale" ${full:-} "$state" "$work/$name-windows.png" >/dev/null
      linux_pixels=$(pixels "$work/$name-linux.png") && windows_pixels=$(pixels "$work/$name-windows.png") ||
        { fail "render $name: a picture could not be decoded"; continue; }
      [[ $linux_pixels == "$windows_pixels" ]] || fail "render $name: the pixels differ"
      pictures=$((pictures + 1))
    done
  done
done
echo "render: $pictures pictures compared"

if ((failures)); then
  echo "windows check: $failures differences" >&2
  exit 1
fi
rm -rf "$work"
