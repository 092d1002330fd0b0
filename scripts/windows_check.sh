#!/usr/bin/env bash
# tavro.exe under Wine against the Linux tavro: the same bytes from `convert`
# on random pairs (plain and packed, targets short and full), and the same
# pixels from `render` on the samples, decoded on Linux.
# Usage: windows_check.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR [PAIRS]
set -euo pipefail
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
  # Every fourth target is short (it grows); the rest are full-size.
  size=$(( i % 4 == 0 ? 1000 + RANDOM : 180000 ))
  head -c "$size" /dev/urandom >"$work/target.state"
  cp "$work/target.state" "$work/linux.state"
  cp "$work/target.state" "$work/windows.state"
  options=(); (( i % 2 )) && options=(--pack)
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

pixels() { convert "$1" -depth 8 rgba:- | sha256sum; }
pictures=0
for game in 1 2; do
  for state in "$samples"/tavro"$game"*.state; do
    for scale in 1 3; do
      for full in "" --full; do
        name=$(basename "$state" .state)-$scale$full
        "$linux" render --game "$game" --scale "$scale" $full "$state" "$work/$name-linux.png" >/dev/null
        wine "$windows" render --game "$game" --scale "$scale" $full "$state" "$work/$name-windows.png" >/dev/null
        [[ $(pixels "$work/$name-linux.png") == $(pixels "$work/$name-windows.png") ]] ||
          fail "render $name: the pixels differ"
        pictures=$((pictures + 1))
      done
    done
  done
done
echo "render: $pictures pictures compared"

if ((failures)); then
  echo "windows check: $failures differences" >&2
  exit 1
fi
rm -rf "$work"
