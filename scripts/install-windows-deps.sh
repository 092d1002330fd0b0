#!/usr/bin/env bash
# Installs what `make windows` needs on top of scripts/install-deps.sh: the
# MinGW-w64 cross compiler, Wine to run the tests, zip for the package.
# Does nothing (and needs no network) when all are present.
set -euo pipefail

packages=(g++-mingw-w64-x86-64-posix wine wine64 zip)

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
