#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root made with debootstrap,
# as a user would, runs what it brought, removes it and checks nothing is left.
#   scripts/install-test.sh [BUILD_DIR]   (as root, or through sudo; needs Debian's mirror)
# The root lives in BUILD_DIR/install-test and is deleted afterwards
# (KEEP_ROOT=1 keeps it). The first run keeps debootstrap's downloads in a
# tarball there, so later runs make their clean root without fetching it again.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

version=$(sed -n 's/^project(tavro-conversor VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
deb_name=tavro-conversor_${version}_amd64.deb
deb=$build/$deb_name
[[ -f $deb ]] || { echo "install-test: $deb is missing (make package)" >&2; exit 1; }
if [[ $(id -u) -ne 0 ]]; then
  # debootstrap, mount and chroot need root.
  exec sudo --preserve-env=KEEP_ROOT,DEBIAN_MIRROR bash "$0" "$build"
fi

work=$(realpath "$build")/install-test
root=$work/root
tarball=$work/bookworm-minbase.tar.gz
mkdir -p "$work"

cleanup() {
  local m
  for m in dev/pts proc; do
    if mountpoint -q "$root/$m"; then umount "$root/$m"; fi
  done
  if [[ ${KEEP_ROOT:-0} != 1 ]]; then rm -rf "$root"; fi
}
trap cleanup EXIT

step() { echo "::: [$((SECONDS - start)) s] $*"; }
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
  LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
fail() { echo "install-test: $*" >&2; exit 1; }

start=$SECONDS
rm -rf "$root"
if [[ ! -f $tarball ]]; then
  step "debootstrap: fetching Debian 12 (minbase)"
  debootstrap --variant=minbase --make-tarball="$tarball" bookworm "$work/download" "$mirror" >/dev/null
  rm -rf "$work/download"
fi
step "debootstrap: a clean Debian 12 root"
debootstrap --variant=minbase --unpack-tarball="$tarball" bookworm "$root" "$mirror" >/dev/null
mount -t proc proc "$root/proc"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
cp /etc/resolv.conf "$root/etc/resolv.conf"
echo "::: root made in $((SECONDS - start)) s"

cp "$deb" "$root/tmp/$deb_name"
cp "$build/samples/tavro1.state" "$build/samples/tavro2.state" "$root/tmp/"

step "apt install ./$deb_name (man-db first, to read the manual pages)"
in_root apt-get update -qq
in_root apt-get install -y -qq --no-install-recommends man-db >/dev/null
# Without Recommends: Depends alone must bring everything the programs load.
in_root apt install -y --no-install-recommends "/tmp/$deb_name" 2>&1 \
  | grep -E '^(Setting up tavro|[0-9]+ upgraded)' || true
in_root dpkg-query -W -f='${Status}\n' tavro-conversor | grep -qx 'install ok installed' \
  || fail "the package is not installed"
files=$(in_root dpkg -L tavro-conversor | while read -r f; do
  if [[ ! -d $root$f ]]; then echo "$f"; fi; done)
echo "$(wc -l <<<"$files") files installed"

step "tavro --version"
printed=$(in_root tavro --version)
echo "$printed"
[[ $printed == "$version" ]] || fail "tavro --version prints '$printed'"

step "tavro convert tavro1.state converted.state"
in_root cp /tmp/tavro2.state /tmp/converted.state
in_root tavro convert /tmp/tavro1.state /tmp/converted.state
cmp -s "$root/tmp/tavro2.state" "$root/tmp/converted.state" && fail "the target was not changed"
in_root tavro convert --dry-run /tmp/tavro1.state /tmp/converted.state >/dev/null
in_root tavro render --game 2 /tmp/converted.state /tmp/level.png
[[ $(head -c 8 "$root/tmp/level.png" | od -An -tx1 | tr -d ' ') == 89504e470d0a1a0a ]] \
  || fail "tavro render wrote no PNG"

step "tavro-conversor --help; the window opened and closed offscreen"
in_root install -d -m 0700 /tmp/runtime
in_root env QT_QPA_PLATFORM=offscreen tavro-conversor --help
in_root env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/runtime \
  timeout 60 tavro-conversor --quit-when-shown || fail "the window did not open"

step "man -w tavro tavro-conversor"
in_root man -w tavro tavro-conversor
in_root env MANWIDTH=80 man tavro 2>/dev/null | grep -q -- '--dry-run' \
  || fail "man tavro does not show the convert options"

step "menu entry and icon"
for f in /usr/share/applications/tavro-conversor.desktop \
         /usr/share/icons/hicolor/48x48/apps/tavro-conversor.png \
         /usr/share/metainfo/tavro-conversor.metainfo.xml; do
  [[ -f $root$f ]] || fail "$f was not installed"
done

step "apt remove tavro-conversor"
in_root apt remove -y tavro-conversor 2>&1 | grep -E '^(Removing|[0-9]+ upgraded)' || true
in_root dpkg-query -W -f='${Status}\n' tavro-conversor 2>/dev/null | grep -q 'ok installed' \
  && fail "the package is still installed"
left=$(while read -r f; do
  if [[ -e $root$f || -L $root$f ]]; then echo "$f"; fi; done <<<"$files")
[[ -z $left ]] || fail "left behind: $left"
echo "every installed file is gone"

echo "install-test: installed, ran and removed in $((SECONDS - start)) s"
