#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, benchmark and
# run its window, and to build and check its Debian package; with the argument
# `windows`, what `make windows` needs on top of that: the MinGW-w64 cross
# compiler, Wine to run the tests, zip for the package. Does nothing (and needs
# no network) when all are present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libspng-dev zlib1g-dev
  qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
  qt6-translations-l10n
  xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core openbox
  desktop-file-utils appstream hyperfine time valgrind
  clang-19 libclang-rt-19-dev
  dpkg-dev fakeroot file help2man lintian man-db debootstrap
)
if [[ ${1:-} == windows ]]; then
  packages=(g++-mingw-w64-x86-64-posix wine wine64 zip)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
